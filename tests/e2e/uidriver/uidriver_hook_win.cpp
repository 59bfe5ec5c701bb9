// uidriver_hook.dll: loaded into the program under test by a WH_CALLWNDPROC hook the driver installs on one
// thread. It answers the driver's registered query message from inside that process, where the program's fonts,
// icons and cursors are real handles.

#include <windows.h>

#include <cstring>
#include <string>

#include "hook_protocol_win.h"
#include "json.h"
#include "win_util_win.h"

namespace {

using uidriver::HandleValue;
using uidriver::JsonWriter;

struct NamedResource {
    LPCWSTR id;
    const char* name;
};

const NamedResource kStockIcons[] = {
    {IDI_APPLICATION, "IDI_APPLICATION"}, {IDI_ERROR, "IDI_ERROR"},
    {IDI_QUESTION, "IDI_QUESTION"},       {IDI_WARNING, "IDI_WARNING"},
    {IDI_INFORMATION, "IDI_INFORMATION"}, {IDI_WINLOGO, "IDI_WINLOGO"},
    {IDI_SHIELD, "IDI_SHIELD"},
};

const NamedResource kStockCursors[] = {
    {IDC_ARROW, "IDC_ARROW"},
    {IDC_IBEAM, "IDC_IBEAM"},
    {IDC_WAIT, "IDC_WAIT"},
    {IDC_CROSS, "IDC_CROSS"},
    {IDC_UPARROW, "IDC_UPARROW"},
    {IDC_SIZENWSE, "IDC_SIZENWSE"},
    {IDC_SIZENESW, "IDC_SIZENESW"},
    {IDC_SIZEWE, "IDC_SIZEWE"},
    {IDC_SIZENS, "IDC_SIZENS"},
    {IDC_SIZEALL, "IDC_SIZEALL"},
    {IDC_NO, "IDC_NO"},
    {IDC_HAND, "IDC_HAND"},
    {IDC_APPSTARTING, "IDC_APPSTARTING"},
    {IDC_HELP, "IDC_HELP"},
};

struct StockFont {
    int id;
    const char* name;
};

const StockFont kStockFonts[] = {
    {DEFAULT_GUI_FONT, "DEFAULT_GUI_FONT"},
    {SYSTEM_FONT, "SYSTEM_FONT"},
    {ANSI_VAR_FONT, "ANSI_VAR_FONT"},
    {ANSI_FIXED_FONT, "ANSI_FIXED_FONT"},
    {OEM_FIXED_FONT, "OEM_FIXED_FONT"},
    {SYSTEM_FIXED_FONT, "SYSTEM_FIXED_FONT"},
    {DEVICE_DEFAULT_FONT, "DEVICE_DEFAULT_FONT"},
};

void WriteLogFont(JsonWriter& out, HFONT font) {
    LOGFONTW lf{};
    if (font == nullptr || ::GetObjectW(font, sizeof lf, &lf) == 0) {
        out.Field("logfont", false);
        return;
    }
    out.Field("face", uidriver::Narrow(lf.lfFaceName));
    out.Field("height", static_cast<long>(lf.lfHeight));
    out.Field("width", static_cast<long>(lf.lfWidth));
    out.Field("weight", static_cast<long>(lf.lfWeight));
    out.Field("italic", lf.lfItalic != 0);
    out.Field("underline", lf.lfUnderline != 0);
    out.Field("strikeOut", lf.lfStrikeOut != 0);
    out.Field("charSet", static_cast<unsigned>(lf.lfCharSet));
    out.Field("quality", static_cast<unsigned>(lf.lfQuality));
}

// A control that never got WM_SETFONT draws with the system font, which is worth telling apart from a chosen one.
void WriteFont(JsonWriter& out, HWND hwnd) {
    auto font = reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0));
    out.BeginObject();
    out.Field("handle", HandleValue(font));
    const char* stock = nullptr;
    for (const auto& entry : kStockFonts) {
        if (font != nullptr && font == ::GetStockObject(entry.id)) {
            stock = entry.name;
        }
    }
    if (stock != nullptr) {
        out.Field("stock", stock);
    } else {
        out.Key("stock").Null();
    }
    out.Field("systemFont", font == nullptr);
    WriteLogFont(out, font != nullptr ? font : static_cast<HFONT>(::GetStockObject(SYSTEM_FONT)));
    out.EndObject();
}

