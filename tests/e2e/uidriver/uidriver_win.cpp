// uidriver.exe: drives another process's Win32 windows for the end-to-end tests. A long-lived REPL: one command
// per line on stdin, one JSON object per line on stdout, so a test run pays Wine's start-up cost once.
// The protocol is described in tests/e2e/README.md.

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hook_protocol_win.h"
#include "json.h"
#include "win_util_win.h"

namespace {

using uidriver::HandleValue;
using uidriver::JsonValue;
using uidriver::JsonWriter;
using uidriver::Narrow;
using uidriver::Widen;

constexpr DWORD kPollMs = 50;
constexpr UINT kSendTimeoutMs = 3000;

using Args = std::map<std::string, JsonValue>;

// ---------------------------------------------------------------------------------------------------------------
// Output

void WriteLine(const std::string& json) {
    static HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    std::string line = json + "\n";
    DWORD written = 0;
    const char* data = line.data();
    auto left = static_cast<DWORD>(line.size());
    while (left > 0 && ::WriteFile(out, data, left, &written, nullptr) && written > 0) {
        data += written;
        left -= written;
    }
    ::FlushFileBuffers(out);
}

struct Failure {
    std::string error;
    std::string detail;
};

// ---------------------------------------------------------------------------------------------------------------
// Windows and their text

std::string TopLevelTitle(HWND hwnd) {
    // GetWindowTextW on another process's top-level window reads the stored caption without sending a message, so
    // a hung program cannot block the search.
    wchar_t buffer[1024] = {};
    int len = ::GetWindowTextW(hwnd, buffer, 1024);
    return Narrow(std::wstring_view(buffer, len > 0 ? static_cast<size_t>(len) : 0));
}

std::string ControlText(HWND hwnd) {
    DWORD_PTR length = 0;
    if (::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &length)) {
        std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (::SendMessageTimeoutW(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                                  SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
            buffer.resize(std::min<size_t>(static_cast<size_t>(copied), buffer.size()));
            return Narrow(buffer);
        }
    }
    wchar_t fallback[1024] = {};
    int len = ::InternalGetWindowText(hwnd, fallback, 1024);
    return Narrow(std::wstring_view(fallback, len > 0 ? static_cast<size_t>(len) : 0));
}

struct FindQuery {
    std::wstring title;
    const wchar_t* className = nullptr;
    bool visibleOnly = true;
    HWND found = nullptr;
};

BOOL CALLBACK FindProc(HWND hwnd, LPARAM param) {
    auto* query = reinterpret_cast<FindQuery*>(param);
    if (query->visibleOnly && !::IsWindowVisible(hwnd)) {
        return TRUE;
    }
    wchar_t buffer[1024] = {};
    int len = ::GetWindowTextW(hwnd, buffer, 1024);
    if (std::wstring_view(buffer, len > 0 ? static_cast<size_t>(len) : 0) != query->title) {
        return TRUE;
    }
    if (query->className != nullptr) {
        wchar_t cls[256] = {};
        ::GetClassNameW(hwnd, cls, 256);
        if (::lstrcmpiW(cls, query->className) != 0) {
            return TRUE;
        }
    }
    query->found = hwnd;
    return FALSE;
}

// EnumWindows walks top-level windows from the top of the z-order, so the first match is the one in front.
HWND FindTopLevel(const std::string& title, bool visibleOnly = true, const wchar_t* className = nullptr) {
    FindQuery query{Widen(title), className, visibleOnly, nullptr};
    ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitTopLevel(const std::string& title, DWORD timeoutMs, const wchar_t* className = nullptr) {
    ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (true) {
        if (HWND hwnd = FindTopLevel(title, true, className)) {
            return hwnd;
        }
        if (::GetTickCount64() >= deadline) {
            return nullptr;
        }
        ::Sleep(kPollMs);
    }
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> result;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        result.push_back(child);
    }
    return result;
}

bool ClassIs(HWND hwnd, const wchar_t* name) {
    wchar_t cls[256] = {};
    ::GetClassNameW(hwnd, cls, 256);
    return ::lstrcmpiW(cls, name) == 0;
}

// ---------------------------------------------------------------------------------------------------------------
// Style decoding

struct Flag {
    DWORD bits;
    DWORD mask;
    const char* name;
};

const Flag kTopLevelStyles[] = {
    {WS_POPUP, WS_POPUP, "WS_POPUP"},
    {WS_CHILD, WS_CHILD, "WS_CHILD"},
    {WS_MINIMIZE, WS_MINIMIZE, "WS_MINIMIZE"},
    {WS_VISIBLE, WS_VISIBLE, "WS_VISIBLE"},
    {WS_DISABLED, WS_DISABLED, "WS_DISABLED"},
    {WS_CLIPSIBLINGS, WS_CLIPSIBLINGS, "WS_CLIPSIBLINGS"},
    {WS_CLIPCHILDREN, WS_CLIPCHILDREN, "WS_CLIPCHILDREN"},
    {WS_MAXIMIZE, WS_MAXIMIZE, "WS_MAXIMIZE"},
    {WS_CAPTION, WS_CAPTION, "WS_CAPTION"},
    {WS_BORDER, WS_BORDER, "WS_BORDER"},
    {WS_DLGFRAME, WS_DLGFRAME, "WS_DLGFRAME"},
    {WS_VSCROLL, WS_VSCROLL, "WS_VSCROLL"},
    {WS_HSCROLL, WS_HSCROLL, "WS_HSCROLL"},
    {WS_SYSMENU, WS_SYSMENU, "WS_SYSMENU"},
    {WS_THICKFRAME, WS_THICKFRAME, "WS_THICKFRAME"},
    {WS_MINIMIZEBOX, WS_MINIMIZEBOX, "WS_MINIMIZEBOX"},
    {WS_MAXIMIZEBOX, WS_MAXIMIZEBOX, "WS_MAXIMIZEBOX"},
    {DS_MODALFRAME, DS_MODALFRAME, "DS_MODALFRAME"},
    {DS_SETFOREGROUND, DS_SETFOREGROUND, "DS_SETFOREGROUND"},
    {DS_CENTER, DS_CENTER, "DS_CENTER"},
};

// WS_GROUP and WS_TABSTOP share their bits with WS_MINIMIZEBOX and WS_MAXIMIZEBOX; on a child they mean the former.
const Flag kChildStyles[] = {
    {WS_VISIBLE, WS_VISIBLE, "WS_VISIBLE"}, {WS_DISABLED, WS_DISABLED, "WS_DISABLED"},
    {WS_CHILD, WS_CHILD, "WS_CHILD"},       {WS_CLIPSIBLINGS, WS_CLIPSIBLINGS, "WS_CLIPSIBLINGS"},
    {WS_BORDER, WS_BORDER, "WS_BORDER"},    {WS_DLGFRAME, WS_DLGFRAME, "WS_DLGFRAME"},
    {WS_VSCROLL, WS_VSCROLL, "WS_VSCROLL"}, {WS_HSCROLL, WS_HSCROLL, "WS_HSCROLL"},
    {WS_GROUP, WS_GROUP, "WS_GROUP"},       {WS_TABSTOP, WS_TABSTOP, "WS_TABSTOP"},
};

const Flag kExStyles[] = {
    {WS_EX_DLGMODALFRAME, WS_EX_DLGMODALFRAME, "WS_EX_DLGMODALFRAME"},
    {WS_EX_NOPARENTNOTIFY, WS_EX_NOPARENTNOTIFY, "WS_EX_NOPARENTNOTIFY"},
    {WS_EX_TOPMOST, WS_EX_TOPMOST, "WS_EX_TOPMOST"},
    {WS_EX_ACCEPTFILES, WS_EX_ACCEPTFILES, "WS_EX_ACCEPTFILES"},
    {WS_EX_TRANSPARENT, WS_EX_TRANSPARENT, "WS_EX_TRANSPARENT"},
    {WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW, "WS_EX_TOOLWINDOW"},
    {WS_EX_WINDOWEDGE, WS_EX_WINDOWEDGE, "WS_EX_WINDOWEDGE"},
    {WS_EX_CLIENTEDGE, WS_EX_CLIENTEDGE, "WS_EX_CLIENTEDGE"},
    {WS_EX_CONTEXTHELP, WS_EX_CONTEXTHELP, "WS_EX_CONTEXTHELP"},
    {WS_EX_RIGHT, WS_EX_RIGHT, "WS_EX_RIGHT"},
    {WS_EX_RTLREADING, WS_EX_RTLREADING, "WS_EX_RTLREADING"},
    {WS_EX_CONTROLPARENT, WS_EX_CONTROLPARENT, "WS_EX_CONTROLPARENT"},
    {WS_EX_STATICEDGE, WS_EX_STATICEDGE, "WS_EX_STATICEDGE"},
    {WS_EX_APPWINDOW, WS_EX_APPWINDOW, "WS_EX_APPWINDOW"},
    {WS_EX_LAYERED, WS_EX_LAYERED, "WS_EX_LAYERED"},
    {WS_EX_LAYOUTRTL, WS_EX_LAYOUTRTL, "WS_EX_LAYOUTRTL"},
    {WS_EX_COMPOSITED, WS_EX_COMPOSITED, "WS_EX_COMPOSITED"},
    {WS_EX_NOACTIVATE, WS_EX_NOACTIVATE, "WS_EX_NOACTIVATE"},
};

const char* const kButtonTypes[16] = {
    "BS_PUSHBUTTON",  "BS_DEFPUSHBUTTON",  "BS_CHECKBOX",    "BS_AUTOCHECKBOX",    "BS_RADIOBUTTON", "BS_3STATE",
    "BS_AUTO3STATE",  "BS_GROUPBOX",       "BS_USERBUTTON",  "BS_AUTORADIOBUTTON", "BS_PUSHBOX",     "BS_OWNERDRAW",
    "BS_SPLITBUTTON", "BS_DEFSPLITBUTTON", "BS_COMMANDLINK", "BS_DEFCOMMANDLINK",
};

const Flag kButtonFlags[] = {
    {BS_LEFTTEXT, BS_LEFTTEXT, "BS_LEFTTEXT"},
    {BS_ICON, BS_ICON, "BS_ICON"},
    {BS_BITMAP, BS_BITMAP, "BS_BITMAP"},
    {BS_LEFT, BS_CENTER, "BS_LEFT"},
    {BS_RIGHT, BS_CENTER, "BS_RIGHT"},
    {BS_CENTER, BS_CENTER, "BS_CENTER"},
    {BS_TOP, BS_VCENTER, "BS_TOP"},
    {BS_BOTTOM, BS_VCENTER, "BS_BOTTOM"},
    {BS_VCENTER, BS_VCENTER, "BS_VCENTER"},
    {BS_PUSHLIKE, BS_PUSHLIKE, "BS_PUSHLIKE"},
    {BS_MULTILINE, BS_MULTILINE, "BS_MULTILINE"},
    {BS_NOTIFY, BS_NOTIFY, "BS_NOTIFY"},
    {BS_FLAT, BS_FLAT, "BS_FLAT"},
};

const char* const kStaticTypes[19] = {
    "SS_LEFT",        "SS_CENTER",     "SS_RIGHT",          "SS_ICON",        "SS_BLACKRECT",
    "SS_GRAYRECT",    "SS_WHITERECT",  "SS_BLACKFRAME",     "SS_GRAYFRAME",   "SS_WHITEFRAME",
    "SS_USERITEM",    "SS_SIMPLE",     "SS_LEFTNOWORDWRAP", "SS_OWNERDRAW",   "SS_BITMAP",
    "SS_ENHMETAFILE", "SS_ETCHEDHORZ", "SS_ETCHEDVERT",     "SS_ETCHEDFRAME",
};

const Flag kStaticFlags[] = {
    {SS_REALSIZECONTROL, SS_REALSIZECONTROL, "SS_REALSIZECONTROL"},
    {SS_NOPREFIX, SS_NOPREFIX, "SS_NOPREFIX"},
    {SS_NOTIFY, SS_NOTIFY, "SS_NOTIFY"},
    {SS_CENTERIMAGE, SS_CENTERIMAGE, "SS_CENTERIMAGE"},
    {SS_RIGHTJUST, SS_RIGHTJUST, "SS_RIGHTJUST"},
    {SS_REALSIZEIMAGE, SS_REALSIZEIMAGE, "SS_REALSIZEIMAGE"},
    {SS_SUNKEN, SS_SUNKEN, "SS_SUNKEN"},
    {SS_EDITCONTROL, SS_EDITCONTROL, "SS_EDITCONTROL"},
    {SS_ENDELLIPSIS, SS_ELLIPSISMASK, "SS_ENDELLIPSIS"},
    {SS_PATHELLIPSIS, SS_ELLIPSISMASK, "SS_PATHELLIPSIS"},
    {SS_WORDELLIPSIS, SS_ELLIPSISMASK, "SS_WORDELLIPSIS"},
};

const Flag kEditFlags[] = {
    {ES_CENTER, ES_CENTER | ES_RIGHT, "ES_CENTER"},     {ES_RIGHT, ES_CENTER | ES_RIGHT, "ES_RIGHT"},
    {ES_MULTILINE, ES_MULTILINE, "ES_MULTILINE"},       {ES_UPPERCASE, ES_UPPERCASE, "ES_UPPERCASE"},
    {ES_LOWERCASE, ES_LOWERCASE, "ES_LOWERCASE"},       {ES_PASSWORD, ES_PASSWORD, "ES_PASSWORD"},
    {ES_AUTOVSCROLL, ES_AUTOVSCROLL, "ES_AUTOVSCROLL"}, {ES_AUTOHSCROLL, ES_AUTOHSCROLL, "ES_AUTOHSCROLL"},
    {ES_NOHIDESEL, ES_NOHIDESEL, "ES_NOHIDESEL"},       {ES_READONLY, ES_READONLY, "ES_READONLY"},
    {ES_WANTRETURN, ES_WANTRETURN, "ES_WANTRETURN"},    {ES_NUMBER, ES_NUMBER, "ES_NUMBER"},
};

const Flag kProgressFlags[] = {
    {0x01, 0x01, "PBS_SMOOTH"},
    {0x04, 0x04, "PBS_VERTICAL"},
    {0x08, 0x08, "PBS_MARQUEE"},
};

template <size_t N>
void WriteFlags(JsonWriter& out, DWORD value, const Flag (&flags)[N]) {
    for (const auto& flag : flags) {
        out.Field(flag.name, (value & flag.mask) == flag.bits);
    }
}

void WriteTopLevelStyle(JsonWriter& out, HWND hwnd) {
    auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    out.Key("style").BeginObject();
    out.Field("raw", static_cast<unsigned long>(style));
    WriteFlags(out, style, kTopLevelStyles);
    out.EndObject();
    out.Key("exStyle").BeginObject();
    out.Field("raw", static_cast<unsigned long>(exStyle));
    WriteFlags(out, exStyle, kExStyles);
    out.EndObject();
}

void WriteChildStyle(JsonWriter& out, HWND hwnd) {
    auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_STYLE));
    auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    out.Key("style").BeginObject();
    out.Field("raw", static_cast<unsigned long>(style));
    WriteFlags(out, style, kChildStyles);
    if (ClassIs(hwnd, L"Button")) {
        out.Field("type", kButtonTypes[style & BS_TYPEMASK]);
        WriteFlags(out, style, kButtonFlags);
    } else if (ClassIs(hwnd, L"Static")) {
        DWORD type = style & SS_TYPEMASK;
        out.Field("type", type < 19 ? kStaticTypes[type] : "SS_UNKNOWN");
        WriteFlags(out, style, kStaticFlags);
    } else if (ClassIs(hwnd, L"Edit")) {
        WriteFlags(out, style, kEditFlags);
    } else if (ClassIs(hwnd, L"msctls_progress32")) {
        WriteFlags(out, style, kProgressFlags);
    }
    out.EndObject();
    out.Key("exStyle").BeginObject();
    out.Field("raw", static_cast<unsigned long>(exStyle));
    WriteFlags(out, exStyle, kExStyles);
    out.EndObject();
}

