#include "automation_win.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "journal_win.h"
#include "raii_win.h"
#include "server_win.h"
#include "standin_config.h"

namespace corel_standin {

namespace {

// A server that stopped answering: the call's thread, which is the apartment's only one, blocks until the process
// is ended from outside. Nothing else runs meanwhile, the idle self-exit's timer included.
[[noreturn]] void NeverAnswer() {
    for (;;) {
        Sleep(INFINITE);
    }
}

struct Failure {
    int32_t number = 0;
    std::string description;
};

// Everything one created application shares with the objects reached from it.
class AppState {
  public:
    AppState(StandinConfig config, Journal journal) : config_(std::move(config)), journal_(std::move(journal)) {
        bars = config_.commandBars;
    }

    const StandinConfig& Config() const { return config_; }
    void Log(std::string_view line) const { journal_.Write(line); }

    // Plays the misbehaviour the ini file asks of a member: first the delay (or no answer at all), then death, then
    // the failure. A call that goes on is left to the caller to journal, since only it knows how the call ended.
    std::optional<Failure> Gate(std::string_view member, std::string_view line) const {
        if (config_.HangsOn(member)) {
            Log(std::string(line) + " hung");
            NeverAnswer();
        }
        if (const uint32_t delay = config_.DelayFor(member); delay > 0) {
            Sleep(delay);
        }
        if (config_.DiesOn(member)) {
            Log(std::string(line) + " died");
            ExitProcess(1);
        }
        const auto number = config_.FailureFor(member);
        if (!number) {
            return std::nullopt;
        }
        Log(std::string(line) + " failed " + std::to_string(*number));
        std::string text = config_.FailureTextFor(member).value_or("CorelDRAW 替身按设定让 " + std::string(member) +
                                                                   " 失败，错误号 " + std::to_string(*number));
        return Failure{*number, std::move(text)};
    }

    bool visible = false;
    std::vector<std::string> bars;

