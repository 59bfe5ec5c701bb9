// Runs the Windows platform services against the real system and prints one line per check. Started without a
// mode it is the test driver; it starts copies of itself (told apart by TESSARO_SMOKE_MODE or by their file name)
// to see what another process observes. The exit status is the number of failed checks.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/automation_win.h"
#include "platform/win32/clock_win.h"
#include "platform/win32/com_win.h"
#include "platform/win32/dialogs_win.h"
#include "platform/win32/file_services_win.h"
#include "platform/win32/process_services_win.h"
#include "platform/win32/startup_services_win.h"
#include "platform/win32/text_conv_win.h"
#include "platform/win32/text_files_win.h"
#include "platform/win32/unique_handle_win.h"

using namespace tessaro;
using win::Utf8ToWide;
using win::WideToUtf8;

namespace {

constexpr wchar_t kModeVariable[] = L"TESSARO_SMOKE_MODE";
constexpr wchar_t kDirVariable[] = L"TESSARO_SMOKE_DIR";

int failures = 0;

void Out(std::string_view text) {
    DWORD written = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void Check(bool passed, std::string_view name, std::string_view detail = {}) {
    if (!passed) {
        ++failures;
    }
    std::string line = passed ? "PASS " : "FAIL ";
    line += name;
    if (!detail.empty()) {
        line += ": ";
        line += detail;
    }
    Out(line + "\n");
}

void Info(std::string_view text) {
    Out("INFO " + std::string(text) + "\n");
}

std::string Shown(std::string_view text) {
    std::string shown;
    shown.reserve(text.size() + 2);
    shown += '[';
    shown += text;
    shown += ']';
    return shown;
}

std::wstring Env(const wchar_t* name) {
    wchar_t buffer[1024];
    const DWORD length = ::GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

std::wstring SmokeDir() {
    std::wstring dir = Env(kDirVariable);
    return dir.empty() ? L"C:\\tessaro-smoke" : dir;
}

std::wstring OwnPath() {
    wchar_t buffer[4096];
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, 4096);
    return std::wstring(buffer, length);
}

bool WriteBytes(const std::wstring& path, std::string_view bytes) {
    win::UniqueFileHandle file(
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    TextFilesWin files;
    return files.ReadAll(WideToUtf8(path)).bytes;
}

bool Exists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Starts a process with exactly this command line and waits for it; returns its exit code, or ~0 when it could
// not be started or did not end in time.
DWORD RunAndWait(const wchar_t* application, std::wstring commandLine, const wchar_t* mode, DWORD timeout = 20000) {
    ::SetEnvironmentVariableW(kModeVariable, mode);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(application, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &info);
    ::SetEnvironmentVariableW(kModeVariable, nullptr);
    if (!started) {
        return ~DWORD{0};
    }
    win::UniqueHandleNull process(info.hProcess);
    win::UniqueHandleNull thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), timeout) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 99);
        return ~DWORD{0};
    }
    DWORD code = ~DWORD{0};
    ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

bool WaitForFile(const std::wstring& path, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 100) {
        if (Exists(path)) {
            ::Sleep(300);  // Let the writer finish.
            return true;
        }
        ::Sleep(100);
    }
    return Exists(path);
}

void EnsureFolder(const std::wstring& path) {
    ::CreateDirectoryW(path.c_str(), nullptr);
}

// ---- child modes ---------------------------------------------------------------------------------------------

int ChildEcho() {
    StartupServicesWin startup;
    WriteBytes(SmokeDir() + L"\\echo.txt", startup.ArgumentText() + "\n" + startup.ProgramFolder());
    return 0;
}

int ChildMutex() {
    StartupServicesWin startup;
    return startup.AnotherInstanceRunning() ? 1 : 0;
}

int ChildAppend() {
    TextFilesWin files;
    auto writer = files.OpenForAppend(WideToUtf8(SmokeDir() + L"\\log.txt"));
    if (!writer) {
        return 1;
    }
    writer->WriteLine("第二个实例 追加一行");
    return 0;
}

int ChildTarget() {
    StartupServicesWin startup;
    WriteBytes(SmokeDir() + L"\\target.txt", "target-ran|" + startup.ArgumentText());
    return 0;
}

int ChildDecoy() {
    WriteBytes(SmokeDir() + L"\\decoy.txt", "decoy-ran|" + WideToUtf8(::GetCommandLineW()));
    return 0;
}

// ---- an in-process automation server with known answers --------------------------------------------------------

std::string DescribeVariant(const VARIANT& var, IDispatch* self) {
    switch (V_VT(&var)) {
        case VT_EMPTY:
            return "EMPTY";
        case VT_I4:
            return "I4:" + std::to_string(V_I4(&var));
        case VT_BOOL:
            return "BOOL:" + std::to_string(V_BOOL(&var));
        case VT_BSTR:
            return "BSTR:" + WideToUtf8(std::wstring_view(V_BSTR(&var), ::SysStringLen(V_BSTR(&var))));
        case VT_DISPATCH:
            return V_DISPATCH(&var) == nullptr ? "DISPATCH:null"
                                               : (V_DISPATCH(&var) == self ? "DISPATCH:self" : "DISPATCH:other");
        default:
            return "VT:" + std::to_string(V_VT(&var));
    }
}

HRESULT __stdcall DeferredFill(EXCEPINFO* info) {
    info->scode = E_FAIL;
    info->bstrDescription = ::SysAllocString(L"延迟填写的说明");
    return S_OK;
}

