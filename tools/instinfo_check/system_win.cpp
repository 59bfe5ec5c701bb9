#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "instinfo_check/system.h"

namespace instinfo_check::system {
namespace {

std::wstring ToWide(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string ToUtf8(std::wstring_view wide) {
    if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) {
        return {};
    }
    const int inLength = static_cast<int>(wide.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLength, text.data(), length, nullptr, nullptr);
    return text;
}

// A console gets wide text, so Chinese shows whatever the console's code page; a pipe or a file gets UTF-8.
// The standard handles belong to the process, not to us, so they are neither owned nor closed here.
void Write(DWORD which, std::string_view utf8) {
    const HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) {
        const std::wstring wide = ToWide(CP_UTF8, utf8);
        constexpr std::size_t kChunk = 8192;  // old consoles refuse very large writes
        for (std::size_t pos = 0; pos < wide.size(); pos += kChunk) {
            const std::size_t count = std::min(kChunk, wide.size() - pos);
            DWORD written = 0;
            ::WriteConsoleW(handle, wide.data() + pos, static_cast<DWORD>(count), &written, nullptr);
        }
        return;
    }
    while (!utf8.empty()) {
        DWORD written = 0;
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(utf8.size(), 1u << 20));
        if (!::WriteFile(handle, utf8.data(), count, &written, nullptr) || written == 0) {
            return;
        }
        utf8.remove_prefix(written);
    }
}

}  // namespace

void WriteOut(std::string_view utf8) {
    Write(STD_OUTPUT_HANDLE, utf8);
}

void WriteError(std::string_view utf8) {
    Write(STD_ERROR_HANDLE, utf8);
}

Language DefaultLanguage() {
    return PRIMARYLANGID(::GetUserDefaultUILanguage()) == LANG_CHINESE ? Language::Chinese : Language::English;
}

std::optional<tessaro::AnsiDecoder> MakeAnsiDecoder(int codePage) {
    const auto page = static_cast<UINT>(codePage);
    if (!::IsValidCodePage(page)) {
        return std::nullopt;
    }
    return [page](std::string_view ansi) {
        std::wstring wide = ToWide(page, ansi);
        // Windows' tables give a byte that starts no character of a DBCS code page a private-use character from
        // U+F8F0 on (936: 0xFF is U+F8F5; 932: 0xA0, 0xFD-0xFF) instead of failing. Shown, it is a blank or a box:
        // report it as undecodable, as the glibc decoder of the host build does.
        std::replace_if(
            wide.begin(), wide.end(), [](wchar_t c) { return c >= 0xF8F0 && c <= 0xF8FF; }, L'\xFFFD');
        return ToUtf8(wide);
    };
}

}  // namespace instinfo_check::system