void WriteRect(JsonWriter& out, const RECT& rc) {
    out.BeginObject();
    out.Field("left", static_cast<long>(rc.left));
    out.Field("top", static_cast<long>(rc.top));
    out.Field("right", static_cast<long>(rc.right));
    out.Field("bottom", static_cast<long>(rc.bottom));
    out.Field("width", static_cast<long>(rc.right - rc.left));
    out.Field("height", static_cast<long>(rc.bottom - rc.top));
    out.EndObject();
}

void WriteWindowRef(JsonWriter& out, HWND hwnd) {
    if (hwnd == nullptr) {
        out.Null();
        return;
    }
    out.BeginObject();
    out.Field("hwnd", HandleValue(hwnd));
    out.Field("id", static_cast<long>(::GetDlgCtrlID(hwnd)));
    out.Field("class", uidriver::ClassNameOf(hwnd));
    out.Field("title", TopLevelTitle(hwnd));
    out.EndObject();
}

void WriteScreen(JsonWriter& out) {
    out.Key("screen").BeginObject();
    out.Field("width", ::GetSystemMetrics(SM_CXSCREEN));
    out.Field("height", ::GetSystemMetrics(SM_CYSCREEN));
    out.EndObject();
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    out.Key("workArea");
    WriteRect(out, work);
}

