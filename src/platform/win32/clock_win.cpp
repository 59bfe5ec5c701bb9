#include "platform/win32/clock_win.h"

#include <windows.h>

#include <cwchar>

#include "platform/win32/text_conv_win.h"

namespace tessaro {
namespace {

std::wstring UserDate(const SYSTEMTIME& time) {
    const int length = ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, nullptr, 0, nullptr);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    const int written =
        ::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text.data(), length, nullptr);
    text.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);  // Drop the terminating NUL.
    return text;
}

std::wstring UserTime(const SYSTEMTIME& time) {
    const int length = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    const int written = ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, text.data(), length);
    text.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);
    return text;
}

}  // namespace

std::string ClockWin::LocalTimestamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::wstring date = UserDate(now);
    std::wstring time = UserTime(now);
    if (date.empty() || time.empty()) {
        // The regional settings let us down; a log line still wants a readable time.
        wchar_t fallback[32];
        std::swprintf(fallback, sizeof fallback / sizeof fallback[0], L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear,
                      now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
        return win::WideToUtf8(fallback);
    }
    return win::WideToUtf8(date + L" " + time);
}

}  // namespace tessaro
