#include "platform/win32/bundle_win.h"

#include <sddl.h>
#include <wincrypt.h>

#include <algorithm>
#include <string_view>

#include "bundle/bundle_format.h"
#include "platform/win32/startup_services_win.h"
#include "platform/win32/text_conv_win.h"
#include "platform/win32/text_files_win.h"

// Filled in by tessaro-pack in the Setup.exe it writes; volatile, so every read comes from the file's bytes.
extern "C" {
__attribute__((used)) const volatile tessaro::bundle::Marker tessaroBundleMarker = {"TessaroBundle01", 0, 0, 0, 0};
}

namespace tessaro {
namespace {

constexpr wchar_t kFolderPrefix[] = L"Tessaro-";
constexpr wchar_t kLockName[] = L".tessaro-lock";
constexpr uint64_t kMaxSetupBytes = 1024ull * 1024 * 1024;

constexpr int kNameAttempts = 8;

std::wstring TemporaryFolder() {
    return win::Utf8ToWide(TextFilesWin().TemporaryFolder());
}

bundle::Marker ReadMarker() {
    bundle::Marker marker{};
    marker.version = tessaroBundleMarker.version;
    marker.crc32 = tessaroBundleMarker.crc32;
    marker.offset = tessaroBundleMarker.offset;
    marker.size = tessaroBundleMarker.size;
    return marker;
}

// Sixteen hex digits from the system's cryptographic generator: a name nobody can predict.
std::wstring RandomName() {
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return {};
    }
    BYTE random[8] = {};
    const bool filled = CryptGenRandom(provider, sizeof(random), random) != FALSE;
    CryptReleaseContext(provider, 0);
    if (!filled) {
        return {};
    }
    std::wstring name(kFolderPrefix);
    for (const BYTE byte : random) {
        name += L"0123456789abcdef"[byte >> 4];
        name += L"0123456789abcdef"[byte & 15];
    }
    return name;
}

// Full access for this user and for SYSTEM, nothing for anyone else, and no rights inherited from the parent.
class PrivateFolderSecurity {
  public:
    PrivateFolderSecurity() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
            return;
        }
        win::UniqueHandleNull ownedToken(token);
        BYTE buffer[256] = {};
        DWORD needed = 0;
        wchar_t* sid = nullptr;
        if (!GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &needed) ||
            !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
            return;
        }
        const std::wstring sddl = std::wstring(L"D:P(A;OICI;FA;;;") + sid + L")(A;OICI;FA;;;SY)";
        LocalFree(sid);
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
    }
    ~PrivateFolderSecurity() { LocalFree(descriptor_); }
    PrivateFolderSecurity(const PrivateFolderSecurity&) = delete;
    PrivateFolderSecurity& operator=(const PrivateFolderSecurity&) = delete;

    SECURITY_ATTRIBUTES* Attributes() {
        if (descriptor_ == nullptr) {
            return nullptr;
        }
        attributes_ = {sizeof(attributes_), descriptor_, FALSE};
        return &attributes_;
    }

  private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
    SECURITY_ATTRIBUTES attributes_{};
};

bool WriteNewFile(const std::wstring& path, std::string_view bytes) {
    win::UniqueFileHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    while (!bytes.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data(), chunk, &written, nullptr) || written != chunk) {
            return false;
        }
        bytes.remove_prefix(chunk);
    }
    return true;
}

// Creates the folders on the way to `relative` inside `root` (they take the root's access list).
bool MakeParents(const std::wstring& root, const std::wstring& relative) {
    for (std::size_t at = relative.find(L'\\'); at != std::wstring::npos; at = relative.find(L'\\', at + 1)) {
        const std::wstring folder = root + L"\\" + relative.substr(0, at);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

// Depth first; a junction or other reparse point is removed itself, never followed.
void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (isFolder && !isLink) {
                RemoveTree(path);
            } else if (isFolder) {
                RemoveDirectoryW(path.c_str());
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

void UnpackedBundle::Remove() {
    lock.Reset();
    if (!folder.empty()) {
        RemoveTree(folder);
    }
}

UnpackedBundle UnpackOwnBundle() {
    UnpackedBundle unpacked;
    const bundle::Marker marker = ReadMarker();
    if (marker.version == 0) {
        return unpacked;
    }
    SweepStaleBundleFolders();
    FileBytes exe = TextFilesWin::ReadAllUpTo(StartupServicesWin::ModuleFileName(), kMaxSetupBytes);
    if (exe.status != ReadStatus::Ok) {
        unpacked.outcome = UnpackOutcome::Damaged;
        return unpacked;
    }
    const bundle::OpenedBundle opened = bundle::OpenBundle(exe.bytes, marker);
    exe.bytes = std::string();
    if (opened.state != bundle::BundleState::Ready) {
        unpacked.outcome = UnpackOutcome::Damaged;
        return unpacked;
    }

    unpacked.outcome = UnpackOutcome::NoRoom;
    const std::wstring temporary = TemporaryFolder();
    PrivateFolderSecurity security;
    for (int attempt = 0; attempt < kNameAttempts && unpacked.folder.empty() && !temporary.empty(); ++attempt) {
        const std::wstring name = RandomName();
        const std::wstring folder = temporary + L"\\" + name;
        // A name that exists already is someone's, ours or not: never reuse it.
        if (!name.empty() && CreateDirectoryW(folder.c_str(), security.Attributes())) {
            unpacked.folder = folder;
        }
    }
    if (unpacked.folder.empty()) {
        return unpacked;
    }
    unpacked.lock.Reset(CreateFileW((unpacked.folder + L"\\" + kLockName).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    for (const bundle::File& file : opened.files) {
        const std::wstring relative = win::Utf8ToWide(file.name);
        if (!unpacked.lock || !MakeParents(unpacked.folder, relative) ||
            !WriteNewFile(unpacked.folder + L"\\" + relative, file.bytes)) {
            unpacked.Remove();
            unpacked.folder.clear();
            return unpacked;
        }
    }
    unpacked.outcome = UnpackOutcome::Unpacked;
    return unpacked;
}

void SweepStaleBundleFolders() {
    const std::wstring temporary = TemporaryFolder();
    if (temporary.empty()) {
        return;
    }
    WIN32_FIND_DATAW entry{};
    HANDLE search = FindFirstFileW((temporary + L"\\" + kFolderPrefix + L"*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool isLink = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        const std::wstring folder = temporary + L"\\" + entry.cFileName;
        // A live run's lock file cannot be deleted, so its folder survives; so do files a started program uses.
        if (isFolder && !isLink &&
            GetFileAttributesW((folder + L"\\" + kLockName).c_str()) == INVALID_FILE_ATTRIBUTES) {
            RemoveTree(folder);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}

}  // namespace tessaro
