#include "platform/win32/clock_win.h"

#include <windows.h>

#include <cwchar>

#include "platform/win32/text_conv_win.h"

namespace tessaro {
namespace {

// The user's own short date and time formats. The functions that take a locale name are Vista and later; these
// take the locale identifier and give the same text on every supported Windows.
std::wstring UserDate(const SYSTEMTIME& time) {
    const int length = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    const int written = ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text.data(), length);
    text.resize(written > 0 ? static_cast<size_t>(written) - 1 : 0);  // Drop the terminating NUL.
    return text;
}

std::wstring UserTime(const SYSTEMTIME& time) {
    const int length = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, nullptr, 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    const int written = ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &time, nullptr, text.data(), length);
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