// COM objects end through Release, never through delete, so their interfaces have no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class FakeServer final : public IDispatch {
  public:
    LONG refs = 1;
    DISPID lastId = -999;
    WORD lastFlags = 0;
    UINT lastNamed = 0;
    DISPID lastNamedId = 0;
    std::string lastArgs;  // First argument first.
    std::string prop = "EMPTY";

    HRESULT __stdcall QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG __stdcall Release() override { return static_cast<ULONG>(--refs); }  // Lives on the stack.
    HRESULT __stdcall GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        static const wchar_t* const kNames[] = {L"Echo",           L"Prop",
                                                L"FailInvalidArg", L"FailWCode",
                                                L"FailDeferred",   L"Disconnected",
                                                L"Self",           L"Unknown",
                                                L"Double",         L"NullBstr",
                                                L"Null",           L"NullDispatch",
                                                L"Short",          L"FailInvalidArgNoText"};
        if (count != 1) {
            return E_INVALIDARG;
        }
        for (DISPID i = 0; i < static_cast<DISPID>(std::size(kNames)); ++i) {
            if (::lstrcmpiW(names[0], kNames[i]) == 0) {
                ids[0] = i + 1;
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }

    HRESULT __stdcall Invoke(DISPID id,
                             REFIID,
                             LCID,
                             WORD flags,
                             DISPPARAMS* params,
                             VARIANT* result,
                             EXCEPINFO* exception,
                             UINT*) override {
        lastId = id;
        lastFlags = flags;
        lastNamed = params->cNamedArgs;
        lastNamedId = params->cNamedArgs > 0 ? params->rgdispidNamedArgs[0] : 0;
        lastArgs.clear();
        for (UINT i = params->cArgs; i > 0; --i) {
            if (!lastArgs.empty()) {
                lastArgs += "|";
            }
            lastArgs += DescribeVariant(params->rgvarg[i - 1], this);
        }
        auto setText = [result](const std::string& text) {
            if (result != nullptr) {
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = ::SysAllocString(Utf8ToWide(text).c_str());
            }
        };
        switch (id) {
            case DISPID_VALUE:
                setText("default:" + lastArgs);
                return S_OK;
            case 1:
                setText(lastArgs);
                return S_OK;
            case 2:
                if ((flags & DISPATCH_PROPERTYPUT) != 0) {
                    prop = lastArgs;
                } else {
                    setText(prop);
                }
                return S_OK;
            case 3:
                exception->scode = E_INVALIDARG;
                exception->bstrDescription = ::SysAllocString(L"服务器说参数不对");
                exception->bstrSource = ::SysAllocString(L"FakeServer");
                return DISP_E_EXCEPTION;
            case 4:
                exception->wCode = 1004;
                return DISP_E_EXCEPTION;
            case 5:
                exception->pfnDeferredFillIn = DeferredFill;
                return DISP_E_EXCEPTION;
            case 6:
                return RPC_E_DISCONNECTED;
            case 7:
                AddRef();
                V_VT(result) = VT_DISPATCH;
                V_DISPATCH(result) = this;
                return S_OK;
            case 8:
                AddRef();
                V_VT(result) = VT_UNKNOWN;
                V_UNKNOWN(result) = static_cast<IUnknown*>(this);
                return S_OK;
            case 9:
                V_VT(result) = VT_R8;
                V_R8(result) = 2.5;
                return S_OK;
            case 10:
                V_VT(result) = VT_BSTR;
                V_BSTR(result) = nullptr;
                return S_OK;
            case 11:
                V_VT(result) = VT_NULL;
                return S_OK;
            case 12:
                V_VT(result) = VT_DISPATCH;
                V_DISPATCH(result) = nullptr;
                return S_OK;
            case 13:
                V_VT(result) = VT_I2;
                V_I2(result) = -7;
                return S_OK;
            case 14:
                exception->scode = E_INVALIDARG;
                return DISP_E_EXCEPTION;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }
};
#pragma GCC diagnostic pop

std::string Describe(const Result<AutomationValue>& result) {
    if (!result) {
        return "failure " + std::to_string(result.failure().number) + " " + Shown(result.failure().description);
    }
    const AutomationValue& value = result.value();
    if (std::holds_alternative<std::monostate>(value)) {
        return "empty";
    }
    if (const bool* b = std::get_if<bool>(&value)) {
        return *b ? "bool:true" : "bool:false";
    }
    if (const int32_t* i = std::get_if<int32_t>(&value)) {
        return "int:" + std::to_string(*i);
    }
    if (const std::string* s = std::get_if<std::string>(&value)) {
        return "string:" + *s;
    }
    return std::get<AutomationRef>(value) ? "object" : "object:null";
}

void CheckAutomationFake() {
    FakeServer server;
    const auto calls = std::make_shared<win::CallThread>();
    {
        AutomationObjectWin object(win::ComPtr<IDispatch>::Share(&server), calls);
        std::vector<AutomationValue> args{int32_t{5}, std::string("文本"), true, false, AutomationValue{}};
        auto echo = object.Call("Echo", args);
        Check(Describe(echo) == "string:I4:5|BSTR:文本|BOOL:-1|BOOL:0|EMPTY",
              "automation: Call passes arguments in order", Describe(echo));
        Check(server.lastFlags == (DISPATCH_METHOD | DISPATCH_PROPERTYGET) && server.lastNamed == 0,
              "automation: Call flags", std::to_string(server.lastFlags));

        auto get = object.Get("Prop");
        Check(server.lastFlags == DISPATCH_PROPERTYGET && Describe(get) == "string:EMPTY", "automation: Get flags",
              std::to_string(server.lastFlags) + " " + Describe(get));
        std::vector<AutomationValue> index{int32_t{3}};
        (void)object.Get("Prop", index);
        Check(server.lastFlags == (DISPATCH_PROPERTYGET | DISPATCH_METHOD), "automation: Get with arguments flags",
              std::to_string(server.lastFlags));

        Status put = object.Put("Prop", std::string("新值"));
        Check(put.ok() && server.lastFlags == DISPATCH_PROPERTYPUT && server.lastNamed == 1 &&
                  server.lastNamedId == DISPID_PROPERTYPUT && server.prop == "BSTR:新值",
              "automation: Put uses the DISPID_PROPERTYPUT named argument", server.prop);

        std::vector<AutomationValue> key{std::string("键")};
        auto byDefault = object.Get("", key);
        Check(server.lastId == DISPID_VALUE && Describe(byDefault) == "string:default:BSTR:键",
              "automation: empty member is DISPID_VALUE", Describe(byDefault));

        std::vector<AutomationValue> self{
            AutomationRef(std::make_shared<AutomationObjectWin>(win::ComPtr<IDispatch>::Share(&server), calls)),
            AutomationRef()};
        auto objects = object.Call("Echo", self);
        Check(Describe(objects) == "string:DISPATCH:self|DISPATCH:null", "automation: object arguments",
              Describe(objects));

        auto invalidArg = object.Call("FailInvalidArg");
        Check(!invalidArg && invalidArg.failure().number == -2147024809 &&
                  invalidArg.failure().description == "服务器说参数不对",
              "automation: EXCEPINFO scode E_INVALIDARG", Describe(invalidArg));
        auto invalidArgNoText = object.Call("FailInvalidArgNoText");
        Check(!invalidArgNoText && invalidArgNoText.failure().number == -2147024809 &&
                  !invalidArgNoText.failure().description.empty(),
              "automation: EXCEPINFO scode without description", Describe(invalidArgNoText));
        auto wCode = object.Call("FailWCode");
        Check(!wCode && wCode.failure().number == 1004 && !wCode.failure().description.empty(),
              "automation: EXCEPINFO wCode", Describe(wCode));
        auto deferred = object.Call("FailDeferred");
        Check(!deferred && deferred.failure().number == static_cast<int32_t>(E_FAIL) &&
                  deferred.failure().description == "延迟填写的说明",
              "automation: EXCEPINFO deferred fill-in", Describe(deferred));
        auto disconnected = object.Call("Disconnected");
        Check(!disconnected && disconnected.failure().number == static_cast<int32_t>(RPC_E_DISCONNECTED) &&
                  !disconnected.failure().description.empty(),
              "automation: RPC error keeps its HRESULT", Describe(disconnected));
        auto unknownName = object.Get("NoSuchMember");
        Check(!unknownName && unknownName.failure().number == static_cast<int32_t>(DISP_E_UNKNOWNNAME) &&
                  !unknownName.failure().description.empty(),
              "automation: unknown member name", Describe(unknownName));

        auto selfResult = object.Get("Self");
        bool selfOk = selfResult && std::holds_alternative<AutomationRef>(selfResult.value());
        if (selfOk) {
            auto nested = std::get<AutomationRef>(selfResult.value())->Call("Echo");
            selfOk = Describe(nested) == "string:";
        }
        Check(selfOk, "automation: VT_DISPATCH result is a usable object", Describe(selfResult));
        Check(Describe(object.Get("Unknown")) == "object", "automation: VT_UNKNOWN result becomes an object");
        Check(Describe(object.Get("Double")) == "int:2", "automation: VT_R8 2.5 result",
              Describe(object.Get("Double")));
        Check(Describe(object.Get("NullBstr")) == "string:", "automation: null BSTR result is empty text");
        Check(Describe(object.Get("Null")) == "empty", "automation: VT_NULL result is empty");
        Check(Describe(object.Get("NullDispatch")) == "empty", "automation: null VT_DISPATCH result is empty");
        Check(Describe(object.Get("Short")) == "int:-7", "automation: VT_I2 result");
    }
    Check(server.refs == 1, "automation: every reference released", "refs " + std::to_string(server.refs));
}

// ---- the driver --------------------------------------------------------------------------------------------------

void CheckArgumentsOf() {
    struct Case {
        const wchar_t* commandLine;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\"C:\\a b\\x.exe\" /log", L"/log"},
        {L"\"C:\\a b\\x.exe\"", L""},
        {L"\"C:\\a b\\x.exe\"   /log  x  ", L"/log  x  "},
        {L"\"C:\\a b\\x.exe\"/log", L"/log"},
        {L"C:\\ab\\x.exe\t /log \"q r\"", L"/log \"q r\""},
        {L"x.exe", L""},
        {L"x.exe   ", L""},
        {L"", L""},
        {L"\"unterminated a b", L""},
    };
    bool all = true;
    for (const Case& c : cases) {
        const std::wstring got = StartupServicesWin::ArgumentsOf(c.commandLine);
        if (got != c.expected) {
            all = false;
            Info("ArgumentsOf " + Shown(WideToUtf8(c.commandLine)) + " -> " + Shown(WideToUtf8(got)));
        }
    }
    Check(all, "ArgumentsOf table");
    Check(StartupServicesWin::FolderOf(L"C:\\addon\\setup.exe") == L"C:\\addon" &&
              StartupServicesWin::FolderOf(L"C:\\setup.exe") == L"C:\\" &&
              StartupServicesWin::FolderOf(L"\\\\server\\share\\setup.exe") == L"\\\\server\\share",
          "FolderOf table");
}

