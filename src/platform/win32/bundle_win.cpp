#include "platform/win32/bundle_win.h"

#include <sddl.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <string_view>

#include "bundle/bundle_format.h"
#include "platform/win32/message_pump_win.h"
#include "platform/win32/newer_kernel_apis_win.h"
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
// How much is unpacked between two looks at whether the program is ending.
constexpr uint64_t kStepBytes = 1u << 20;
// The first read of the index; an index larger than this is read in growing steps.
constexpr uint64_t kIndexGuessBytes = 64 * 1024;

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

// Bytes from the system's cryptographic generator. RtlGenRandom where the system has it (XP and later): the
// CryptoAPI road first loads and sets up a whole cryptographic provider, which took 25-35 ms of every Setup.exe
// start under Wine. Windows 2000 takes that road.
bool FillRandom(BYTE* bytes, ULONG size) {
    if (const auto generate = win::NewerKernel().RtlGenRandom; generate != nullptr) {
        return generate(bytes, size) != FALSE;
    }
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) {
        return false;
    }
    const bool filled = CryptGenRandom(provider, size, bytes) != FALSE;
    CryptReleaseContext(provider, 0);
    return filled;
}

// Sixteen hex digits from the system's cryptographic generator: a name nobody can predict.
std::wstring RandomName() {
    BYTE random[8] = {};
    if (!FillRandom(random, sizeof(random))) {
        return {};
    }
    std::wstring name(kFolderPrefix);
    for (const BYTE byte : random) {
        for (const int digit : {byte >> 4, byte & 15}) {
            name += static_cast<wchar_t>(digit < 10 ? L'0' + digit : L'a' + digit - 10);
        }
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
        std::wstring folder = root + L"\\";
        folder.append(relative, 0, at);
        if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return true;
}

// The running exe, mapped rather than read: no copy of a payload that may be tens of megabytes before the
// window. The view stays valid after the handles close.
bool MapOwnFile(win::UniqueMappedView& view, std::string_view& bytes) {
    win::UniqueFileHandle file(CreateFileW(StartupServicesWin::ModuleFileName().c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 ||
        static_cast<uint64_t>(size.QuadPart) > kMaxSetupBytes) {
        return false;
    }
    win::UniqueHandleNull mapping(CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) {
        return false;
    }
    view.Reset(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) {
        return false;
    }
    bytes = std::string_view(static_cast<const char*>(view.Get()), static_cast<std::size_t>(size.QuadPart));
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

// What the thread needs to unpack the files the window can do without.
struct BundleRest {
    // The Setup.exe's bytes, which hold the payload the decoder reads: the file mapped, or else read.
    win::UniqueMappedView view;
    std::string exeCopy;
    std::string_view exe;
    bundle::PayloadDecoder decoder;
    bundle::ArchiveIndex index;
    std::wstring folder;
    std::size_t next = 0;  // the first entry not written yet
    bool started = false;
    std::atomic<bool> stop{false};
    UnpackOutcome outcome = UnpackOutcome::Unpacked;  // the thread's answer, read once it has ended
    win::UniqueHandleNull thread;

    // Writes the entries up to `end`; after the last one the stream must end exactly where the payload does.
    UnpackOutcome WriteEntries(std::size_t end) {
        for (; next < end; ++next) {
            const bundle::ArchiveEntry& entry = index.entries[next];
            const uint64_t entryEnd = entry.offset + entry.size;
            for (uint64_t at = decoder.Decoded().size(); at < entryEnd; at += kStepBytes) {
                if (stop) {
                    return UnpackOutcome::Damaged;
                }
                if (!decoder.DecodeTo(std::min(entryEnd, at + kStepBytes))) {
                    return UnpackOutcome::Damaged;
                }
            }
            const std::wstring relative = win::Utf8ToWide(entry.name);
            const std::string_view bytes =
                decoder.Decoded().substr(static_cast<std::size_t>(entry.offset), static_cast<std::size_t>(entry.size));
            if (!MakeParents(folder, relative) || !WriteNewFile(folder + L"\\" + relative, bytes)) {
                return UnpackOutcome::NoRoom;
            }
        }
        if (next == index.entries.size() && !decoder.Finish()) {
            return UnpackOutcome::Damaged;
        }
        return UnpackOutcome::Unpacked;
    }

    void WriteTheRest() {
        outcome = WriteEntries(index.entries.size());
        // Both buffers are as large as the add-on: give them back before the install run.
        std::string().swap(exeCopy);
        view.Reset();
        decoder.Discard();
    }

    // Ends the unpacking thread, if it runs, at its next step.
    void Stop() {
        if (thread) {
            stop = true;
            WaitForSingleObject(thread.Get(), INFINITE);
            thread.Reset();
        }
    }

    ~BundleRest() { Stop(); }

    static DWORD WINAPI ThreadMain(void* context) {
        static_cast<BundleRest*>(context)->WriteTheRest();
        return 0;
    }
};

UnpackedBundle::UnpackedBundle() = default;
UnpackedBundle::~UnpackedBundle() = default;
UnpackedBundle::UnpackedBundle(UnpackedBundle&&) noexcept = default;
UnpackedBundle& UnpackedBundle::operator=(UnpackedBundle&&) noexcept = default;

void UnpackedBundle::StartTheRest() {
    if (!rest_ || rest_->started) {
        return;
    }
    rest_->started = true;
    rest_->thread.Reset(CreateThread(nullptr, 0, &BundleRest::ThreadMain, rest_.get(), 0, nullptr));
    if (!rest_->thread) {
        rest_->WriteTheRest();
    }
}

UnpackOutcome UnpackedBundle::WaitForTheRest() {
    if (!rest_) {
        return outcome;
    }
    StartTheRest();
    if (rest_->thread) {
        while (!win::WaitDispatchingWithoutInput(rest_->thread.Get(), 60 * 1000)) {
        }
        rest_->thread.Reset();
    }
    return rest_->outcome;
}

void UnpackedBundle::Remove() {
    if (rest_) {
        rest_->Stop();
    }
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
    unpacked.outcome = UnpackOutcome::Damaged;
    auto rest = std::make_unique<BundleRest>();
    if (!MapOwnFile(rest->view, rest->exe)) {
        FileBytes exe = TextFilesWin::ReadAllUpTo(StartupServicesWin::ModuleFileName(), kMaxSetupBytes);
        if (exe.status != ReadStatus::Ok) {
            return unpacked;
        }
        rest->exeCopy = std::move(exe.bytes);
        rest->exe = rest->exeCopy;
    }
    // The whole payload's CRC is checked here, before anything is written or shown: a damaged download never
    // gets as far as the window.
    bundle::BundleState state = bundle::BundleState::Damaged;
    const std::string_view payload = bundle::FindPayload(rest->exe, marker, state);
    if (state != bundle::BundleState::Ready || !rest->decoder.Begin(payload)) {
        return unpacked;
    }
    const uint64_t total = rest->decoder.TotalBytes();
    for (uint64_t want = std::min(total, kIndexGuessBytes);; want = std::min(total, want * 4)) {
        if (!rest->decoder.DecodeTo(want)) {
            return unpacked;
        }
        const bundle::IndexState read = bundle::ParseIndex(rest->decoder.Decoded(), total, rest->index);
        if (read == bundle::IndexState::Complete) {
            break;
        }
        if (read == bundle::IndexState::Damaged || want == total) {
            return unpacked;
        }
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
    rest->folder = unpacked.folder;
    const UnpackOutcome front = unpacked.lock ? rest->WriteEntries(rest->index.windowFiles) : UnpackOutcome::NoRoom;
    if (front != UnpackOutcome::Unpacked) {
        unpacked.Remove();
        unpacked.folder.clear();
        unpacked.outcome = front;
        return unpacked;
    }
    unpacked.outcome = UnpackOutcome::Unpacked;
    unpacked.rest_ = std::move(rest);
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