  private:
    StandinConfig config_;
    Journal journal_;
};

bool SameTextIgnoringCase(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// One IDispatch::Invoke call as the members see it: arguments in the caller's order, results and failures.
class Invocation {
  public:
    Invocation(WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception)
        : flags_(flags), params_(params), result_(result), exception_(exception) {}

    bool IsPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    UINT ArgCount() const { return params_ == nullptr ? 0 : params_->cArgs; }

    // Property gets and methods alike: late-bound callers mix the two flags freely.
    HRESULT CheckGet(UINT minArgs, UINT maxArgs) const {
        if ((flags_ & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) == 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (params_ != nullptr && params_->cNamedArgs != 0) {
            return DISP_E_NONAMEDARGS;
        }
        return ArgCount() < minArgs || ArgCount() > maxArgs ? DISP_E_BADPARAMCOUNT : S_OK;
    }

    HRESULT CheckPut() const {
        if (params_ == nullptr || params_->cArgs != 1 || params_->cNamedArgs != 1 ||
            params_->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_BADPARAMCOUNT;
        }
        return S_OK;
    }

    // The argument at a position in the caller's order (COM hands them over last first), by value.
    HRESULT Arg(UINT index, VARIANT* out) const {
        if (index >= ArgCount()) {
            return DISP_E_BADPARAMCOUNT;
        }
        return VariantCopyInd(out, &params_->rgvarg[params_->cArgs - 1 - index]);
    }

    HRESULT ArgAs(UINT index, VARTYPE type, UniqueVariant& out) const {
        HRESULT hr = Arg(index, out.Get());
        if (SUCCEEDED(hr) && out.Get()->vt != type) {
            hr = VariantChangeType(out.Get(), out.Get(), 0, type);
        }
        return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
    }

    HRESULT ReturnString(std::string_view utf8) {
        if (result_ != nullptr) {
            VariantInit(result_);
            result_->vt = VT_BSTR;
            result_->bstrVal = UniqueBstr(Widen(utf8)).Detach();
        }
        return S_OK;
    }

    HRESULT ReturnBool(bool value) {
        if (result_ != nullptr) {
            VariantInit(result_);
            result_->vt = VT_BOOL;
            result_->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }

    HRESULT ReturnInt(int32_t value) {
        if (result_ != nullptr) {
            VariantInit(result_);
            result_->vt = VT_I4;
            result_->lVal = value;
        }
        return S_OK;
    }

    HRESULT ReturnObject(ComPtr<IDispatch> object) {
        if (result_ != nullptr) {
            VariantInit(result_);
            result_->vt = VT_DISPATCH;
            result_->pdispVal = object.Detach();
        }
        return S_OK;
    }

    // Failures travel the way a real automation server reports them, so the caller reads number and text.
    HRESULT Fail(const Failure& failure) {
        if (exception_ != nullptr) {
            *exception_ = EXCEPINFO{};
            exception_->wCode = 0;
            exception_->scode = failure.number;
            exception_->bstrSource = UniqueBstr(L"CorelDRAW").Detach();
            exception_->bstrDescription = UniqueBstr(Widen(failure.description)).Detach();
        }
        return DISP_E_EXCEPTION;
    }

  private:
    WORD flags_;
    DISPPARAMS* params_;
    VARIANT* result_;
    EXCEPINFO* exception_;
};

struct MemberName {
    const wchar_t* name;
    DISPID id;
};

// IUnknown and IDispatch by hand, names matched without regard to case and no type library.
// COM objects die through Release, never through a delete of the interface pointer, so the interface's
// non-virtual destructor is no hazard here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class DispatchObject : public IDispatch {
  public:
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;
    virtual ~DispatchObject() { ServerRelease(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        return DISP_E_BADINDEX;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (names == nullptr || ids == nullptr) {
            return E_POINTER;
        }
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            // Only the member itself can be found; named arguments are not offered by any member.
            if (i == 0 && names[0] != nullptr) {
                const auto found = std::find_if(members_.begin(), members_.end(), [&](const MemberName& member) {
                    return SameTextIgnoringCase(member.name, names[0]);
                });
                if (found != members_.end()) {
                    ids[0] = found->id;
                    continue;
                }
                state_->Log(journalPrefix_ + Narrow(names[0]) + " unknown");
            }
            hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID,
                                     LCID,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO* exception,
                                     UINT* argError) override {
        if (argError != nullptr) {
            *argError = 0;
        }
        Invocation call(flags, params, result, exception);
        return Dispatch(id, call);
    }

  protected:
    DispatchObject(std::shared_ptr<AppState> state, std::span<const MemberName> members, std::string journalPrefix)
        : state_(std::move(state)), members_(members), journalPrefix_(std::move(journalPrefix)) {
        ServerAddRef();
    }

    virtual HRESULT Dispatch(DISPID id, Invocation& call) = 0;

    AppState& State() const { return *state_; }
    const std::shared_ptr<AppState>& SharedState() const { return state_; }

    // The common shape of a member that reads a value: the ini file's misbehaviour, the journal, the answer.
    template <class Answer>
    HRESULT Respond(Invocation& call, std::string_view member, std::string_view line, Answer&& answer) {
        if (auto failure = state_->Gate(member, line)) {
            return call.Fail(*failure);
        }
        state_->Log(line);
        return answer();
    }

  private:
    LONG refs_ = 1;
    std::shared_ptr<AppState> state_;
    std::span<const MemberName> members_;
    std::string journalPrefix_;
};

#pragma GCC diagnostic pop

template <class T, class... Args>
ComPtr<IDispatch> MakeObject(Args&&... args) {
    return ComPtr<IDispatch>::Adopt(new T(std::forward<Args>(args)...));
}

// --- CommandBar and the CommandBars collection ---

class CommandBarObject final : public DispatchObject {
  public:
    // `label` is the lookup as the caller wrote it, "CommandBars(Name)" or "CommandBars(1)".
    CommandBarObject(std::shared_ptr<AppState> state, std::string label, std::string name)
        : DispatchObject(std::move(state), kMembers, label + "."), label_(std::move(label)), name_(std::move(name)) {}

  protected:
    HRESULT Dispatch(DISPID id, Invocation& call) override {
        switch (id) {
            case kName:
                if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
                    return hr;
                }
                return Respond(call, "Name", label_ + ".Name", [&] { return call.ReturnString(name_); });
            case kDelete:
                if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
                    return hr;
                }
                return Delete(call);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    static constexpr DISPID kName = 1;
    static constexpr DISPID kDelete = 2;
    static constexpr MemberName kMembers[] = {{L"Name", kName}, {L"Delete", kDelete}};

    HRESULT Delete(Invocation& call) {
        const std::string line = label_ + ".Delete";
        if (auto failure = State().Gate("Delete", line)) {
            return call.Fail(*failure);
        }
        auto& bars = State().bars;
        const auto found = std::find(bars.begin(), bars.end(), name_);
        if (found == bars.end()) {
            State().Log(line + " not found");
            return call.Fail({E_INVALIDARG, "命令栏“" + name_ + "”已被删除"});
        }
        bars.erase(found);
        State().Log(line);
        return S_OK;
    }

    std::string label_;
    std::string name_;
};

// The lookup behind CommandBars(x) and CommandBars.Item(x): a name, or a 1-based position.
HRESULT LookUpBar(const std::shared_ptr<AppState>& state, Invocation& call) {
    UniqueVariant key;
    if (FAILED(call.Arg(0, key.Get()))) {
        return DISP_E_TYPEMISMATCH;
    }
    const auto& bars = state->bars;
    std::optional<size_t> position;
    std::string keyText;
    switch (key.Get()->vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_INT:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_UI8:
        case VT_UINT:
        case VT_R4:
        case VT_R8:
        case VT_DECIMAL: {
            if (FAILED(VariantChangeType(key.Get(), key.Get(), 0, VT_I4))) {
                return DISP_E_TYPEMISMATCH;
            }
            const LONG index = key.Get()->lVal;
            keyText = std::to_string(index);
            if (index >= 1 && static_cast<size_t>(index) <= bars.size()) {
                position = static_cast<size_t>(index - 1);
            }
            break;
        }
        default: {
            if (key.Get()->vt != VT_BSTR && FAILED(VariantChangeType(key.Get(), key.Get(), 0, VT_BSTR))) {
                return DISP_E_TYPEMISMATCH;
            }
            const std::wstring wanted(key.Get()->bstrVal, SysStringLen(key.Get()->bstrVal));
            keyText = Narrow(wanted);
            for (size_t i = 0; i < bars.size(); ++i) {
                if (SameTextIgnoringCase(Widen(bars[i]), wanted)) {
                    position = i;
                    break;
                }
            }
            break;
        }
    }
    const std::string label = "CommandBars(" + keyText + ")";
    if (auto failure = state->Gate("Item", label)) {
        return call.Fail(*failure);
    }
    if (!position) {
        state->Log(label + " not found");
        return call.Fail({E_INVALIDARG, "找不到命令栏“" + keyText + "”"});
    }
    state->Log(label);
    return call.ReturnObject(MakeObject<CommandBarObject>(state, label, bars[*position]));
}

class CommandBarsObject final : public DispatchObject {
  public:
    explicit CommandBarsObject(std::shared_ptr<AppState> state)
        : DispatchObject(std::move(state), kMembers, "CommandBars.") {}

  protected:
    HRESULT Dispatch(DISPID id, Invocation& call) override {
        switch (id) {
            case DISPID_VALUE:
                if (const HRESULT hr = call.CheckGet(1, 1); FAILED(hr)) {
                    return hr;
                }
                return LookUpBar(SharedState(), call);
            case kCount:
                if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
                    return hr;
                }
                return Respond(call, "Count", "CommandBars.Count",
                               [&] { return call.ReturnInt(static_cast<int32_t>(State().bars.size())); });
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    static constexpr DISPID kCount = 1;
    static constexpr MemberName kMembers[] = {{L"Item", DISPID_VALUE}, {L"Count", kCount}};
};

// --- GMSManager ---

class GmsManagerObject final : public DispatchObject {
  public:
    explicit GmsManagerObject(std::shared_ptr<AppState> state)
        : DispatchObject(std::move(state), kMembers, "GMSManager.") {}

  protected:
    HRESULT Dispatch(DISPID id, Invocation& call) override {
        if (id != kGmsPath && id != kUserGmsPath) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
            return hr;
        }
        if (id == kGmsPath) {
            return Respond(call, "GMSPath", "GMSManager.GMSPath",
                           [&] { return call.ReturnString(State().Config().gmsPath); });
        }
        return Respond(call, "UserGMSPath", "GMSManager.UserGMSPath",
                       [&] { return call.ReturnString(State().Config().userGmsPath); });
    }

  private:
    static constexpr DISPID kGmsPath = 1;
    static constexpr DISPID kUserGmsPath = 2;
    static constexpr MemberName kMembers[] = {{L"GMSPath", kGmsPath}, {L"UserGMSPath", kUserGmsPath}};
};

// --- Application ---

class ApplicationObject final : public DispatchObject {
  public:
    // The object handed out by the Application property shares everything with the created one; it only
    // remembers how it was reached, so that the journal can tell "Application.Path" from "Path".
    ApplicationObject(std::shared_ptr<AppState> state, bool reachedViaApplication)
        : DispatchObject(std::move(state), kMembers, ""), viaApplication_(reachedViaApplication) {}

  protected:
    HRESULT Dispatch(DISPID id, Invocation& call) override {
        if (id == kVisible && call.IsPut()) {
            return PutVisible(call);
        }
        switch (id) {
            case kVisible:
                return Get(call, "Visible", [&] { return call.ReturnBool(State().visible); });
            case kUserDataPath:
                return Get(call, "UserDataPath", [&] { return call.ReturnString(State().Config().userDataPath); });
            case kGmsManager:
                return Get(call, "GMSManager",
                           [&] { return call.ReturnObject(MakeObject<GmsManagerObject>(SharedState())); });
            case kApplication:
                return Get(call, "Application", [&] { return call.ReturnObject(Itself()); });
            case kPath:
                if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
                    return hr;
                }
                return Respond(call, "Path", viaApplication_ ? "Application.Path" : "Path",
                               [&] { return call.ReturnString(State().Config().applicationPath); });
            case kCommandBars:
                return CommandBars(call);
            case kImportWorkspace:
                return ImportWorkspace(call);
            case kQuit:
                if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
                    return hr;
                }
                return Respond(call, "Quit", "Quit", [] {
                    RequestShutdown();
                    return S_OK;
                });
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

  private:
    static constexpr DISPID kVisible = 1;
    static constexpr DISPID kUserDataPath = 2;
    static constexpr DISPID kGmsManager = 3;
    static constexpr DISPID kApplication = 4;
    static constexpr DISPID kPath = 5;
    static constexpr DISPID kCommandBars = 6;
    static constexpr DISPID kImportWorkspace = 7;
    static constexpr DISPID kQuit = 8;
    static constexpr MemberName kMembers[] = {
        {L"Visible", kVisible},
        {L"UserDataPath", kUserDataPath},
        {L"GMSManager", kGmsManager},
        {L"Application", kApplication},
        {L"Path", kPath},
        {L"CommandBars", kCommandBars},
        {L"ImportWorkspace", kImportWorkspace},
        {L"Quit", kQuit},
    };

    template <class Answer>
    HRESULT Get(Invocation& call, std::string_view member, Answer&& answer) {
        if (const HRESULT hr = call.CheckGet(0, 0); FAILED(hr)) {
            return hr;
        }
        return Respond(call, member, member, std::forward<Answer>(answer));
    }

    ComPtr<IDispatch> Itself() {
        if (viaApplication_) {
            AddRef();
            return ComPtr<IDispatch>::Adopt(this);
        }
        return MakeObject<ApplicationObject>(SharedState(), true);
    }

    HRESULT PutVisible(Invocation& call) {
        if (const HRESULT hr = call.CheckPut(); FAILED(hr)) {
            return hr;
        }
        UniqueVariant value;
        if (const HRESULT hr = call.ArgAs(0, VT_BOOL, value); FAILED(hr)) {
            return hr;
        }
        const bool visible = value.Get()->boolVal != VARIANT_FALSE;
        return Respond(call, "Visible", visible ? "Visible=True" : "Visible=False", [&] {
            State().visible = visible;
            return S_OK;
        });
    }

    // CommandBars("x") arrives here as a call of the property with one argument; it is answered as the
    // collection's default member would answer it.
    HRESULT CommandBars(Invocation& call) {
        if (const HRESULT hr = call.CheckGet(0, 1); FAILED(hr)) {
            return hr;
        }
        if (auto failure = State().Gate("CommandBars", "CommandBars")) {
            return call.Fail(*failure);
        }
        State().Log("CommandBars");
        if (call.ArgCount() == 1) {
            return LookUpBar(SharedState(), call);
        }
        return call.ReturnObject(MakeObject<CommandBarsObject>(SharedState()));
    }

    HRESULT ImportWorkspace(Invocation& call) {
        if (const HRESULT hr = call.CheckGet(1, 1); FAILED(hr)) {
            State().Log("ImportWorkspace bad arguments");
            return hr;
        }
        UniqueVariant file;
        if (const HRESULT hr = call.ArgAs(0, VT_BSTR, file); FAILED(hr)) {
            State().Log("ImportWorkspace bad arguments");
            return hr;
        }
        const std::string line =
            "ImportWorkspace " + Narrow(std::wstring_view(file.Get()->bstrVal, SysStringLen(file.Get()->bstrVal)));
        return Respond(call, "ImportWorkspace", line, [] { return S_OK; });
    }

    bool viaApplication_;
};

// What the class factory hands out under NoDispatch=1: an object a late-bound client cannot use.
// COM objects die through Release, never through a delete of the interface pointer, so the interface's
// non-virtual destructor is no hazard here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class UnknownOnlyObject final : public IUnknown {
  public:
    UnknownOnlyObject() { ServerAddRef(); }
    UnknownOnlyObject(const UnknownOnlyObject&) = delete;
    UnknownOnlyObject& operator=(const UnknownOnlyObject&) = delete;
    virtual ~UnknownOnlyObject() { ServerRelease(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) {
            delete this;
        }
        return static_cast<ULONG>(left);
    }

  private:
    LONG refs_ = 1;
};

#pragma GCC diagnostic pop

std::string ReadIniText(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string text;
    if (!file.Valid()) {
        return text;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        text.append(buffer, read);
    }
    return text;
}

}  // namespace

HRESULT CreateApplication(REFIID riid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    const std::wstring folder = ModuleFolder();
    StandinConfig config = ParseConfig(ReadIniText(folder + L"\\CorelDRW.ini"), DefaultConfig(Narrow(folder)));
    const Journal journal(folder + L"\\CorelDRW.journal");

    if (config.HangsOn("Create")) {
        journal.Write("Create hung");
        NeverAnswer();
    }
    if (const uint32_t delay = config.DelayFor("Create"); delay > 0) {
        Sleep(delay);
    }
    if (config.DiesOn("Create")) {
        journal.Write("Create died");
        ExitProcess(1);
    }
    if (config.noDispatch) {
        journal.Write("Create NoDispatch");
        const ComPtr<IUnknown> created = ComPtr<IUnknown>::Adopt(new UnknownOnlyObject());
        return created->QueryInterface(riid, object);
    }
    journal.Write("Create");
    auto state = std::make_shared<AppState>(std::move(config), journal);
    const ComPtr<IDispatch> created = MakeObject<ApplicationObject>(std::move(state), false);
    return created->QueryInterface(riid, object);
}

}  // namespace corel_standin