void CheckStartup(const std::wstring& dir) {
    const std::wstring own = OwnPath();
    const std::wstring spacedDir = dir + L"\\带 空格 dir";
    EnsureFolder(spacedDir);
    const std::wstring spacedExe = spacedDir + L"\\platform smoke.exe";
    ::CopyFileW(own.c_str(), spacedExe.c_str(), FALSE);
    const std::wstring plainDir = dir + L"\\plain";
    EnsureFolder(plainDir);
    const std::wstring plainExe = plainDir + L"\\smoke.exe";
    ::CopyFileW(own.c_str(), plainExe.c_str(), FALSE);

    struct Case {
        std::wstring exe;
        std::wstring commandLine;
        std::string arguments;
        std::wstring folder;
    };
    const Case cases[] = {
        {spacedExe, L"\"" + spacedExe + L"\" /log", "/log", spacedDir},
        {spacedExe, L"\"" + spacedExe + L"\"", "", spacedDir},
        {spacedExe, L"\"" + spacedExe + L"\"    /log   参数 x  ", "/log   参数 x  ", spacedDir},
        {spacedExe, L"\"" + spacedExe + L"\"/log", "/log", spacedDir},
        {plainExe, plainExe + L" \t /log \"a b\"", "/log \"a b\"", plainDir},
        {plainExe, plainExe, "", plainDir},
    };
    for (const Case& c : cases) {
        ::DeleteFileW((dir + L"\\echo.txt").c_str());
        const DWORD code = RunAndWait(c.exe.c_str(), c.commandLine, L"echo");
        const std::string echo = ReadBytes(dir + L"\\echo.txt");
        const size_t split = echo.find('\n');
        const std::string arguments = echo.substr(0, split);
        const std::string folder = split == std::string::npos ? std::string() : echo.substr(split + 1);
        Check(code == 0 && arguments == c.arguments && folder == WideToUtf8(c.folder),
              "ArgumentText/ProgramFolder for " + Shown(WideToUtf8(c.commandLine)),
              "args " + Shown(arguments) + " folder " + Shown(folder));
    }

    // A program in a drive's root keeps the root's backslash.
    const std::wstring rootExe = L"C:\\tessaro_smoke_root.exe";
    ::CopyFileW(own.c_str(), rootExe.c_str(), FALSE);
    ::DeleteFileW((dir + L"\\echo.txt").c_str());
    RunAndWait(rootExe.c_str(), L"\"" + rootExe + L"\"", L"echo");
    const std::string rootEcho = ReadBytes(dir + L"\\echo.txt");
    Check(rootEcho == "\nC:\\", "ProgramFolder in a drive root", Shown(rootEcho));
    ::DeleteFileW(rootExe.c_str());

    // The growing buffer, started far too small.
    const std::wstring grown = StartupServicesWin::ModuleFileName(4);
    Check(grown == own, "ModuleFileName grows its buffer", WideToUtf8(grown));

    // A program path longer than MAX_PATH.
    std::wstring deep = L"\\\\?\\" + dir;
    std::wstring deepPlain = dir;
    for (int i = 0; i < 6; ++i) {
        const std::wstring part = L"\\long folder name number " + std::to_wstring(i) + L" ....................";
        deep += part;
        deepPlain += part;
        ::CreateDirectoryW(deep.c_str(), nullptr);
    }
    const std::wstring deepExe = deep + L"\\platform smoke.exe";
    ::CopyFileW(own.c_str(), deepExe.c_str(), FALSE);
    ::DeleteFileW((dir + L"\\echo.txt").c_str());
    const std::wstring deepCommand = L"\"" + deepPlain + L"\\platform smoke.exe\" x";
    DWORD deepCode = RunAndWait(deepExe.c_str(), deepCommand, L"echo");
    if (deepCode != 0) {
        deepCode = RunAndWait((deepPlain + L"\\platform smoke.exe").c_str(), deepCommand, L"echo");
    }
    if (deepCode != 0) {
        deepCode = RunAndWait(nullptr, deepCommand, L"echo");
    }
    const std::string deepEcho = ReadBytes(dir + L"\\echo.txt");
    Info("long path (" + std::to_string(deepPlain.size() + 19) + " chars) exit " + std::to_string(deepCode) +
         ", echo " + Shown(deepEcho));
    if (deepCode == 0) {
        const std::string folder = deepEcho.substr(deepEcho.find('\n') + 1);
        Check(folder == WideToUtf8(deepPlain) || folder == WideToUtf8(deep), "ProgramFolder longer than MAX_PATH",
              std::to_string(folder.size()) + " bytes");
    }
}