// ---------------------------------------------------------------------------------------------------------------
// The hook client: fonts, icons and cursors are answered from inside the target process.

class HookClient {
  public:
    HookClient() {
        wchar_t path[MAX_PATH] = {};
        DWORD len = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring dir(path, len);
        dir.resize(dir.find_last_of(L"\\/") + 1);
        dllPath_ = dir + uidriver::kHookDllName;
        dll_.Reset(::LoadLibraryW(dllPath_.c_str()));
        if (!dll_) {
            error_ = "cannot load " + Narrow(dllPath_);
            return;
        }
        proc_ =
            reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(::GetProcAddress(dll_.Get(), uidriver::kHookProcName)));
        message_ = ::RegisterWindowMessageW(uidriver::kQueryMessageName);
        wchar_t name[64];
        uidriver::SharedNameFor(::GetCurrentProcessId(), name);
        mapping_.Reset(
            ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, uidriver::kSharedSize, name));
        if (mapping_) {
            view_.Reset(::MapViewOfFile(mapping_.Get(), FILE_MAP_ALL_ACCESS, 0, 0, uidriver::kSharedSize));
        }
        if (proc_ == nullptr || message_ == 0 || !view_) {
            error_ = "hook set-up failed";
        }
    }

    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    std::string DllPath() const { return Narrow(dllPath_); }

    // Sends the query to `target` (whose thread runs the hook) and returns the hook's JSON answer.
    std::optional<std::string> Query(HWND target,
                                     uidriver::HookOp op,
                                     HWND hwnd,
                                     HANDLE handle,
                                     POINT pt,
                                     std::string& error) {
        if (!Ready()) {
            error = error_;
            return std::nullopt;
        }
        DWORD pid = 0;
        DWORD tid = ::GetWindowThreadProcessId(target, &pid);
        if (tid == 0) {
            error = "no such window";
            return std::nullopt;
        }
        auto* shared = static_cast<uidriver::HookShared*>(view_.Get());
        LONG seq = ++seq_;
        shared->op = static_cast<std::uint32_t>(op);
        shared->hwnd = HandleValue(hwnd);
        shared->handle = HandleValue(handle);
        shared->x = pt.x;
        shared->y = pt.y;
        shared->answerLength = 0;
        ::InterlockedExchange(&shared->answerSeq, 0);
        ::InterlockedExchange(&shared->requestSeq, seq);
        uidriver::UniqueHook hook(::SetWindowsHookExW(WH_CALLWNDPROC, proc_, dll_.Get(), tid));
        if (!hook) {
            error = "SetWindowsHookExW failed: " + std::to_string(::GetLastError());
            return std::nullopt;
        }
        DWORD_PTR result = 0;
        if (!::SendMessageTimeoutW(target, message_, ::GetCurrentProcessId(), static_cast<LPARAM>(seq),
                                   SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)) {
            error = "query message timed out";
            return std::nullopt;
        }
        if (shared->answerSeq != seq) {
            error = "hook did not answer";
            return std::nullopt;
        }
        ::MemoryBarrier();
        return std::string(shared->answer, std::min<std::uint32_t>(shared->answerLength, uidriver::kAnswerCapacity));
    }

  private:
    std::wstring dllPath_;
    uidriver::UniqueModule dll_;
    HOOKPROC proc_ = nullptr;
    UINT message_ = 0;
    uidriver::UniqueHandle mapping_;
    uidriver::UniqueView view_;
    LONG seq_ = 0;
    std::string error_;
};

