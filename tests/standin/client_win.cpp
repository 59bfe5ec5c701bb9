// CorelStandinClient.exe: drives the CorelDRAW stand-in (or anything registered as CorelDRAW.Application.13) the
// way a late-bound client does, and prints what came back.
//
// Each argument is one step, run in order (an argument "@file" runs the UTF-8 lines of that file instead):
//   create                      CLSIDFromProgID + CoCreateInstance(CLSCTX_LOCAL_SERVER, IID_IDispatch)
//   release                     drops the application object
//   <path>                      reads a member path from the application object, e.g. GMSManager.GMSPath
//   <path>=<value>              puts the last member, e.g. Visible=false
//   sleep:<ms>                  waits
//   running:<exe name>          tells whether a process of that name runs
//   waitgone:<exe name>:<ms>    waits up to <ms> for every process of that name to end
//   window:<title>              tells whether a top-level window has that title (waiting up to 10 s), and whose
//                               it is
//   close:<title>               asks the top-level window of that title to close (WM_CLOSE)
// A path is segments joined by "."; "Name(arg)" passes arg to Name in the same call, "Name[arg]" reads Name and
// then its default member with arg, "Name()" calls without arguments. "#12" is the number 12, anything else text.

#include <windows.h>

#include <ole2.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "raii_win.h"

namespace {

constexpr DWORD kWindowWaitMs = 10000;

using corel_standin::ComApartment;
using corel_standin::ComPtr;
using corel_standin::Narrow;
using corel_standin::UniqueBstr;
using corel_standin::UniqueHandle;
using corel_standin::UniqueVariant;
using corel_standin::Widen;

void Print(std::string_view text) {
    std::string line(text);
    line += "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::string Hex(HRESULT hr) {
    char text[16];
    wsprintfA(text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string FromBstr(BSTR text) {
    return text == nullptr ? std::string() : Narrow(std::wstring_view(text, SysStringLen(text)));
}

// One argument as typed: "#12" is a number, anything else text.
struct Argument {
    bool isNumber = false;
    LONG number = 0;
    std::wstring text;
};

struct Segment {
    std::wstring name;                    // empty: the default member
    std::vector<Argument> arguments;      // passed in the same call
    std::optional<Argument> defaultItem;  // Name[arg]: a second call on the result's default member
};

Argument ParseArgument(std::wstring_view text) {
    Argument argument;
    if (text.size() > 1 && text[0] == L'#') {
        argument.isNumber = true;
        argument.number = std::stol(std::wstring(text.substr(1)));
    } else {
        argument.text = text;
    }
    return argument;
}

// Splits "A.B(x.y).C[z]" at the dots that are not inside brackets.
std::vector<Segment> ParsePath(std::wstring_view path) {
    std::vector<Segment> segments;
    size_t start = 0;
    int depth = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && (path[i] == L'(' || path[i] == L'[')) {
            ++depth;
        } else if (i < path.size() && (path[i] == L')' || path[i] == L']')) {
            --depth;
        } else if (i == path.size() || (path[i] == L'.' && depth == 0)) {
            std::wstring_view part = path.substr(start, i - start);
            Segment segment;
            const size_t open = part.find_first_of(L"([");
            segment.name = part.substr(0, open);
            if (open != std::wstring_view::npos && part.size() >= open + 2) {
                const std::wstring_view inner = part.substr(open + 1, part.size() - open - 2);
                if (part[open] == L'[') {
                    segment.defaultItem = ParseArgument(inner);
                } else if (!inner.empty()) {
                    segment.arguments.push_back(ParseArgument(inner));
                }
            }
            segments.push_back(std::move(segment));
            start = i + 1;
        }
    }
    return segments;
}

std::string Describe(const VARIANT& value) {
    switch (value.vt) {
        case VT_EMPTY:
            return "<empty>";
        case VT_BSTR: {
            // Appended piecewise: GCC 12 warns falsely about a literal + std::string here.
            std::string text(1, '"');
            text += FromBstr(value.bstrVal);
            text += '"';
            return text;
        }
        case VT_BOOL:
            return value.boolVal != VARIANT_FALSE ? "True" : "False";
        case VT_I4:
            return std::to_string(value.lVal);
        case VT_I2:
            return std::to_string(value.iVal);
        case VT_DISPATCH:
            return value.pdispVal == nullptr ? "<Nothing>" : "<object>";
        default:
            return "<vt " + std::to_string(value.vt) + ">";
    }
}

// A call that failed: the HRESULT, and for DISP_E_EXCEPTION what the server put into EXCEPINFO.
std::string DescribeFailure(const char* step, HRESULT hr, EXCEPINFO& exception) {
    std::string text = std::string("! ") + step + " hr=" + Hex(hr);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        text += " wCode=" + std::to_string(exception.wCode) + " scode=" + Hex(exception.scode) + " (" +
                std::to_string(static_cast<long>(exception.scode)) + ") source=\"" + FromBstr(exception.bstrSource) +
                "\" description=\"" + FromBstr(exception.bstrDescription) + "\"";
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception = EXCEPINFO{};
    return text;
}

class Client {
  public:
    void Run(std::wstring_view step) {
        const auto started = std::chrono::steady_clock::now();
        Print("> " + Narrow(step));
        const std::string outcome = Step(step);
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
        Print("  " + outcome + "  (" + std::to_string(elapsed.count()) + " ms)");
    }

