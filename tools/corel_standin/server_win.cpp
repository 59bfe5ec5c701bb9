#include "server_win.h"

#include "automation_win.h"
#include "raii_win.h"

namespace corel_standin {

namespace {

// Long enough for the RPC thread to send the reply to Quit (or to the last Release) before the process goes.
constexpr UINT kEndDelayMs = 300;
// A server that COM started but nobody ever asked for an object would otherwise linger in the prefix and make the
// next activation wait for it.
constexpr UINT kUnusedLimitMs = 60000;

LONG liveCount = 0;
bool everUsed = false;
bool ending = false;

// The class object stays registered with COM for as long as this lives, or until Revoke.
class ClassRegistration {
  public:
    ClassRegistration() = default;
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;
    ~ClassRegistration() { Revoke(); }

    HRESULT Register(IUnknown* factory) {
        const HRESULT hr =
            CoRegisterClassObject(kApplicationClsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
        registered_ = SUCCEEDED(hr);
        return hr;
    }
    void Revoke() {
        if (registered_) {
            CoRevokeClassObject(cookie_);
            registered_ = false;
        }
    }

  private:
    DWORD cookie_ = 0;
    bool registered_ = false;
};

ClassRegistration* activeRegistration = nullptr;

// One factory for the life of the process; its references do not keep the server alive, locks do.
// COM objects die through Release, never through a delete of the interface pointer, so the interface's
// non-virtual destructor is no hazard here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ClassFactory final : public IClassFactory {
  public:
    ClassFactory() = default;
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;
    virtual ~ClassFactory() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object != nullptr) {
            *object = nullptr;
        }
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        return CreateApplication(riid, object);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ServerAddRef();
        } else {
            ServerRelease();
        }
        return S_OK;
    }
};

#pragma GCC diagnostic pop

void CALLBACK EndLoop(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    PostQuitMessage(0);
}

void CALLBACK CheckUnused(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (!everUsed && liveCount == 0) {
        RequestShutdown();
    }
}

}  // namespace

void ServerAddRef() {
    everUsed = true;
    InterlockedIncrement(&liveCount);
}

void ServerRelease() {
    if (InterlockedDecrement(&liveCount) == 0) {
        RequestShutdown();
    }
}

void RequestShutdown() {
    if (ending) {
        return;
    }
    ending = true;
    if (activeRegistration != nullptr) {
        activeRegistration->Revoke();
    }
    SetTimer(nullptr, 0, kEndDelayMs, EndLoop);
}

int RunEmbedded() {
    const ComApartment com(COINIT_APARTMENTTHREADED);
    if (FAILED(com.Result())) {
        return 1;
    }
    static ClassFactory factory;
    ClassRegistration registration;
    if (FAILED(registration.Register(&factory))) {
        return 2;
    }
    activeRegistration = &registration;
    SetTimer(nullptr, 0, kUnusedLimitMs, CheckUnused);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    activeRegistration = nullptr;
    return 0;
}

}  // namespace corel_standin
