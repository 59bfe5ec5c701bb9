#include "platform/win32/clock_win.h"

#include <windows.h>

#include <string>

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

// `value` in decimal, with leading zeros up to `width` digits.
std::string Padded(unsigned value, std::size_t width) {
    std::string digits = std::to_string(value);
    return digits.size() < width ? std::string(width - digits.size(), '0') + digits : digits;
}

}  // namespace

std::string ClockWin::LocalTimestamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::wstring date = UserDate(now);
    std::wstring time = UserTime(now);
    if (date.empty() || time.empty()) {
        // The regional settings let us down; a log line still wants a readable time.
        // By hand: the printf family would bring a formatter into the exe larger than this whole file.
        return Padded(now.wYear, 4) + "-" + Padded(now.wMonth, 2) + "-" + Padded(now.wDay, 2) + " " +
               Padded(now.wHour, 2) + ":" + Padded(now.wMinute, 2) + ":" + Padded(now.wSecond, 2);
    }
    return win::WideToUtf8(date + L" " + time);
}

}  // namespace tessaro