  private:
    std::string Step(std::wstring_view step) {
        if (step == L"create") {
            return Create();
        }
        if (step == L"release") {
            application_.Reset();
            return "released";
        }
        if (step.starts_with(L"sleep:")) {
            Sleep(static_cast<DWORD>(std::stoul(std::wstring(step.substr(6)))));
            return "slept";
        }
        if (step.starts_with(L"running:")) {
            const auto process = FindProcess(step.substr(8));
            return process ? "running, pid " + std::to_string(*process) : "not running";
        }
        if (step.starts_with(L"waitgone:")) {
            const std::wstring_view rest = step.substr(9);
            const size_t colon = rest.rfind(L':');
            const std::wstring_view name = rest.substr(0, colon);
            const DWORD limit = static_cast<DWORD>(std::stoul(std::wstring(rest.substr(colon + 1))));
            const DWORD started = GetTickCount();
            while (FindProcess(name)) {
                if (GetTickCount() - started > limit) {
                    return "still running";
                }
                Sleep(50);
            }
            return "gone";
        }
        if (step.starts_with(L"window:")) {
            // A program just started may take a while to show its window under Wine.
            const std::wstring title(step.substr(7));
            HWND window = FindWindowW(nullptr, title.c_str());
            for (DWORD started = GetTickCount(); window == nullptr && GetTickCount() - started < kWindowWaitMs;) {
                Sleep(100);
                window = FindWindowW(nullptr, title.c_str());
            }
            if (window == nullptr) {
                return "no window";
            }
            DWORD processId = 0;
            GetWindowThreadProcessId(window, &processId);
            return std::string(IsWindowVisible(window) ? "visible" : "hidden") + " window, pid " +
                   std::to_string(processId) + " (" + ProcessName(processId) + ")";
        }
        if (step.starts_with(L"close:")) {
            const HWND window = FindWindowW(nullptr, std::wstring(step.substr(6)).c_str());
            return window != nullptr && PostMessageW(window, WM_CLOSE, 0, 0) ? "close posted" : "no window";
        }
        if (!application_) {
            return "! no application object";
        }
        const size_t equals = FindTopLevel(step, L'=');
        if (equals != std::wstring_view::npos) {
            return Evaluate(step.substr(0, equals), ParseArgument(step.substr(equals + 1)));
        }
        return Evaluate(step, std::nullopt);
    }

    std::string Create() {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(L"CorelDRAW.Application.13", &clsid);
        if (FAILED(hr)) {
            return "! CLSIDFromProgID hr=" + Hex(hr);
        }
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, application_.ReceiveVoid());
        if (FAILED(hr)) {
            return "! CoCreateInstance hr=" + Hex(hr);
        }
        return "created";
    }

