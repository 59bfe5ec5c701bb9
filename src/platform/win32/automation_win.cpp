#include "platform/win32/automation_win.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/win32/text_conv_win.h"

namespace tessaro {
namespace {

// The numbers and texts a Visual Basic client reports for these two, which is what people will look up.
constexpr int32_t kCannotCreateObject = 429;
constexpr char kCannotCreateObjectText[] = "ActiveX 部件不能创建对象";
constexpr int32_t kNoAutomation = 430;
constexpr char kNoAutomationText[] = "类不支持自动化或不支持期望的接口";
// The text for a server's own error number that comes without a description.
constexpr char kServerErrorText[] = "应用程序定义或对象定义的错误";

// How long one call into the server may take before it counts as hung. CorelDRAW X3 starts inside the creation
// call, and a cold start on the old PCs it still runs on takes tens of seconds; a workspace import takes longer
// than a folder read too. Ninety seconds leaves ample room for that and still ends the wait on a hung CorelDRAW
// well within two minutes.
constexpr uint32_t kCallLimitMs = 90000;
// Quit comes after the installation is over and reported; CorelDRAW ends in a few seconds without documents.
// A server slower than this is left to end by itself rather than keep the finished installer alive.
constexpr uint32_t kQuitLimitMs = 10000;
constexpr char kQuitMember[] = "Quit";
// Our own words for our own deadline: the system's text for RPC_E_TIMEOUT speaks of no server.
constexpr char kTimeoutText[] = "自动化服务器在限定的时间内没有应答";

RunFailure FailureOf(HRESULT hr) {
    if (hr == RPC_E_TIMEOUT) {
        return RunFailure{static_cast<int32_t>(hr), kTimeoutText};
    }
    return RunFailure{static_cast<int32_t>(hr), win::ErrorText(hr)};
}

// Member names ignore letter case in automation, so "quit" ends the server as well as "Quit" does.
uint32_t LimitFor(std::string_view member) {
    const std::string_view quit = kQuitMember;
    if (member.size() != quit.size()) {
        return kCallLimitMs;
    }
    for (size_t i = 0; i < quit.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(member[i]) != lower(quit[i])) {
            return kCallLimitMs;
        }
    }
    return kQuitLimitMs;
}

// What a server reported through EXCEPINFO: its own number and words where it gave them.
RunFailure FailureOf(EXCEPINFO& info) {
    if (info.pfnDeferredFillIn != nullptr) {
        info.pfnDeferredFillIn(&info);
    }
    int32_t number = info.scode != 0 ? static_cast<int32_t>(info.scode) : static_cast<int32_t>(info.wCode);
    if (number == 0) {
        number = static_cast<int32_t>(DISP_E_EXCEPTION);
    }
    std::string description;
    if (info.bstrDescription != nullptr) {
        description = win::WideToUtf8(std::wstring_view(info.bstrDescription, ::SysStringLen(info.bstrDescription)));
    }
    if (description.empty()) {
        // Negative numbers are HRESULTs the system can describe; small positive ones are the server's own.
        description = number < 0 ? win::ErrorText(static_cast<HRESULT>(number)) : kServerErrorText;
    }
    return RunFailure{number, std::move(description)};
}

// Fills an empty VARIANT with one argument. The VARIANT owns what is put into it.
HRESULT ToVariant(const AutomationValue& value, VARIANT& var) {
    return std::visit(
        [&var](const auto& item) -> HRESULT {
            using T = std::decay_t<decltype(item)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                V_VT(&var) = VT_EMPTY;
            } else if constexpr (std::is_same_v<T, bool>) {
                V_VT(&var) = VT_BOOL;
                V_BOOL(&var) = item ? VARIANT_TRUE : VARIANT_FALSE;
            } else if constexpr (std::is_same_v<T, int32_t>) {
                V_VT(&var) = VT_I4;
                V_I4(&var) = item;
            } else if constexpr (std::is_same_v<T, std::string>) {
                win::Bstr text(win::Utf8ToWide(item));
                if (text.Get() == nullptr) {
                    return E_OUTOFMEMORY;
                }
                V_VT(&var) = VT_BSTR;
                V_BSTR(&var) = text.Detach();
            } else {
                // An empty reference is VB's Nothing; only our own objects carry a dispatch interface.
                IDispatch* dispatch = nullptr;
                if (item) {
                    dispatch = static_cast<IDispatch*>(item->PlatformObject());
                    if (dispatch == nullptr) {
                        return DISP_E_TYPEMISMATCH;
                    }
                }
                if (dispatch != nullptr) {
                    dispatch->AddRef();
                }
                V_VT(&var) = VT_DISPATCH;
                V_DISPATCH(&var) = dispatch;
            }
            return S_OK;
        },
        value);
}