template <size_t N>
const char* StockName(const NamedResource (&table)[N], HANDLE handle, bool cursor) {
    if (handle == nullptr) {
        return nullptr;
    }
    for (const auto& entry : table) {
        HANDLE stock = cursor ? static_cast<HANDLE>(::LoadCursorW(nullptr, entry.id))
                              : static_cast<HANDLE>(::LoadIconW(nullptr, entry.id));
        if (stock == handle) {
            return entry.name;
        }
    }
    return nullptr;
}

void WriteIconLike(JsonWriter& out, HICON icon, bool cursor) {
    if (icon == nullptr) {
        out.Null();
        return;
    }
    out.BeginObject();
    out.Field("handle", HandleValue(icon));
    const char* stock = cursor ? StockName(kStockCursors, icon, true) : StockName(kStockIcons, icon, false);
    if (stock != nullptr) {
        out.Field("stock", stock);
    } else {
        out.Key("stock").Null();
    }
    uidriver::IconBitmaps bitmaps(icon);
    if (bitmaps.ok) {
        SIZE size = bitmaps.Size();
        out.Field("width", static_cast<long>(size.cx));
        out.Field("height", static_cast<long>(size.cy));
        out.Field("hotspotX", static_cast<unsigned long>(bitmaps.info.xHotspot));
        out.Field("hotspotY", static_cast<unsigned long>(bitmaps.info.yHotspot));
    }
    out.EndObject();
}

void WriteSystemMenu(JsonWriter& out, HWND hwnd) {
    if ((::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_SYSMENU) == 0) {
        out.Null();
        return;
    }
    HMENU menu = ::GetSystemMenu(hwnd, FALSE);
    if (menu == nullptr) {
        out.Null();
        return;
    }
    out.BeginArray();
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        mii.dwTypeData = text;
        mii.cch = 255;
        if (!::GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii)) {
            continue;
        }
        out.BeginObject();
        out.Field("id", static_cast<unsigned>(mii.wID));
        out.Field("text", uidriver::Narrow(text));
        out.Field("separator", (mii.fType & MFT_SEPARATOR) != 0);
        out.Field("grayed", (mii.fState & MFS_GRAYED) != 0);
        out.EndObject();
    }
    out.EndArray();
}

std::string AnswerWindow(HWND hwnd) {
    JsonWriter out;
    out.BeginObject();
    out.Field("pid", static_cast<unsigned long>(::GetCurrentProcessId()));
    uidriver::ScreenDc screen;
    out.Field("dpi", ::GetDeviceCaps(screen.Get(), LOGPIXELSY));
    out.Key("font");
    WriteFont(out, hwnd);
    out.Key("icons").BeginObject();
    out.Key("big");
    WriteIconLike(out, reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0)), false);
    out.Key("small");
    WriteIconLike(out, reinterpret_cast<HICON>(::SendMessageW(hwnd, WM_GETICON, ICON_SMALL, 0)), false);
    out.Key("classBig");
    WriteIconLike(out, reinterpret_cast<HICON>(::GetClassLongPtrW(hwnd, GCLP_HICON)), false);
    out.Key("classSmall");
    WriteIconLike(out, reinterpret_cast<HICON>(::GetClassLongPtrW(hwnd, GCLP_HICONSM)), false);
    out.EndObject();
    out.Key("classCursor");
    WriteIconLike(out, reinterpret_cast<HICON>(::GetClassLongPtrW(hwnd, GCLP_HCURSOR)), true);
    out.Key("systemMenu");
    WriteSystemMenu(out, hwnd);
    out.Key("children").BeginArray();
    for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        out.BeginObject();
        out.Field("hwnd", HandleValue(child));
        out.Key("font");
        WriteFont(out, child);
        out.Key("icon");
        auto style = static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE));
        if (::lstrcmpiW(uidriver::Widen(uidriver::ClassNameOf(child)).c_str(), L"Static") == 0 &&
            (style & SS_TYPEMASK) == SS_ICON) {
            WriteIconLike(out, reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)), false);
        } else {
            out.Null();
        }
        out.Key("classCursor");
        WriteIconLike(out, reinterpret_cast<HICON>(::GetClassLongPtrW(child, GCLP_HCURSOR)), true);
        out.EndObject();
    }
    out.EndArray();
    out.EndObject();
    return out.Str();
}

