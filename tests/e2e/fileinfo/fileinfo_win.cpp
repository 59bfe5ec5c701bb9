// fileinfo.exe FILE: what Windows itself reads from an exe's resources, for the tests to compare with what went
// in. One line per fact, tab-separated, UTF-8:
//   string <key>\t<value>        the version strings of the first translation (VerQueryValueW)
//   translation\t<lang> <cp>     as hex
//   fixed\t<file version>\t<product version>
//   icon\t<w> <h> <bits> <bytes> <crc32> <decoded w>x<decoded h>   each image of group icon 1, in order
//   checksum\t<in the header> <computed>                           MapFileAndCheckSumW
// Exit status 0 when everything could be read, 1 otherwise.
#include <windows.h>

#include <imagehlp.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "uidriver/win_util_win.h"

namespace {

struct IconTraits {
    using Handle = HICON;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle icon) noexcept { ::DestroyIcon(icon); }
};
using UniqueIcon = uidriver::Unique<IconTraits>;

void Line(const std::string& text) {
    const std::string line = text + "\n";
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Hex(unsigned value, int digits) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

std::string Dotted(DWORD high, DWORD low) {
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

std::uint32_t Crc32(const BYTE* bytes, DWORD size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (DWORD i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc & 1) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

bool VersionInfo(const std::wstring& file) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::vector<BYTE> block(size);
    if (size == 0 || !::GetFileVersionInfoW(file.c_str(), 0, size, block.data())) {
        return false;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) || length < 4) {
        return false;
    }
    const auto* translation = static_cast<const WORD*>(value);
    Line("translation\t" + Hex(translation[0], 4) + " " + Hex(translation[1], 4));
    const std::wstring table = uidriver::Widen("\\StringFileInfo\\" + Hex(translation[0], 4) + Hex(translation[1], 4));
    for (const wchar_t* key : {L"ProductName", L"ProductVersion", L"CompanyName", L"FileDescription", L"LegalCopyright",
                               L"FileVersion", L"OriginalFilename"}) {
        if (::VerQueryValueW(block.data(), (table + L"\\" + key).c_str(), &value, &length)) {
            Line("string " + uidriver::Narrow(key) + "\t" + uidriver::Narrow(static_cast<const wchar_t*>(value)));
        }
    }
    if (!::VerQueryValueW(block.data(), L"\\", &value, &length) || length < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    Line("fixed\t" + Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + "\t" +
         Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    return true;
}

#pragma pack(push, 2)
struct GroupEntry {
    BYTE width;
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

bool Resource(HMODULE module, LPCWSTR name, LPCWSTR type, const BYTE*& bytes, DWORD& size) {
    HRSRC found = ::FindResourceW(module, name, type);
    HGLOBAL loaded = found != nullptr ? ::LoadResource(module, found) : nullptr;
    bytes = loaded != nullptr ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    size = found != nullptr ? ::SizeofResource(module, found) : 0;
    return bytes != nullptr;
}

bool Icons(const std::wstring& file) {
    uidriver::UniqueModule module(::LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    const BYTE* group = nullptr;
    DWORD groupSize = 0;
    if (!module || !Resource(module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14), group, groupSize) ||
        groupSize < 6) {
        return false;
    }
    const WORD count = *reinterpret_cast<const WORD*>(group + 4);
    if (groupSize < 6 + count * sizeof(GroupEntry)) {
        return false;
    }
    for (WORD i = 0; i < count; ++i) {
        GroupEntry entry{};
        std::memcpy(&entry, group + 6 + i * sizeof(GroupEntry), sizeof entry);
        const BYTE* image = nullptr;
        DWORD size = 0;
        if (!Resource(module.Get(), MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3), image, size)) {
            return false;
        }
        UniqueIcon icon(
            ::CreateIconFromResourceEx(const_cast<BYTE*>(image), size, TRUE, 0x00030000, 0, 0, LR_DEFAULTCOLOR));
        const uidriver::IconBitmaps bitmaps(icon.Get());
        const SIZE decoded = bitmaps.ok ? bitmaps.Size() : SIZE{0, 0};
        Line("icon\t" + std::to_string(entry.width) + " " + std::to_string(entry.height) + " " +
             std::to_string(entry.bitCount) + " " + std::to_string(size) + " " + Hex(Crc32(image, size), 8) + " " +
             std::to_string(decoded.cx) + "x" + std::to_string(decoded.cy));
    }
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        Line("usage: fileinfo FILE");
        return 1;
    }
    const std::wstring file = argv[1];
    bool ok = VersionInfo(file);
    ok = Icons(file) && ok;
    DWORD header = 0;
    DWORD computed = 0;
    if (::MapFileAndCheckSumW(file.c_str(), &header, &computed) == CHECKSUM_SUCCESS) {
        Line("checksum\t" + Hex(header, 8) + " " + Hex(computed, 8));
    } else {
        ok = false;
    }
    return ok ? 0 : 1;
}