Result<AutomationValue> WrapDispatch(IDispatch* dispatch, const std::shared_ptr<win::CallThread>& calls) {
    if (dispatch == nullptr) {
        return AutomationValue{};
    }
    return AutomationValue{
        win::MakeShared<AutomationObjectWin>(win::ComPtr<IDispatch>::Share(dispatch), calls),
    };
}

// Takes a mutable VARIANT only because the conversion APIs are declared without const; it is not changed.
Result<AutomationValue> FromVariant(VARIANT& result, const std::shared_ptr<win::CallThread>& calls) {
    // A result passed by reference is read through its reference.
    win::Variant direct;
    VARIANT* var = &result;
    if ((V_VT(&result) & VT_BYREF) != 0) {
        const HRESULT hr = ::VariantCopyInd(direct.Get(), &result);
        if (FAILED(hr)) {
            return FailureOf(hr);
        }
        var = direct.Get();
    }

    switch (V_VT(var)) {
        case VT_EMPTY:
        case VT_NULL:
            return AutomationValue{};
        case VT_BSTR:
            return AutomationValue{V_BSTR(var) == nullptr
                                       ? std::string()
                                       : win::WideToUtf8(std::wstring_view(V_BSTR(var), ::SysStringLen(V_BSTR(var))))};
        case VT_BOOL:
            return AutomationValue{V_BOOL(var) != VARIANT_FALSE};
        case VT_I4:
            return AutomationValue{static_cast<int32_t>(V_I4(var))};
        case VT_ERROR:
            return AutomationValue{static_cast<int32_t>(V_ERROR(var))};
        case VT_DISPATCH:
            return WrapDispatch(V_DISPATCH(var), calls);
        case VT_UNKNOWN: {
            if (V_UNKNOWN(var) == nullptr) {
                return AutomationValue{};
            }
            win::ComPtr<IDispatch> dispatch;
            const HRESULT hr = V_UNKNOWN(var)->QueryInterface(IID_IDispatch, dispatch.PutVoid());
            if (FAILED(hr) || !dispatch) {
                return RunFailure{kNoAutomation, kNoAutomationText};
            }
            return AutomationValue{win::MakeShared<AutomationObjectWin>(std::move(dispatch), calls)};
        }
        default:
            break;
    }

    // The other whole numbers, floating point, currency and the like: a whole number when it fits (rounded the
    // way automation rounds), text otherwise (an unsigned number above 2^31 - 1 too, rather than a wrapped one).
    win::Variant converted;
    if (SUCCEEDED(::VariantChangeType(converted.Get(), var, 0, VT_I4))) {
        return AutomationValue{static_cast<int32_t>(V_I4(converted.Get()))};
    }
    const HRESULT hr = ::VariantChangeType(converted.Put(), var, 0, VT_BSTR);
    if (FAILED(hr)) {
        return FailureOf(hr);
    }
    return FromVariant(*converted.Get(), calls);
}

// The one place that talks IDispatch, run on the call thread: name to DISPID, arguments to DISPPARAMS, the call,
// the result back.
Result<AutomationValue> InvokeOnCallThread(IDispatch* dispatch,
                                           const std::shared_ptr<win::CallThread>& calls,
                                           const std::string& member,
                                           WORD flags,
                                           const std::vector<AutomationValue>& args) {
    DISPID dispId = DISPID_VALUE;
    if (!member.empty()) {
        std::wstring name = win::Utf8ToWide(member);
        LPOLESTR names[] = {name.data()};
        const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispId);
        if (FAILED(hr)) {
            return FailureOf(hr);
        }
    }

    // IDispatch takes its arguments last to first.
    win::VariantArray argv(args.size());
    for (size_t i = 0; i < args.size(); ++i) {
        const HRESULT hr = ToVariant(args[i], argv[args.size() - 1 - i]);
        if (FAILED(hr)) {
            return FailureOf(hr);
        }
    }

    DISPID putId = DISPID_PROPERTYPUT;
    const bool isPut = (flags & DISPATCH_PROPERTYPUT) != 0;
    DISPPARAMS params{};
    params.rgvarg = argv.Data();
    params.cArgs = static_cast<UINT>(argv.Size());
    // A property assignment names its value argument, or the server takes it for an index.
    params.rgdispidNamedArgs = isPut ? &putId : nullptr;
    params.cNamedArgs = isPut ? 1 : 0;

    win::Variant result;
    win::ExcepInfo exception;
    UINT argumentError = 0;
    const HRESULT hr = dispatch->Invoke(dispId, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                        isPut ? nullptr : result.Get(), exception.Get(), &argumentError);
    if (hr == DISP_E_EXCEPTION) {
        return FailureOf(*exception.Get());
    }
    if (FAILED(hr)) {
        return FailureOf(hr);
    }
    return FromVariant(*result.Get(), calls);
}