HookClient& Hook() {
    static HookClient client;
    return client;
}

// Splices the hook's answer for a window into `out`, or a null and the reason.
void WriteHookAnswer(JsonWriter& out, const char* key, std::optional<std::string> answer, const std::string& error) {
    if (answer) {
        out.Key(key).Raw(*answer);
    } else {
        out.Key(key).Null();
        out.Field(std::string(key) + "Error", error);
    }
}

// Finds {"hwnd":N,...} entries in the hook's children array, keyed by hwnd, without a full JSON parser: the hook
// writes each child object starting with its hwnd, so a child's object runs from its "hwnd" key to the next one.
std::map<std::uint64_t, std::string> SplitHookChildren(const std::string& answer) {
    std::map<std::uint64_t, std::string> result;
    auto childrenAt = answer.find("\"children\":[");
    if (childrenAt == std::string::npos) {
        return result;
    }
    size_t pos = childrenAt + 12;
    const std::string marker = "{\"hwnd\":";
    while ((pos = answer.find(marker, pos)) != std::string::npos) {
        size_t numberStart = pos + marker.size();
        size_t numberEnd = answer.find(',', numberStart);
        std::uint64_t hwnd = std::stoull(answer.substr(numberStart, numberEnd - numberStart));
        // Walk braces to find the end of this child object.
        int depth = 0;
        bool inString = false;
        size_t end = pos;
        for (; end < answer.size(); ++end) {
            char c = answer[end];
            if (inString) {
                if (c == '\\') {
                    ++end;
                } else if (c == '"') {
                    inString = false;
                }
                continue;
            }
            if (c == '"') {
                inString = true;
            } else if (c == '{') {
                ++depth;
            } else if (c == '}' && --depth == 0) {
                break;
            }
        }
        result[hwnd] = answer.substr(pos, end + 1 - pos);
        pos = end + 1;
    }
    return result;
}

// Returns the value of one key of a flat-ish JSON object produced by the hook (objects nest, so brace-match).
std::optional<std::string> JsonMember(const std::string& object, const std::string& key) {
    std::string marker = "\"" + key + "\":";
    auto at = object.find(marker);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    size_t start = at + marker.size();
    int depth = 0;
    bool inString = false;
    for (size_t i = start; i < object.size(); ++i) {
        char c = object[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth == 0) {
                return object.substr(start, i - start);
            }
            --depth;
        } else if (c == ',' && depth == 0) {
            return object.substr(start, i - start);
        }
    }
    return object.substr(start);
}

// ---------------------------------------------------------------------------------------------------------------
// Arguments

std::string ArgString(const Args& args, const std::string& key) {
    auto it = args.find(key);
    if (it == args.end()) {
        throw Failure{"missing-argument", key};
    }
    if (it->second.kind == JsonValue::Kind::String) {
        return it->second.text;
    }
    if (it->second.kind == JsonValue::Kind::Int) {
        return std::to_string(it->second.integer);
    }
    throw Failure{"bad-argument", key};
}

std::int64_t ArgInt(const Args& args, const std::string& key, std::optional<std::int64_t> fallback = std::nullopt) {
    auto it = args.find(key);
    if (it == args.end()) {
        if (fallback) {
            return *fallback;
        }
        throw Failure{"missing-argument", key};
    }
    if (it->second.kind == JsonValue::Kind::Int) {
        return it->second.integer;
    }
    if (it->second.kind == JsonValue::Kind::String) {
        try {
            size_t used = 0;
            long long value = std::stoll(it->second.text, &used, 0);
            if (used == it->second.text.size()) {
                return value;
            }
        } catch (...) {
        }
    }
    throw Failure{"bad-argument", key};
}

bool ArgBool(const Args& args, const std::string& key) {
    auto it = args.find(key);
    if (it == args.end()) {
        return false;
    }
    if (it->second.kind == JsonValue::Kind::Bool) {
        return it->second.boolean;
    }
    if (it->second.kind == JsonValue::Kind::Int) {
        return it->second.integer != 0;
    }
    return it->second.kind == JsonValue::Kind::String && (it->second.text == "true" || it->second.text == "1");
}

// An optional "class" narrows the search, e.g. when the main window and a message box share a title.
std::wstring ClassFilter(const Args& args) {
    return args.count("class") != 0 ? Widen(ArgString(args, "class")) : std::wstring();
}

const wchar_t* OrNull(const std::wstring& text) {
    return text.empty() ? nullptr : text.c_str();
}

HWND RequireWindow(const Args& args) {
    std::string title = ArgString(args, "title");
    std::wstring cls = ClassFilter(args);
    HWND hwnd = FindTopLevel(title, true, OrNull(cls));
    if (hwnd == nullptr) {
        throw Failure{"no-window", title};
    }
    return hwnd;
}

HWND RequireControl(HWND window, const Args& args) {
    auto id = ArgInt(args, "id");
    if (id == 0) {
        return window;
    }
    HWND control = ::GetDlgItem(window, static_cast<int>(id));
    if (control == nullptr) {
        throw Failure{"no-control", std::to_string(id)};
    }
    return control;
}

// ---------------------------------------------------------------------------------------------------------------
// Commands. Each writes its fields after "ok":true; failures throw.

void CmdInfo(JsonWriter& out, const Args&) {
    out.Field("pid", static_cast<unsigned long>(::GetCurrentProcessId()));
    out.Field("acp", static_cast<unsigned>(::GetACP()));
    out.Field("oemcp", static_cast<unsigned>(::GetOEMCP()));
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
    ::GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    out.Field("locale", Narrow(locale));
    out.Field("uiLanguage", static_cast<unsigned>(::GetUserDefaultUILanguage()));
    using WineGetVersion = const char*(__cdecl*)();
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    auto wineVersion =
        reinterpret_cast<WineGetVersion>(reinterpret_cast<void*>(::GetProcAddress(ntdll, "wine_get_version")));
    if (wineVersion != nullptr) {
        out.Field("wine", wineVersion());
    } else {
        out.Key("wine").Null();
    }
    WriteScreen(out);
    uidriver::ScreenDc screen;
    out.Field("dpi", ::GetDeviceCaps(screen.Get(), LOGPIXELSY));
    out.Field("hookDll", Hook().DllPath());
    out.Field("hookReady", Hook().Ready());
    if (!Hook().Ready()) {
        out.Field("hookError", Hook().Error());
    }
    out.Field("pointerBits", static_cast<int>(sizeof(void*) * 8));
    BOOL wow64 = FALSE;
    out.Field("wow64", ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64);
}

