#include "platform/win32/clock_win.h"

#include <windows.h>

#include <string>

#include "config/decimal_text.h"
#include "platform/win32/text_conv_win.h"

namespace tessaro {
namespace {

// GetDateFormatW and GetTimeFormatW share this shape. The forms that take a locale name are Vista and later;
// these take the locale identifier and give the same text on every supported Windows.
using FormatFunction = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

// Appends `time` in one of the user's own short formats; false when the regional settings give no text (a
// format longer than any real one counts as none).
bool AppendUserFormat(std::wstring& text, FormatFunction format, DWORD flags, const SYSTEMTIME& time) {
    wchar_t buffer[256];
    const int written = format(LOCALE_USER_DEFAULT, flags, &time, nullptr, buffer, ARRAYSIZE(buffer));
    if (written <= 1) {
        return false;
    }
    text.append(buffer, static_cast<size_t>(written) - 1);  // without the terminating NUL
    return true;
}

}  // namespace

std::string ClockWin::LocalTimestamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::wstring local;
    if (AppendUserFormat(local, ::GetDateFormatW, DATE_SHORTDATE, now)) {
        local += L' ';
        if (AppendUserFormat(local, ::GetTimeFormatW, 0, now)) {
            return win::WideToUtf8(local);
        }
    }
    // The regional settings let us down; a log line still wants a readable time.
    const struct {
        unsigned value;
        std::size_t width;
        char after;
    } fields[] = {{now.wYear, 4, '-'}, {now.wMonth, 2, '-'},  {now.wDay, 2, ' '},
                  {now.wHour, 2, ':'}, {now.wMinute, 2, ':'}, {now.wSecond, 2, '\0'}};
    std::string stamp;
    for (const auto& field : fields) {
        AppendDecimal(stamp, field.value, field.width);
        if (field.after != '\0') {
            stamp += field.after;
        }
    }
    return stamp;
}

}  // namespace tessaro
