#include "platform/win32/text_conv_win.h"

#include <climits>

#include "platform/message_inserts.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro::win {
namespace {

std::wstring MultiByteToWide(UINT codePage, std::string_view text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
        return {};
    }
    const int inLength = static_cast<int>(text.size());
    const int outLength = ::MultiByteToWideChar(codePage, 0, text.data(), inLength, nullptr, 0);
    if (outLength <= 0) {
        return {};
    }
    std::wstring wide(static_cast<size_t>(outLength), L'\0');
    const int written = ::MultiByteToWideChar(codePage, 0, text.data(), inLength, wide.data(), outLength);
    wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return wide;
}

std::string WideToMultiByte(UINT codePage, std::wstring_view wide) {
    if (wide.empty() || wide.size() > static_cast<size_t>(INT_MAX)) {
        return {};
    }
    const int inLength = static_cast<int>(wide.size());
    const int outLength = ::WideCharToMultiByte(codePage, 0, wide.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) {
        return {};
    }
    std::string text(static_cast<size_t>(outLength), '\0');
    const int written =
        ::WideCharToMultiByte(codePage, 0, wide.data(), inLength, text.data(), outLength, nullptr, nullptr);
    text.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return text;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
    return MultiByteToWide(CP_UTF8, utf8);
}

std::string WideToUtf8(std::wstring_view wide) {
    return WideToMultiByte(CP_UTF8, wide);
}

std::wstring AnsiToWide(std::string_view ansi) {
    return MultiByteToWide(CP_ACP, ansi);
}

std::string WideToAnsi(std::wstring_view wide) {
    return WideToMultiByte(CP_ACP, wide);
}

void AppendAscii(std::wstring& text, std::string_view ascii) {
    for (const char c : ascii) {
        text += static_cast<wchar_t>(c);
    }
}

std::string SystemMessageText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    ScopeExit freeBuffer([buffer] { ::LocalFree(buffer); });
    if (length == 0 || buffer == nullptr) {
        return {};
    }
    std::wstring_view text(buffer, length);
    // The system ends its messages with a line break (and sometimes a blank) and a full stop; the installer's
    // messages put their own "。" after a description, so neither is wanted.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.' || text.back() == L'\x3002')) {
        text.remove_suffix(1);
    }
    return WideToUtf8(text);
}

std::string ErrorText(HRESULT hr, std::string_view fallback, std::string_view insert) {
    const DWORD code = static_cast<DWORD>(hr);
    std::string text = SystemMessageText(code);
    // Some systems only know a Win32 error by its plain number, not by its HRESULT form.
    if (text.empty() && HRESULT_FACILITY(hr) == FACILITY_WIN32) {
        text = SystemMessageText(HRESULT_CODE(hr));
    }
    if (text.empty()) {
        text = std::string(fallback);
    }
    return FillMessageInserts(text, insert);
}

HRESULT LastErrorResult() {
    const DWORD error = ::GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

}  // namespace tessaro::win