BOOL CALLBACK ListProc(HWND hwnd, LPARAM param) {
    auto* out = reinterpret_cast<JsonWriter*>(param);
    bool visible = ::IsWindowVisible(hwnd) != FALSE;
    if (!visible) {
        return TRUE;
    }
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    out->BeginObject();
    out->Field("hwnd", HandleValue(hwnd));
    out->Field("title", TopLevelTitle(hwnd));
    out->Field("class", uidriver::ClassNameOf(hwnd));
    out->Field("pid", static_cast<unsigned long>(pid));
    out->Key("rect");
    WriteRect(*out, rc);
    out->EndObject();
    return TRUE;
}

void CmdList(JsonWriter& out, const Args&) {
    out.Key("windows").BeginArray();
    ::EnumWindows(ListProc, reinterpret_cast<LPARAM>(&out));
    out.EndArray();
}

void CmdWaitWindow(JsonWriter& out, const Args& args) {
    std::string title = ArgString(args, "title");
    std::wstring cls = ClassFilter(args);
    HWND hwnd = WaitTopLevel(title, static_cast<DWORD>(ArgInt(args, "timeout")), OrNull(cls));
    if (hwnd == nullptr) {
        throw Failure{"timeout", title};
    }
    out.Field("hwnd", HandleValue(hwnd));
    out.Field("class", uidriver::ClassNameOf(hwnd));
}

void CmdGone(JsonWriter& out, const Args& args) {
    std::string title = ArgString(args, "title");
    ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(ArgInt(args, "timeout"));
    // Hidden windows count too: "gone" means destroyed, not merely hidden.
    std::wstring cls = ClassFilter(args);
    while (FindTopLevel(title, false, OrNull(cls)) != nullptr) {
        if (::GetTickCount64() >= deadline) {
            throw Failure{"timeout", title};
        }
        ::Sleep(kPollMs);
    }
    out.Field("gone", true);
}

void WriteFocus(JsonWriter& out, HWND hwnd) {
    DWORD tid = ::GetWindowThreadProcessId(hwnd, nullptr);
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    if (!::GetGUIThreadInfo(tid, &gti)) {
        out.Key("focus").Null();
        out.Key("activeWindow").Null();
        return;
    }
    out.Key("focus");
    WriteWindowRef(out, gti.hwndFocus);
    out.Key("activeWindow");
    WriteWindowRef(out, gti.hwndActive);
    out.Field("inMenuMode", (gti.flags & GUI_INMENUMODE) != 0);
    out.Field("captureHwnd", HandleValue(gti.hwndCapture));
}

void CmdDescribe(JsonWriter& out, const Args& args) {
    HWND hwnd = RequireWindow(args);
    DWORD pid = 0;
    DWORD tid = ::GetWindowThreadProcessId(hwnd, &pid);
    std::string hookError;
    auto hookAnswer = Hook().Query(hwnd, uidriver::HookOp::Window, hwnd, nullptr, POINT{}, hookError);
    std::map<std::uint64_t, std::string> hookChildren;
    if (hookAnswer) {
        hookChildren = SplitHookChildren(*hookAnswer);
    }

    out.Field("hwnd", HandleValue(hwnd));
    out.Field("title", TopLevelTitle(hwnd));
    out.Field("class", uidriver::ClassNameOf(hwnd));
    out.Field("pid", static_cast<unsigned long>(pid));
    out.Field("tid", static_cast<unsigned long>(tid));
    out.Field("visible", ::IsWindowVisible(hwnd) != FALSE);
    out.Field("enabled", ::IsWindowEnabled(hwnd) != FALSE);
    out.Field("foreground", ::GetForegroundWindow() == hwnd);
    out.Field("iconic", ::IsIconic(hwnd) != FALSE);
    out.Field("zoomed", ::IsZoomed(hwnd) != FALSE);
    WriteTopLevelStyle(out, hwnd);
    RECT rc{};
    ::GetWindowRect(hwnd, &rc);
    out.Key("rect");
    WriteRect(out, rc);
    RECT client{};
    ::GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ::ClientToScreen(hwnd, &origin);
    out.Key("client").BeginObject();
    out.Field("width", static_cast<long>(client.right));
    out.Field("height", static_cast<long>(client.bottom));
    out.Field("screenX", static_cast<long>(origin.x));
    out.Field("screenY", static_cast<long>(origin.y));
    out.EndObject();
    WriteScreen(out);
    out.Key("owner");
    WriteWindowRef(out, ::GetWindow(hwnd, GW_OWNER));
    WriteFocus(out, hwnd);
    if (hookAnswer) {
        for (const char* key : {"font", "icons", "classCursor", "systemMenu", "dpi"}) {
            auto member = JsonMember(*hookAnswer, key);
            out.Key(key).Raw(member ? *member : "null");
        }
    } else {
        out.Key("font").Null();
        out.Field("hookError", hookError);
    }

    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    ::GetGUIThreadInfo(tid, &gti);
    out.Key("children").BeginArray();
    int index = 0;
    for (HWND child : Children(hwnd)) {
        out.BeginObject();
        out.Field("index", index++);
        out.Field("hwnd", HandleValue(child));
        out.Field("id", static_cast<long>(::GetDlgCtrlID(child)));
        out.Field("class", uidriver::ClassNameOf(child));
        out.Field("text", ControlText(child));
        RECT crc{};
        ::GetWindowRect(child, &crc);
        ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&crc), 2);
        out.Key("rect");
        WriteRect(out, crc);
        WriteChildStyle(out, child);
        out.Field("enabled", ::IsWindowEnabled(child) != FALSE);
        out.Field("visible", ::IsWindowVisible(child) != FALSE);
        out.Field("focused", gti.hwndFocus == child);
        if (ClassIs(child, L"Button")) {
            DWORD_PTR check = 0;
            if (::SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &check)) {
                out.Field("checked", static_cast<unsigned long long>(check));
            }
        } else if (ClassIs(child, L"msctls_progress32")) {
            DWORD_PTR pos = 0;
            DWORD_PTR low = 0;
            DWORD_PTR high = 0;
            ::SendMessageTimeoutW(child, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &pos);
            ::SendMessageTimeoutW(child, PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &low);
            ::SendMessageTimeoutW(child, PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &high);
            out.Key("progress").BeginObject();
            out.Field("pos", static_cast<long long>(static_cast<int>(pos)));
            out.Field("min", static_cast<long long>(static_cast<int>(low)));
            out.Field("max", static_cast<long long>(static_cast<int>(high)));
            out.EndObject();
        }
        auto it = hookChildren.find(HandleValue(child));
        for (const char* key : {"font", "icon", "classCursor"}) {
            std::optional<std::string> member;
            if (it != hookChildren.end()) {
                member = JsonMember(it->second, key);
            }
            out.Key(key).Raw(member ? *member : "null");
        }
        out.EndObject();
    }
    out.EndArray();
}