std::string AnswerCursor(HCURSOR cursor) {
    JsonWriter out;
    WriteIconLike(out, cursor, true);
    return out.Str();
}

// What Windows does on a mouse move: find the window under the point, hit-test it, and let it (and its parents)
// pick a cursor through WM_SETCURSOR. The cursor is cleared first so "nobody set one" is visible as null.
std::string AnswerCursorProbe(POINT pt) {
    JsonWriter out;
    out.BeginObject();
    HWND hit = ::WindowFromPoint(pt);
    out.Field("hwnd", HandleValue(hit));
    if (hit == nullptr) {
        out.EndObject();
        return out.Str();
    }
    out.Field("id", static_cast<long>(::GetDlgCtrlID(hit)));
    out.Field("class", uidriver::ClassNameOf(hit));
    if (::GetWindowThreadProcessId(hit, nullptr) != ::GetCurrentThreadId()) {
        out.Field("error", "window under the point belongs to another thread");
        out.EndObject();
        return out.Str();
    }
    auto hitTest = ::SendMessageW(hit, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    out.Field("hitTest", static_cast<long long>(hitTest));
    HCURSOR before = ::SetCursor(nullptr);
    ::SendMessageW(hit, WM_SETCURSOR, reinterpret_cast<WPARAM>(hit),
                   MAKELPARAM(static_cast<WORD>(hitTest), WM_MOUSEMOVE));
    HCURSOR after = ::GetCursor();
    ::SetCursor(after != nullptr ? after : before);
    out.Key("cursor");
    WriteIconLike(out, after, true);
    out.EndObject();
    return out.Str();
}

void Answer(DWORD driverPid, LONG seq) {
    wchar_t name[64];
    uidriver::SharedNameFor(driverPid, name);
    uidriver::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name));
    if (!mapping) {
        return;
    }
    uidriver::UniqueView view(::MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, uidriver::kSharedSize));
    if (!view) {
        return;
    }
    auto* shared = static_cast<uidriver::HookShared*>(view.Get());
    if (shared->requestSeq != seq) {
        return;
    }
    std::string answer;
    auto hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(shared->hwnd));
    switch (static_cast<uidriver::HookOp>(shared->op)) {
        case uidriver::HookOp::Window:
            answer = AnswerWindow(hwnd);
            break;
        case uidriver::HookOp::Cursor:
            answer = AnswerCursor(reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(shared->handle)));
            break;
        case uidriver::HookOp::CursorProbe:
            answer = AnswerCursorProbe(POINT{shared->x, shared->y});
            break;
        default:
            answer = "{\"error\":\"unknown hook op\"}";
    }
    if (answer.size() > uidriver::kAnswerCapacity) {
        answer = "{\"error\":\"hook answer too long\"}";
    }
    std::memcpy(shared->answer, answer.data(), answer.size());
    shared->answerLength = static_cast<std::uint32_t>(answer.size());
    ::MemoryBarrier();
    ::InterlockedExchange(&shared->answerSeq, seq);
}

}  // namespace

extern "C" __attribute__((dllexport)) LRESULT CALLBACK UiDriverCallWndProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        static const UINT queryMessage = ::RegisterWindowMessageW(uidriver::kQueryMessageName);
        const auto* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (queryMessage != 0 && cwp->message == queryMessage) {
            Answer(static_cast<DWORD>(cwp->wParam), static_cast<LONG>(cwp->lParam));
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