    static size_t FindTopLevel(std::wstring_view text, wchar_t wanted) {
        int depth = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'(' || text[i] == L'[') {
                ++depth;
            } else if (text[i] == L')' || text[i] == L']') {
                --depth;
            } else if (text[i] == wanted && depth == 0) {
                return i;
            }
        }
        return std::wstring_view::npos;
    }

    static void ToVariant(const Argument& argument, VARIANT& out) {
        VariantInit(&out);
        if (argument.isNumber) {
            out.vt = VT_I4;
            out.lVal = argument.number;
        } else {
            out.vt = VT_BSTR;
            out.bstrVal = UniqueBstr(argument.text).Detach();
        }
    }

    // One IDispatch::Invoke; `failure` receives the printable outcome when it fails.
    static bool Call(IDispatch* object,
                     const std::wstring& name,
                     WORD flags,
                     const std::vector<Argument>& arguments,
                     VARIANT* result,
                     std::string& failure) {
        DISPID id = DISPID_VALUE;
        if (!name.empty()) {
            LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
            const HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
            if (FAILED(hr)) {
                failure = "! GetIDsOfNames(" + Narrow(name) + ") hr=" + Hex(hr);
                return false;
            }
        }
        // COM wants the arguments last first.
        std::vector<VARIANT> values(arguments.size());
        for (size_t i = 0; i < arguments.size(); ++i) {
            ToVariant(arguments[i], values[arguments.size() - 1 - i]);
        }
        DISPID putId = DISPID_PROPERTYPUT;
        DISPPARAMS params{values.data(), nullptr, static_cast<UINT>(values.size()), 0};
        if (flags == DISPATCH_PROPERTYPUT) {
            params.rgdispidNamedArgs = &putId;
            params.cNamedArgs = 1;
        }
        EXCEPINFO exception{};
        UINT argError = 0;
        const HRESULT hr =
            object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &argError);
        for (VARIANT& value : values) {
            VariantClear(&value);
        }
        if (FAILED(hr)) {
            const std::string step = "Invoke(" + (name.empty() ? std::string("<default>") : Narrow(name)) + ")";
            failure = DescribeFailure(step.c_str(), hr, exception);
            return false;
        }
        return true;
    }

    std::string Evaluate(std::wstring_view path, const std::optional<Argument>& putValue) {
        const std::vector<Segment> segments = ParsePath(path);
        application_->AddRef();
        ComPtr<IDispatch> current = ComPtr<IDispatch>::Adopt(application_.Get());
        std::string failure;
        for (size_t i = 0; i < segments.size(); ++i) {
            const Segment& segment = segments[i];
            const bool last = i + 1 == segments.size();
            UniqueVariant result;
            if (last && putValue && !segment.defaultItem) {
                return Call(current.Get(), segment.name, DISPATCH_PROPERTYPUT, {*putValue}, nullptr, failure) ? "= put"
                                                                                                              : failure;
            }
            if (!Call(current.Get(), segment.name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, segment.arguments,
                      result.Get(), failure)) {
                return failure;
            }
            if (segment.defaultItem) {
                if (result.Get()->vt != VT_DISPATCH || result.Get()->pdispVal == nullptr) {
                    return "! not an object: " + Describe(*result.Get());
                }
                UniqueVariant item;
                if (!Call(result.Get()->pdispVal, L"", DISPATCH_METHOD | DISPATCH_PROPERTYGET, {*segment.defaultItem},
                          item.Get(), failure)) {
                    return failure;
                }
                VariantClear(result.Get());
                *result.Get() = *item.Get();
                item.Get()->vt = VT_EMPTY;
            }
            if (last) {
                return "= " + Describe(*result.Get());
            }
            if (result.Get()->vt != VT_DISPATCH || result.Get()->pdispVal == nullptr) {
                return "! not an object: " + Describe(*result.Get());
            }
            current = ComPtr<IDispatch>::Adopt(result.Get()->pdispVal);
            result.Get()->vt = VT_EMPTY;
        }
        return "! empty path";
    }

    static std::string ProcessName(DWORD processId) {
        const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = snapshot.Valid() && Process32FirstW(snapshot.Get(), &entry); more;
             more = Process32NextW(snapshot.Get(), &entry)) {
            if (entry.th32ProcessID == processId) {
                return Narrow(entry.szExeFile);
            }
        }
        return "?";
    }

    static std::optional<DWORD> FindProcess(std::wstring_view exeName) {
        const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot.Valid()) {
            return std::nullopt;
        }
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
            if (CompareStringOrdinal(entry.szExeFile, -1, exeName.data(), static_cast<int>(exeName.size()), TRUE) ==
                CSTR_EQUAL) {
                return entry.th32ProcessID;
            }
        }
        return std::nullopt;
    }

    ComPtr<IDispatch> application_;
};

std::vector<std::wstring> StepsOf(std::wstring_view argument) {
    if (!argument.starts_with(L'@')) {
        return {std::wstring(argument)};
    }
    std::vector<std::wstring> steps;
    const UniqueHandle file(CreateFileW(std::wstring(argument.substr(1)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (file.Valid() && ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.erase(0, 3);
    }
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            steps.push_back(Widen(line));
        }
        start = end + 1;
    }
    return steps;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Single-threaded, as the installer's own UI thread is.
    const ComApartment com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Result())) {
        Print("! CoInitializeEx hr=" + Hex(com.Result()));
        return 1;
    }
    Client client;
    for (int i = 1; i < argc; ++i) {
        for (const std::wstring& step : StepsOf(argv[i])) {
            client.Run(step);
        }
    }
    return 0;
}