void CmdText(JsonWriter& out, const Args& args) {
    HWND control = RequireControl(RequireWindow(args), args);
    out.Field("text", ControlText(control));
}

void CmdEnabled(JsonWriter& out, const Args& args) {
    HWND control = RequireControl(RequireWindow(args), args);
    out.Field("enabled", ::IsWindowEnabled(control) != FALSE);
    out.Field("visible", ::IsWindowVisible(control) != FALSE);
}

// BM_CLICK is posted, not sent: the click handler may open a modal message box, and a sent message would not return
// until that box closes. A user cannot click a disabled or hidden button, or any button behind a modal box, so the
// driver refuses those unless told to force it.
void CmdClick(JsonWriter& out, const Args& args) {
    HWND window = RequireWindow(args);
    HWND control = RequireControl(window, args);
    if (!ArgBool(args, "force")) {
        if (!::IsWindowVisible(control)) {
            throw Failure{"control-hidden", ""};
        }
        if (!::IsWindowEnabled(control)) {
            throw Failure{"control-disabled", ""};
        }
        if (!::IsWindowEnabled(window)) {
            throw Failure{"window-disabled", ""};
        }
    }
    auto via = args.count("via") != 0 ? ArgString(args, "via") : std::string("bm_click");
    if (via == "command") {
        auto id = static_cast<WORD>(::GetDlgCtrlID(control));
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    } else {
        ::PostMessageW(control, BM_CLICK, 0, 0);
    }
    out.Field("hwnd", HandleValue(control));
}

struct KeyName {
    const char* name;
    WORD vk;
    bool extended;
};

const KeyName kKeys[] = {
    {"ENTER", VK_RETURN, false},    {"RETURN", VK_RETURN, false}, {"ESCAPE", VK_ESCAPE, false},
    {"ESC", VK_ESCAPE, false},      {"TAB", VK_TAB, false},       {"SPACE", VK_SPACE, false},
    {"LEFT", VK_LEFT, true},        {"RIGHT", VK_RIGHT, true},    {"UP", VK_UP, true},
    {"DOWN", VK_DOWN, true},        {"HOME", VK_HOME, true},      {"END", VK_END, true},
    {"DELETE", VK_DELETE, true},    {"BACK", VK_BACK, false},     {"F1", VK_F1, false},
    {"F4", VK_F4, false},           {"SHIFT", VK_SHIFT, false},   {"CTRL", VK_CONTROL, false},
    {"CONTROL", VK_CONTROL, false}, {"ALT", VK_MENU, false},
};

const KeyName& LookupKey(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
    for (const auto& key : kKeys) {
        if (name == key.name) {
            return key;
        }
    }
    if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        static KeyName letter;
        letter = KeyName{"", static_cast<WORD>(name[0]), false};
        return letter;
    }
    throw Failure{"unknown-key", name};
}

// Posted to the focused control so the program's own loop (IsDialogMessage) sees it as if typed.
void CmdKey(JsonWriter& out, const Args& args) {
    HWND window = RequireWindow(args);
    const KeyName& key = LookupKey(ArgString(args, "key"));
    DWORD tid = ::GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO gti{};
    gti.cbSize = sizeof gti;
    HWND target = window;
    if (::GetGUIThreadInfo(tid, &gti) && gti.hwndFocus != nullptr) {
        target = gti.hwndFocus;
    }
    UINT scan = ::MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC);
    LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16) | (key.extended ? (1 << 24) : 0);
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    ::PostMessageW(target, WM_KEYDOWN, key.vk, down);
    ::PostMessageW(target, WM_KEYUP, key.vk, up);
    out.Key("target");
    WriteWindowRef(out, target);
}

// Real keyboard input through SendInput, for combinations a posted message cannot fake (SHIFT+TAB, ALT+F4): the
// window is brought to the foreground first because input goes to the foreground thread.
void CmdSendInput(JsonWriter& out, const Args& args) {
    HWND window = RequireWindow(args);
    std::string combo = ArgString(args, "keys");
    std::vector<const KeyName*> keys;
    size_t start = 0;
    while (start <= combo.size()) {
        size_t plus = combo.find('+', start);
        std::string part = combo.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        keys.push_back(&LookupKey(part));
        if (plus == std::string::npos) {
            break;
        }
        start = plus + 1;
    }
    ::SetForegroundWindow(window);
    ::Sleep(100);
    std::vector<INPUT> inputs;
    auto push = [&](const KeyName* key, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = key->vk;
        in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key->vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (key->extended ? KEYEVENTF_EXTENDEDKEY : 0);
        inputs.push_back(in);
    };
    for (const KeyName* key : keys) {
        push(key, false);
    }
    for (auto it = keys.rbegin(); it != keys.rend(); ++it) {
        push(*it, true);
    }
    UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    out.Field("sent", static_cast<unsigned>(sent));
    out.Field("foreground", ::GetForegroundWindow() == window);
}

HWND RequireMessageBox(const Args& args) {
    std::string title = ArgString(args, "title");
    HWND box = FindTopLevel(title, true, L"#32770");
    if (box == nullptr) {
        throw Failure{"no-msgbox", title};
    }
    return box;
}