Result<AutomationRef> CreateOnCallThread(const CLSID& clsid, const std::shared_ptr<win::CallThread>& calls) {
    win::ComPtr<IUnknown> unknown;
    HRESULT hr =
        ::CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER, IID_IUnknown, unknown.PutVoid());
    if (hr == REGDB_E_CLASSNOTREG) {
        return RunFailure{kCannotCreateObject, kCannotCreateObjectText};
    }
    if (FAILED(hr)) {
        return FailureOf(hr);
    }

    win::ComPtr<IDispatch> dispatch;
    hr = unknown->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    if (hr == E_NOINTERFACE) {
        return RunFailure{kNoAutomation, kNoAutomationText};
    }
    if (FAILED(hr) || !dispatch) {
        return FailureOf(FAILED(hr) ? hr : E_NOINTERFACE);
    }
    return AutomationRef{win::MakeShared<AutomationObjectWin>(std::move(dispatch), calls)};
}

// Runs `work` on the call thread within `limitMs` and hands back what it produced. The outcome is shared with the
// call, which may outlive this function when it did not end in time.
template <class T, class Work>
Result<T> RunBounded(win::CallThread& calls, uint32_t limitMs, Work work) {
    auto outcome = win::MakeShared<std::optional<Result<T>>>();
    const HRESULT ran = calls.Run([outcome, work = std::move(work)] { outcome->emplace(work()); }, limitMs);
    if (FAILED(ran)) {
        return FailureOf(ran);
    }
    return std::move(**outcome);
}

}  // namespace

AutomationObjectWin::AutomationObjectWin(win::ComPtr<IDispatch> dispatch,
                                         std::shared_ptr<win::CallThread> calls) noexcept
    : dispatch_(std::move(dispatch)), calls_(std::move(calls)) {}

AutomationObjectWin::~AutomationObjectWin() {
    // Releasing a proxy is itself a call into the server, so it is bounded like one; a server that has timed out
    // keeps the reference rather than hold up the end of the program.
    IDispatch* dispatch = dispatch_.Detach();
    if (dispatch != nullptr) {
        (void)calls_->Run([dispatch] { dispatch->Release(); }, quitAsked_ ? kQuitLimitMs : kCallLimitMs);
    }
}

Result<AutomationValue> AutomationObjectWin::Get(std::string_view member, std::span<const AutomationValue> args) {
    const WORD flags = args.empty() ? DISPATCH_PROPERTYGET : DISPATCH_PROPERTYGET | DISPATCH_METHOD;
    return Invoke(member, flags, args);
}

Status AutomationObjectWin::Put(std::string_view member, const AutomationValue& value) {
    Result<AutomationValue> result = Invoke(member, DISPATCH_PROPERTYPUT, std::span<const AutomationValue>(&value, 1));
    if (!result) {
        return result.failure();
    }
    return {};
}

Result<AutomationValue> AutomationObjectWin::Call(std::string_view member, std::span<const AutomationValue> args) {
    return Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

Result<AutomationValue> AutomationObjectWin::Invoke(std::string_view member,
                                                    WORD flags,
                                                    std::span<const AutomationValue> args) {
    if (!dispatch_) {
        return FailureOf(E_POINTER);
    }
    const uint32_t limit = LimitFor(member);
    quitAsked_ = quitAsked_ || limit == kQuitLimitMs;
    // The call gets copies of everything it uses: after a time-out it runs on without this frame. The interface
    // stays valid for it, since a timed-out object is never released.
    return RunBounded<AutomationValue>(*calls_, limit,
                                       [dispatch = dispatch_.Get(), calls = calls_, name = std::string(member), flags,
                                        argv = std::vector<AutomationValue>(args.begin(), args.end())] {
                                           return InvokeOnCallThread(dispatch, calls, name, flags, argv);
                                       });
}

Result<AutomationRef> AutomationServicesWin::CreateObject(std::string_view progId) {
    const std::wstring wideProgId = win::Utf8ToWide(progId);
    CLSID clsid{};
    const HRESULT hr = ::CLSIDFromProgID(wideProgId.c_str(), &clsid);
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING) {
        return RunFailure{kCannotCreateObject, kCannotCreateObjectText};
    }
    if (FAILED(hr)) {
        return FailureOf(hr);
    }
    // Creating a local server waits for it to start, which is what the call limit is sized for.
    return RunBounded<AutomationRef>(*calls_, kCallLimitMs,
                                     [clsid, calls = calls_] { return CreateOnCallThread(clsid, calls); });
}

}  // namespace tessaro