void CheckMutex() {
    const std::wstring own = OwnPath();
    {
        StartupServicesWin startup;
        const bool first = startup.AnotherInstanceRunning();
        Check(!first, "AnotherInstanceRunning: first instance says false");
        const DWORD child = RunAndWait(own.c_str(), L"\"" + own + L"\"", L"mutex");
        Check(child == 1, "AnotherInstanceRunning: second process says true", "exit " + std::to_string(child));
        Check(!startup.AnotherInstanceRunning(), "AnotherInstanceRunning: first instance still says false");
    }
    const DWORD after = RunAndWait(own.c_str(), L"\"" + own + L"\"", L"mutex");
    Check(after == 0, "AnotherInstanceRunning: false again once the first instance let go",
          "exit " + std::to_string(after));
}

void CheckTextFiles(const std::wstring& dir) {
    TextFilesWin files;
    const std::string content("abc\0def\r\n\xb0\xb2\xd7\xb0", 13);
    WriteBytes(dir + L"\\data.bin", content);
    FileBytes read = files.ReadAll(WideToUtf8(dir + L"\\data.bin"));
    Check(read.status == ReadStatus::Ok && read.bytes == content, "ReadAll: whole file with NUL byte",
          std::to_string(read.bytes.size()) + " bytes");
    WriteBytes(dir + L"\\empty.txt", "");
    read = files.ReadAll(WideToUtf8(dir + L"\\empty.txt"));
    Check(read.status == ReadStatus::Ok && read.bytes.empty(), "ReadAll: empty file");
    Check(files.ReadAll(WideToUtf8(dir + L"\\missing.txt")).status == ReadStatus::NotFound,
          "ReadAll: missing file is NotFound");
    Check(files.ReadAll(WideToUtf8(dir + L"\\no folder\\missing.txt")).status == ReadStatus::NotFound,
          "ReadAll: missing folder is NotFound");
    Check(files.ReadAll(WideToUtf8(dir)).status == ReadStatus::Failed, "ReadAll: a folder is Failed");
    {
        win::UniqueFileHandle locked(::CreateFileW((dir + L"\\data.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        Check(files.ReadAll(WideToUtf8(dir + L"\\data.bin")).status == ReadStatus::Failed,
              "ReadAll: a file locked by another handle is Failed");
    }
    {
        win::UniqueFileHandle big(::CreateFileW((dir + L"\\big.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        size.QuadPart = 65LL * 1024 * 1024;
        ::SetFilePointerEx(big.Get(), size, nullptr, FILE_BEGIN);
        ::SetEndOfFile(big.Get());
    }
    read = files.ReadAll(WideToUtf8(dir + L"\\big.bin"));
    Check(read.status == ReadStatus::Failed && read.bytes.empty(), "ReadAll: 65 MiB file is Failed");
    ::DeleteFileW((dir + L"\\big.bin").c_str());

    Info("ANSI code page " + std::to_string(::GetACP()));
    const std::string converted = files.AnsiToUtf8(std::string_view("\xb0\xb2\xd7\xb0\0x", 6));
    Check(converted == std::string("安装\0x", 8), "AnsiToUtf8 (cp936, NUL kept)", Shown(converted));

    // The log: the first writer keeps the file open while a second process appends to it.
    const std::wstring log = dir + L"\\log.txt";
    ::DeleteFileW(log.c_str());
    {
        auto writer = files.OpenForAppend(WideToUtf8(log));
        Check(writer != nullptr, "OpenForAppend creates the file");
        if (writer) {
            writer->WriteLine("第一行 安装开始 CorelDRAW X3");
            const DWORD child = RunAndWait(OwnPath().c_str(), L"\"" + OwnPath() + L"\"", L"append");
            Check(child == 0, "OpenForAppend: a second process appends while the first holds the file",
                  "exit " + std::to_string(child));
            writer->WriteLine("第三行 ✓ 无法映射");
            writer->WriteLine("");
        }
    }
    {
        auto again = files.OpenForAppend(WideToUtf8(log));
        if (again) {
            again->WriteLine("第四行 reopened");
        }
    }
    const std::string expected = win::WideToAnsi(
        L"第一行 安装开始 CorelDRAW X3\r\n第二个实例 追加一行\r\n第三行 ? "
        L"无法映射\r\n\r\n第四行 reopened\r\n");
    const std::string logBytes = ReadBytes(log);
    Check(logBytes == expected, "log lines in the ANSI code page with CR LF",
          std::to_string(logBytes.size()) + " bytes");
    Check(files.OpenForAppend(WideToUtf8(dir)) == nullptr, "OpenForAppend on a folder is nullptr");
    Check(files.OpenForAppend(WideToUtf8(dir + L"\\no folder\\x.log")) == nullptr,
          "OpenForAppend in a missing folder is nullptr");
}

void CheckClock() {
    ClockWin clock;
    const std::string stamp = clock.LocalTimestamp();
    Out("TIMESTAMP " + stamp + "\n");
    Check(!stamp.empty() && std::count(stamp.begin(), stamp.end(), ' ') >= 1, "LocalTimestamp", Shown(stamp));
}

void CheckFileServices(const std::wstring& dir) {
    FileServicesWin services;
    const std::string source = WideToUtf8(dir + L"\\源文件.txt");
    const std::string target = WideToUtf8(dir + L"\\目标.txt");
    WriteBytes(Utf8ToWide(source), "new content");
    WriteBytes(Utf8ToWide(target), "old and longer content");
    Check(services.PathExists(source).value(), "PathExists: file");
    Check(services.PathExists(WideToUtf8(dir)).value(), "PathExists: folder");
    Check(!services.PathExists(WideToUtf8(dir + L"\\nothing here")).value(), "PathExists: missing");

    auto copied = services.CopyReplacing(source, target);
    Check(copied.ok() && copied.value() && ReadBytes(Utf8ToWide(target)) == "new content",
          "CopyReplacing replaces the target", Shown(ReadBytes(Utf8ToWide(target))));
    auto missing = services.CopyReplacing(WideToUtf8(dir + L"\\nothing.txt"), target);
    Check(missing.ok() && !missing.value(), "CopyReplacing from a missing source is false",
          "error " + std::to_string(services.LastRefusalCode()));

    // What CopyFileW refuses to replace is refused here too, whatever the system's rename would allow, and the old
    // content stays; RemoveFile clears the same attributes, and puts them back when the deletion fails.
    const struct {
        DWORD attributes;
        const char* name;
    } kProtected[] = {{FILE_ATTRIBUTE_READONLY, "read-only"},
                      {FILE_ATTRIBUTE_HIDDEN, "hidden"},
                      {FILE_ATTRIBUTE_SYSTEM, "system"},
                      {FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, "read-only hidden"}};
    const std::wstring wideTarget = Utf8ToWide(target);
    for (const auto& kind : kProtected) {
        WriteBytes(wideTarget, "kept");
        ::SetFileAttributesW(wideTarget.c_str(), kind.attributes);
        WriteBytes(Utf8ToWide(source), "refused content");
        auto refused = services.CopyReplacing(source, target);
        const DWORD after = ::GetFileAttributesW(wideTarget.c_str());
        ::SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_NORMAL);
        Check(refused.ok() && !refused.value() && services.LastRefusalCode() == ERROR_ACCESS_DENIED &&
                  services.LastRefusal() == Refusal::Other && ReadBytes(wideTarget) == "kept" &&
                  (after & kind.attributes) == kind.attributes,
              std::string("CopyReplacing refuses a ") + kind.name + " target and keeps it",
              "error " + std::to_string(services.LastRefusalCode()) + ", content " + Shown(ReadBytes(wideTarget)));
    }
    // A file of the temporary name that is not ours survives a copy; the copy takes another name.
    const std::wstring strangers = dir + L"\\~tessaro-" + std::to_wstring(::GetCurrentProcessId());
    for (int n = 1; n <= 40; ++n) {
        WriteBytes(strangers + L"-" + std::to_wstring(n) + L".tmp", "not ours");
    }
    WriteBytes(Utf8ToWide(source), "third content");
    auto beside = services.CopyReplacing(source, target);
    int strangersKept = 0;
    for (int n = 1; n <= 40; ++n) {
        const std::wstring name = strangers + L"-" + std::to_wstring(n) + L".tmp";
        strangersKept += ReadBytes(name) == "not ours" ? 1 : 0;
        ::DeleteFileW(name.c_str());
    }
    Check(strangersKept == 40, "CopyReplacing leaves other files of its temporary names alone",
          std::to_string(strangersKept) + " of 40 kept, copy " + (beside.value() ? "done" : "refused"));
    WriteBytes(wideTarget, "locked");
    ::SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    {
        // Held open without delete sharing, the file cannot go; it keeps its attributes.
        win::UniqueFileHandle holder(::CreateFileW(wideTarget.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        auto removed = services.RemoveFile(target);
        const DWORD kept = ::GetFileAttributesW(wideTarget.c_str());
        Check(holder && removed.ok() && !removed.value() &&
                  (kept & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) ==
                      (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              "RemoveFile of an open read-only hidden file fails and restores its attributes",
              "attributes " + std::to_string(kept));
    }
    const std::string withNul = target + std::string("\0junk", 5);
    Check(!services.PathExists(withNul).value() && !services.IsRegularFile(withNul).value() &&
              !services.RemoveFile(withNul).value() && Exists(wideTarget),
          "a name holding a NUL names no file, not the shorter one");
    Check(services.IsRegularFile(target).value() && !services.IsRegularFile(WideToUtf8(dir)).value() &&
              !services.IsRegularFile(WideToUtf8(dir) + "\\NUL").value() &&
              !services.IsRegularFile(WideToUtf8(dir) + "\\com1.gms").value(),
          "IsRegularFile: a file yes; a folder, NUL and COM1 no");
    ::SetFileAttributesW(wideTarget.c_str(), FILE_ATTRIBUTE_NORMAL);
    Check(services.CopyReplacing(source, target).value() && ReadBytes(wideTarget) == "third content",
          "CopyReplacing onto a plain file again");
    Check(services.RemoveFile(target).value() && !Exists(Utf8ToWide(target)), "RemoveFile removes");
    Check(!services.RemoveFile(target).value(), "RemoveFile of a missing file is false",
          "error " + std::to_string(services.LastRefusalCode()));
}

void CheckStartProgram(const std::wstring& dir) {
    const std::wstring own = OwnPath();
    const std::wstring programFiles = dir + L"\\Program Files";
    const std::wstring startDir = programFiles + L"\\start dir";
    EnsureFolder(programFiles);
    EnsureFolder(startDir);
    const std::wstring targetExe = startDir + L"\\start target.exe";
    const std::wstring decoyExe = dir + L"\\Program.exe";
    ::CopyFileW(own.c_str(), targetExe.c_str(), FALSE);
    ::CopyFileW(own.c_str(), decoyExe.c_str(), FALSE);
    const std::wstring targetMarker = dir + L"\\target.txt";
    const std::wstring decoyMarker = dir + L"\\decoy.txt";

    // Control: an unquoted command line without an application name does start the decoy on this system.
    ::DeleteFileW(decoyMarker.c_str());
    ::DeleteFileW(targetMarker.c_str());
    RunAndWait(nullptr, targetExe + L" /x", L"");
    const bool trapWorks = Exists(decoyMarker);
    Info(std::string("control: unquoted CreateProcessW(NULL, ...) started the decoy: ") + (trapWorks ? "yes" : "no") +
         (trapWorks ? " " + Shown(ReadBytes(decoyMarker)) : ""));

    ::DeleteFileW(decoyMarker.c_str());
    ::DeleteFileW(targetMarker.c_str());
    FileServicesWin services;
    Status started = services.StartProgram(WideToUtf8(targetExe), " /log 参数");
    const bool ran = started.ok() && WaitForFile(targetMarker, 15000);
    const std::string marker = ReadBytes(targetMarker);
    Check(ran && marker == "target-ran|/log 参数", "StartProgram starts the program in a folder with blanks",
          Shown(marker));
    ::Sleep(500);
    Check(!Exists(decoyMarker), "StartProgram does not start the decoy Program.exe");

    ::DeleteFileW(targetMarker.c_str());
    Status noArgs = services.StartProgram(WideToUtf8(targetExe), "");
    Check(noArgs.ok() && WaitForFile(targetMarker, 15000) && ReadBytes(targetMarker) == "target-ran|",
          "StartProgram without arguments", Shown(ReadBytes(targetMarker)));

    Status missing = services.StartProgram(WideToUtf8(dir + L"\\no such program.exe"), "");
    Check(!missing.ok() && missing.failure().number == -2147024894 && !missing.failure().description.empty(),
          "StartProgram of a missing program fails",
          missing.ok() ? "ok?" : std::to_string(missing.failure().number) + " " + Shown(missing.failure().description));
}

void CheckProcesses() {
    ProcessServicesWin processes;
    auto snapshot = processes.Snapshot();
    const DWORD ownId = ::GetCurrentProcessId();
    bool foundSelf = false;
    std::string names;
    for (const ProcessEntry& entry : snapshot.value()) {
        names += " " + entry.exeName + "(" + std::to_string(entry.processId) + ")";
        if (entry.processId == ownId && entry.exeName == "platform_smoke.exe") {
            foundSelf = true;
        }
    }
    Info("processes:" + names);
    Check(snapshot.value().size() >= 3 && foundSelf, "Snapshot lists the running processes, this one included",
          std::to_string(snapshot.value().size()) + " processes");

    // A sleeping child: it shows up, and Terminate ends it with exit code 0.
    const std::wstring own = OwnPath();
    ::SetEnvironmentVariableW(kModeVariable, L"sleep");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + own + L"\"";
    const BOOL created = ::CreateProcessW(own.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &info);
    ::SetEnvironmentVariableW(kModeVariable, nullptr);
    if (!created) {
        Check(false, "Terminate: could not start the child");
        return;
    }
    win::UniqueHandleNull process(info.hProcess);
    win::UniqueHandleNull thread(info.hThread);
    ::Sleep(500);
    auto again = processes.Snapshot();
    const bool listed = std::any_of(again.value().begin(), again.value().end(),
                                    [&](const ProcessEntry& e) { return e.processId == info.dwProcessId; });
    Check(listed, "Snapshot lists a new child");
    processes.Terminate(info.dwProcessId);
    const bool ended = ::WaitForSingleObject(process.Get(), 10000) == WAIT_OBJECT_0;
    DWORD code = 12345;
    ::GetExitCodeProcess(process.Get(), &code);
    Check(ended && code == 0, "Terminate ends the process with exit code 0", "exit " + std::to_string(code));
    processes.Terminate(0xFFFFFFF0u);  // No such process: nothing happens.
}

void CheckAutomationServices() {
    AutomationServicesWin automation;
    auto none = automation.CreateObject("No.Such.ProgId");
    Check(!none && none.failure().number == 429 && none.failure().description == "ActiveX 部件不能创建对象",
          "CreateObject of an unregistered ProgID is 429",
          none ? "ok?" : Describe(Result<AutomationValue>(none.failure())));

    auto created = automation.CreateObject("Scripting.Dictionary");
    Check(created.ok(), "CreateObject(Scripting.Dictionary)",
          created ? "" : Describe(Result<AutomationValue>(created.failure())));
    if (!created) {
        return;
    }
    AutomationRef dictionary = created.value();
    Check(dictionary->Put("CompareMode", int32_t{1}).ok(), "Dictionary: Put CompareMode");
    std::vector<AutomationValue> add{std::string("键"), std::string("值一")};
    auto added = dictionary->Call("Add", add);
    Check(added.ok(), "Dictionary: Call Add", Describe(added));
    Check(Describe(dictionary->Get("Count")) == "int:1", "Dictionary: Get Count", Describe(dictionary->Get("Count")));
    std::vector<AutomationValue> key{std::string("鍵")};
    std::vector<AutomationValue> sameKey{std::string("键")};
    Check(Describe(dictionary->Get("Item", sameKey)) == "string:值一", "Dictionary: Get Item with an argument",
          Describe(dictionary->Get("Item", sameKey)));
    Check(Describe(dictionary->Get("", sameKey)) == "string:值一", "Dictionary: default member",
          Describe(dictionary->Get("", sameKey)));
    Check(Describe(dictionary->Call("Exists", key)) == "bool:false", "Dictionary: Call Exists",
          Describe(dictionary->Call("Exists", key)));
    auto duplicate = dictionary->Call("Add", add);
    Info("Dictionary: duplicate Add -> " + Describe(duplicate));
    Check(!duplicate, "Dictionary: duplicate Add fails");
    auto unknown = dictionary->Get("NoSuchMember");
    Check(!unknown && unknown.failure().number == static_cast<int32_t>(DISP_E_UNKNOWNNAME),
          "Dictionary: unknown member", Describe(unknown));
}

// Watches for the smoke test's message box, notes what it shows and answers it the way the case says.
struct BoxPresser {
    UINT button;  // 0: close the box instead of pressing a button.
    bool sawOk = false;
    bool sawCancel = false;
    HICON icon = nullptr;
    UINT defaultId = 0;
};

DWORD WINAPI PressBoxButton(void* param) {
    auto* p = static_cast<BoxPresser*>(param);
    for (int i = 0; i < 100; ++i) {
        HWND box = ::FindWindowW(L"#32770", L"冒烟测试");
        if (box != nullptr) {
            p->sawOk = ::GetDlgItem(box, IDOK) != nullptr;
            p->sawCancel = ::GetDlgItem(box, IDCANCEL) != nullptr;
            p->defaultId = LOWORD(::SendMessageW(box, DM_GETDEFID, 0, 0));
            // The icon control is 20 on Windows and 1088 on Wine.
            for (int iconId : {20, 1088}) {
                if (HWND icon = ::GetDlgItem(box, iconId)) {
                    p->icon = reinterpret_cast<HICON>(::SendMessageW(icon, STM_GETICON, 0, 0));
                }
            }
            if (p->button == 0) {
                ::PostMessageW(box, WM_CLOSE, 0, 0);
            } else {
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(p->button, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, static_cast<int>(p->button))));
            }
            return 0;
        }
        ::Sleep(100);
    }
    return 1;
}

void CheckDialogs() {
    struct Case {
        MessageKind kind;
        UINT button;  // What the helper thread presses.
        DialogReply expected;
        LPCWSTR icon;  // The shared system icon the box should show.
    };
    const Case cases[] = {
        {MessageKind::Confirmation, IDOK, DialogReply::Ok, IDI_WARNING},
        {MessageKind::Confirmation, IDCANCEL, DialogReply::Cancel, IDI_WARNING},
        {MessageKind::Confirmation, 0, DialogReply::Cancel, IDI_WARNING},  // 0: closed with WM_CLOSE
        {MessageKind::Success, IDOK, DialogReply::Ok, IDI_INFORMATION},
        {MessageKind::Error, IDOK, DialogReply::Ok, IDI_ERROR},
    };
    DialogsWin dialogs;
    for (const Case& c : cases) {
        BoxPresser presser{c.button};
        win::UniqueHandleNull thread(::CreateThread(nullptr, 0, PressBoxButton, &presser, 0, nullptr));
        const DialogReply reply = dialogs.ShowMessage("要继续安装吗？", "冒烟测试", c.kind);
        ::WaitForSingleObject(thread.Get(), 15000);
        const bool wantCancel = c.kind == MessageKind::Confirmation;
        const bool iconOk = presser.icon != nullptr && presser.icon == ::LoadIconW(nullptr, c.icon);
        Check(reply == c.expected && presser.sawOk && presser.sawCancel == wantCancel && iconOk &&
                  presser.defaultId == IDOK,
              "ShowMessage kind " + std::to_string(static_cast<int>(c.kind)) + " button " + std::to_string(c.button),
              std::string(reply == DialogReply::Ok ? "Ok" : "Cancel") + (presser.sawCancel ? ", has Cancel" : ""));
    }
}

// Against the CorelDRAW stand-in (tools/corel_standin): a real out-of-process server, registered here, told by its
// ini file how to answer.
void CheckStandin(const std::wstring& standinExe) {
    const std::wstring standinDir = standinExe.substr(0, standinExe.rfind(L'\\'));
    const std::wstring ini = standinDir + L"\\CorelDRW.ini";
    const std::wstring journal = standinDir + L"\\CorelDRW.journal";
    const DWORD registered = RunAndWait(standinExe.c_str(), L"\"" + standinExe + L"\" /RegServer", L"");
    Check(registered == 0, "stand-in: /RegServer", "exit " + std::to_string(registered));
    AutomationServicesWin automation;
    const std::string progId = "CorelDRAW.Application.13";

    WriteBytes(ini,
               "CommandBars=Standard|Toolbox\r\nFail.UserDataPath=5\r\nFailText.UserDataPath=拒绝访问用户数据\r\n");
    ::DeleteFileW(journal.c_str());
    {
        auto created = automation.CreateObject(progId);
        Check(created.ok(), "stand-in: CreateObject",
              created ? "" : Describe(Result<AutomationValue>(created.failure())));
        if (created) {
            AutomationRef corel = created.value();
            Check(Describe(corel->Get("Visible")) == "bool:false", "stand-in: Get Visible",
                  Describe(corel->Get("Visible")));
            Check(corel->Put("Visible", true).ok() && Describe(corel->Get("visible")) == "bool:true",
                  "stand-in: Put Visible");
            std::vector<AutomationValue> missing{std::string("NoSuchBar")};
            auto notFound = corel->Get("CommandBars", missing);
            Check(!notFound && notFound.failure().number == -2147024809 &&
                      notFound.failure().description == "找不到命令栏“NoSuchBar”",
                  "stand-in: EXCEPINFO E_INVALIDARG", Describe(notFound));
            auto failed = corel->Get("UserDataPath");
            Check(!failed && failed.failure().number == 5 && failed.failure().description == "拒绝访问用户数据",
                  "stand-in: EXCEPINFO scode 5 with text", Describe(failed));
            auto bars = corel->Get("CommandBars");
            std::string name = "?";
            if (bars && std::holds_alternative<AutomationRef>(bars.value())) {
                std::vector<AutomationValue> key{std::string("toolbox")};
                auto bar = std::get<AutomationRef>(bars.value())->Get("", key);
                if (bar && std::holds_alternative<AutomationRef>(bar.value())) {
                    name = Describe(std::get<AutomationRef>(bar.value())->Get("Name"));
                }
            }
            Check(name == "string:Toolbox", "stand-in: CommandBars default member, then Name", name);
            std::vector<AutomationValue> workspace{std::string("C:\\带 空格\\my.cdws")};
            Check(corel->Call("ImportWorkspace", workspace).ok(), "stand-in: Call ImportWorkspace");
            auto bogus = corel->Get("Bogus");
            Check(!bogus && bogus.failure().number == static_cast<int32_t>(DISP_E_UNKNOWNNAME),
                  "stand-in: unknown name", Describe(bogus));
            Check(corel->Call("Quit").ok(), "stand-in: Call Quit");
        }
    }
    ::Sleep(1000);
    const std::string lines = ReadBytes(journal);
    Check(lines.find("ImportWorkspace C:\\带 空格\\my.cdws\r\n") != std::string::npos &&
              lines.find("Visible=True\r\n") != std::string::npos &&
              lines.find("CommandBars(toolbox).Name\r\n") != std::string::npos,
          "stand-in: journal shows the calls as made");
    Info("stand-in journal: " + Shown(lines));

    WriteBytes(ini, "NoDispatch=1\r\n");
    auto noDispatch = automation.CreateObject(progId);
    Check(!noDispatch && noDispatch.failure().number == 430 &&
              noDispatch.failure().description == "类不支持自动化或不支持期望的接口",
          "stand-in: no IDispatch is 430",
          noDispatch ? "ok?" : Describe(Result<AutomationValue>(noDispatch.failure())));
    ::Sleep(1000);

    WriteBytes(ini, "DieOn=Path\r\n");
    {
        auto created = automation.CreateObject(progId);
        if (created) {
            AutomationRef corel = created.value();
            auto died = corel->Get("Path");
            Check(!died && died.failure().number == static_cast<int32_t>(0x800706BE) &&
                      !died.failure().description.empty(),
                  "stand-in: the call during which the server dies", Describe(died));
            auto gone = corel->Get("Visible");
            Check(!gone && gone.failure().number == static_cast<int32_t>(0x800706BA) &&
                      !gone.failure().description.empty(),
                  "stand-in: a call to a dead server", Describe(gone));
        } else {
            Check(false, "stand-in: CreateObject for DieOn", Describe(Result<AutomationValue>(created.failure())));
        }
    }
    ::DeleteFileW(ini.c_str());
    RunAndWait(standinExe.c_str(), L"\"" + standinExe + L"\" /UnregServer", L"");
}

int Driver() {
    const std::wstring dir = SmokeDir();
    EnsureFolder(dir);
    ::SetEnvironmentVariableW(kDirVariable, dir.c_str());
    Info("running in " + WideToUtf8(dir) + " as " + WideToUtf8(OwnPath()));

    win::ComInit com;
    Check(com.Succeeded(), "ComInit");
    CheckArgumentsOf();
    CheckStartup(dir);
    CheckMutex();
    CheckTextFiles(dir);
    CheckClock();
    CheckFileServices(dir);
    CheckStartProgram(dir);
    CheckProcesses();
    CheckAutomationFake();
    CheckAutomationServices();
    if (const std::wstring standin = Env(L"TESSARO_SMOKE_STANDIN"); !standin.empty()) {
        CheckStandin(standin);
    }
    if (!Env(L"TESSARO_SMOKE_DIALOGS").empty()) {
        CheckDialogs();
    }
    Out("DONE failures=" + std::to_string(failures) + "\n");
    return failures;
}

}  // namespace

int main() {
    const std::wstring own = OwnPath();
    const std::wstring name = own.substr(own.rfind(L'\\') + 1);
    if (::lstrcmpiW(name.c_str(), L"Program.exe") == 0) {
        return ChildDecoy();
    }
    if (::lstrcmpiW(name.c_str(), L"start target.exe") == 0) {
        return ChildTarget();
    }
    const std::wstring mode = Env(kModeVariable);
    if (mode == L"echo") {
        return ChildEcho();
    }
    if (mode == L"mutex") {
        return ChildMutex();
    }
    if (mode == L"append") {
        return ChildAppend();
    }
    if (mode == L"sleep") {
        ::Sleep(60000);
        return 7;
    }
    return Driver();
}