void CmdWaitMsgBox(JsonWriter& out, const Args& args) {
    std::string title = ArgString(args, "title");
    HWND box = WaitTopLevel(title, static_cast<DWORD>(ArgInt(args, "timeout")), L"#32770");
    if (box == nullptr) {
        throw Failure{"timeout", title};
    }
    // Let the box finish WM_INITDIALOG (text, icon, default button) before reading it.
    ::Sleep(100);
    std::string hookError;
    auto hookAnswer = Hook().Query(box, uidriver::HookOp::Window, box, nullptr, POINT{}, hookError);
    std::map<std::uint64_t, std::string> hookChildren;
    if (hookAnswer) {
        hookChildren = SplitHookChildren(*hookAnswer);
    }

    out.Field("hwnd", HandleValue(box));
    out.Field("title", TopLevelTitle(box));
    HWND textControl = ::GetDlgItem(box, 0xFFFF);
    out.Field("text", textControl != nullptr ? ControlText(textControl) : std::string());
    if (textControl != nullptr) {
        auto it = hookChildren.find(HandleValue(textControl));
        auto font = it != hookChildren.end() ? JsonMember(it->second, "font") : std::nullopt;
        out.Key("textFont").Raw(font ? *font : "null");
    }
    out.Key("buttons").BeginArray();
    HWND defaultButton = nullptr;
    for (HWND child : Children(box)) {
        if (!ClassIs(child, L"Button") || !::IsWindowVisible(child)) {
            continue;
        }
        auto style = static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE));
        bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (isDefault) {
            defaultButton = child;
        }
        out.BeginObject();
        out.Field("id", static_cast<long>(::GetDlgCtrlID(child)));
        out.Field("text", ControlText(child));
        out.Field("enabled", ::IsWindowEnabled(child) != FALSE);
        out.Field("default", isDefault);
        out.EndObject();
    }
    out.EndArray();
    out.Field("defaultId", defaultButton != nullptr ? static_cast<long>(::GetDlgCtrlID(defaultButton)) : 0L);

    // The icon is the SS_ICON static; its handle only means something inside the box's process, so the hook names it.
    std::string icon = "none";
    std::string iconDetail = "null";
    for (HWND child : Children(box)) {
        auto style = static_cast<DWORD>(::GetWindowLongPtrW(child, GWL_STYLE));
        if (!ClassIs(child, L"Static") || (style & SS_TYPEMASK) != SS_ICON || !::IsWindowVisible(child)) {
            continue;
        }
        auto it = hookChildren.find(HandleValue(child));
        auto member = it != hookChildren.end() ? JsonMember(it->second, "icon") : std::nullopt;
        iconDetail = member ? *member : "null";
        if (!hookAnswer) {
            icon = "unknown";
        } else if (iconDetail.find("\"IDI_WARNING\"") != std::string::npos) {
            icon = "warning";
        } else if (iconDetail.find("\"IDI_ERROR\"") != std::string::npos) {
            icon = "error";
        } else if (iconDetail.find("\"IDI_INFORMATION\"") != std::string::npos) {
            icon = "information";
        } else if (iconDetail.find("\"IDI_QUESTION\"") != std::string::npos) {
            icon = "question";
        } else if (iconDetail != "null") {
            icon = "other";
        }
    }
    out.Field("icon", icon);
    out.Key("iconDetail").Raw(iconDetail);
    if (!hookAnswer) {
        out.Field("hookError", hookError);
    }
    out.Key("owner");
    HWND owner = ::GetWindow(box, GW_OWNER);
    WriteWindowRef(out, owner);
    out.Field("ownerEnabled", owner != nullptr && ::IsWindowEnabled(owner) != FALSE);
    WriteTopLevelStyle(out, box);
    RECT rc{};
    ::GetWindowRect(box, &rc);
    out.Key("rect");
    WriteRect(out, rc);
    WriteFocus(out, box);
}

struct ButtonName {
    const char* name;
    int id;
};

const ButtonName kBoxButtons[] = {
    {"OK", IDOK},
    {"CANCEL", IDCANCEL},
    {"ABORT", IDABORT},
    {"RETRY", IDRETRY},
    {"IGNORE", IDIGNORE},
    {"YES", IDYES},
    {"NO", IDNO},
    {"CLOSE", IDCLOSE},
    {"HELP", IDHELP},
    {"TRYAGAIN", IDTRYAGAIN},
    {"CONTINUE", IDCONTINUE},
};

void CmdPressMsgBox(JsonWriter& out, const Args& args) {
    HWND box = RequireMessageBox(args);
    std::string name = ArgString(args, "button");
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
    if (name == "CLOSE") {
        ::PostMessageW(box, WM_CLOSE, 0, 0);
        out.Field("pressed", "close");
        return;
    }
    int id = -1;
    for (const auto& button : kBoxButtons) {
        if (name == button.name) {
            id = button.id;
        }
    }
    if (id < 0) {
        throw Failure{"unknown-button", name};
    }
    HWND button = ::GetDlgItem(box, id);
    if (button == nullptr || !::IsWindowVisible(button)) {
        throw Failure{"no-button", name};
    }
    auto via = args.count("via") != 0 ? ArgString(args, "via") : std::string("bm_click");
    if (via == "command") {
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    } else {
        ::PostMessageW(button, BM_CLICK, 0, 0);
    }
    out.Field("pressed", id);
}

void CmdClose(JsonWriter& out, const Args& args) {
    HWND hwnd = RequireWindow(args);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    out.Field("hwnd", HandleValue(hwnd));
}

void CmdSysCommandClose(JsonWriter& out, const Args& args) {
    HWND hwnd = RequireWindow(args);
    ::PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
    out.Field("hwnd", HandleValue(hwnd));
}

// Two views of the cursor over a point: the real one (move the mouse, wait, GetCursorInfo) and a replay of the
// WM_NCHITTEST / WM_SETCURSOR exchange inside the target thread. Both are named by the hook in the target process,
// because a cursor handle from another process cannot be compared with our own LoadCursor results.
void CmdCursorAt(JsonWriter& out, const Args& args) {
    HWND window = RequireWindow(args);
    HWND control = RequireControl(window, args);
    POINT pt{static_cast<LONG>(ArgInt(args, "x")), static_cast<LONG>(ArgInt(args, "y"))};
    ::ClientToScreen(control, &pt);
    out.Key("screenPoint").BeginObject();
    out.Field("x", static_cast<long>(pt.x));
    out.Field("y", static_cast<long>(pt.y));
    out.EndObject();

    // One absolute move through SendInput: an ordinary mouse event that goes the whole WM_NCHITTEST /
    // WM_SETCURSOR way. SetCursorPos plus a nudge raced with Wine's own pointer warps inside a virtual desktop and
    // sometimes left the pointer at its previous spot.
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = static_cast<LONG>((pt.x * 65535 + ::GetSystemMetrics(SM_CXSCREEN) / 2) /
                                   std::max(1, ::GetSystemMetrics(SM_CXSCREEN) - 1));
    move.mi.dy = static_cast<LONG>((pt.y * 65535 + ::GetSystemMetrics(SM_CYSCREEN) / 2) /
                                   std::max(1, ::GetSystemMetrics(SM_CYSCREEN) - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    if (args.count("move") == 0 || ArgBool(args, "move")) {
        ::SendInput(1, &move, sizeof move);
    }
    ::Sleep(static_cast<DWORD>(ArgInt(args, "wait", 250)));
    CURSORINFO ci{};
    ci.cbSize = sizeof ci;
    out.Key("real").BeginObject();
    if (::GetCursorInfo(&ci)) {
        out.Field("handle", HandleValue(ci.hCursor));
        out.Field("showing", (ci.flags & CURSOR_SHOWING) != 0);
        out.Field("x", static_cast<long>(ci.ptScreenPos.x));
        out.Field("y", static_cast<long>(ci.ptScreenPos.y));
        out.Field("equalsDriverArrow", ci.hCursor == ::LoadCursorW(nullptr, IDC_ARROW));
        uidriver::IconBitmaps local(reinterpret_cast<HICON>(ci.hCursor));
        out.Field("driverGetIconInfo", local.ok);
        std::string error;
        auto named = Hook().Query(window, uidriver::HookOp::Cursor, window, ci.hCursor, pt, error);
        WriteHookAnswer(out, "cursor", named, error);
    } else {
        out.Field("error", "GetCursorInfo failed");
    }
    out.EndObject();

    // The replay comes second: its SetCursor calls must not disturb the real reading.
    std::string probeError;
    auto probe = Hook().Query(window, uidriver::HookOp::CursorProbe, window, nullptr, pt, probeError);
    WriteHookAnswer(out, "probe", probe, probeError);
}

// ---------------------------------------------------------------------------------------------------------------
// Line parsing: JSON objects for programs, plain words for people typing at the REPL.

struct Syntax {
    const char* command;
    std::vector<const char*> leading;
    bool title;
    std::vector<const char*> trailing;
};

const Syntax kSyntax[] = {
    {"info", {}, false, {}},
    {"list", {}, false, {}},
    {"quit", {}, false, {}},
    {"wait-window", {"timeout"}, true, {}},
    {"describe", {}, true, {}},
    {"text", {}, true, {"id"}},
    {"enabled", {}, true, {"id"}},
    {"click", {}, true, {"id"}},
    {"key", {}, true, {"key"}},
    {"sendinput", {}, true, {"keys"}},
    {"wait-msgbox", {"timeout"}, true, {}},
    {"press-msgbox", {}, true, {"button"}},
    {"close", {}, true, {}},
    {"syscommand-close", {}, true, {}},
    {"gone", {"timeout"}, true, {}},
    {"cursor-at", {}, true, {"id", "x", "y"}},
};

Args ParsePlain(const std::string& line) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && line[pos] == ' ') {
            ++pos;
        }
        size_t end = line.find(' ', pos);
        if (pos < line.size()) {
            words.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        }
        pos = end == std::string::npos ? line.size() : end;
    }
    Args args;
    if (words.empty()) {
        throw Failure{"empty-command", ""};
    }
    args["cmd"] = JsonValue{JsonValue::Kind::String, false, 0, words[0]};
    const Syntax* syntax = nullptr;
    for (const auto& entry : kSyntax) {
        if (words[0] == entry.command) {
            syntax = &entry;
        }
    }
    if (syntax == nullptr) {
        throw Failure{"unknown-command", words[0]};
    }
    size_t first = 1;
    size_t last = words.size();
    if (words.size() < 1 + syntax->leading.size() + syntax->trailing.size() + (syntax->title ? 1 : 0)) {
        throw Failure{"missing-argument", words[0]};
    }
    for (const char* name : syntax->leading) {
        args[name] = JsonValue{JsonValue::Kind::String, false, 0, words[first++]};
    }
    for (auto it = syntax->trailing.rbegin(); it != syntax->trailing.rend(); ++it) {
        args[*it] = JsonValue{JsonValue::Kind::String, false, 0, words[--last]};
    }
    if (syntax->title) {
        // The title is everything between the fixed words, single blanks included.
        std::string title;
        for (size_t i = first; i < last; ++i) {
            title += (i > first ? " " : "") + words[i];
        }
        args["title"] = JsonValue{JsonValue::Kind::String, false, 0, title};
    }
    return args;
}

using Handler = std::function<void(JsonWriter&, const Args&)>;

const std::map<std::string, Handler>& Handlers() {
    static const std::map<std::string, Handler> handlers = {
        {"info", CmdInfo},
        {"list", CmdList},
        {"wait-window", CmdWaitWindow},
        {"describe", CmdDescribe},
        {"text", CmdText},
        {"enabled", CmdEnabled},
        {"click", CmdClick},
        {"key", CmdKey},
        {"sendinput", CmdSendInput},
        {"wait-msgbox", CmdWaitMsgBox},
        {"press-msgbox", CmdPressMsgBox},
        {"close", CmdClose},
        {"syscommand-close", CmdSysCommandClose},
        {"gone", CmdGone},
        {"cursor-at", CmdCursorAt},
    };
    return handlers;
}

// Returns false when the driver should exit.
bool HandleLine(const std::string& line) {
    JsonWriter out;
    out.BeginObject();
    std::optional<JsonValue> seq;
    bool keepGoing = true;
    try {
        Args args;
        if (!line.empty() && line[0] == '{') {
            std::string error;
            auto parsed = uidriver::ParseFlatObject(line, error);
            if (!parsed) {
                throw Failure{"bad-json", error};
            }
            args = std::move(*parsed);
        } else {
            args = ParsePlain(line);
        }
        if (auto it = args.find("seq"); it != args.end()) {
            seq = it->second;
        }
        std::string cmd = ArgString(args, "cmd");
        if (cmd == "quit") {
            out.Field("ok", true);
            keepGoing = false;
        } else {
            auto handler = Handlers().find(cmd);
            if (handler == Handlers().end()) {
                throw Failure{"unknown-command", cmd};
            }
            JsonWriter body;
            body.BeginObject();
            handler->second(body, args);
            body.EndObject();
            // Handlers build their fields separately so a failure halfway leaves no partial answer behind.
            std::string fields = body.Str().substr(1, body.Str().size() - 2);
            out.Field("ok", true);
            if (!fields.empty()) {
                out.Raw(fields);
            }
        }
    } catch (const Failure& failure) {
        out = JsonWriter();
        out.BeginObject();
        out.Field("ok", false);
        out.Field("error", failure.error);
        if (!failure.detail.empty()) {
            out.Field("detail", failure.detail);
        }
    } catch (const std::exception& e) {
        out = JsonWriter();
        out.BeginObject();
        out.Field("ok", false);
        out.Field("error", "exception");
        out.Field("detail", e.what());
    }
    if (seq) {
        if (seq->kind == JsonValue::Kind::Int) {
            out.Field("seq", static_cast<long long>(seq->integer));
        } else if (seq->kind == JsonValue::Kind::String) {
            out.Field("seq", seq->text);
        }
    }
    out.EndObject();
    WriteLine(out.Str());
    return keepGoing;
}

}  // namespace

int wmain() {
    // Message boxes from a crash in here must never block a test run.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    HANDLE in = ::GetStdHandle(STD_INPUT_HANDLE);
    WriteLine(R"({"ok":true,"ready":true})");
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.empty()) {
                continue;
            }
            if (!HandleLine(line)) {
                return 0;
            }
        }
    }
    return 0;
}
