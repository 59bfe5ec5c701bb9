#include "platform/win32/call_thread_win.h"

#include <objbase.h>

#include <utility>

#include "platform/win32/make_shared_win.h"
#include "platform/win32/message_pump_win.h"
#include "platform/win32/unique_handle_win.h"

namespace tessaro::win {
namespace {

// How long the destructor waits for an idle thread to leave its apartment.
constexpr DWORD kStopWaitMs = 5000;

}  // namespace

// What the thread and its owner share. The thread holds a reference of its own, so a thread left to a call that
// never returns still finds its call and its events after the owner is gone.
struct CallThread::Shared {
    UniqueHandle<KernelHandleTraits> start{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle<KernelHandleTraits> done{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle<KernelHandleTraits> thread;
    DWORD threadId = 0;
    // Set by the owner before `start`, taken by the thread after it; an empty one ends the thread.
    std::function<void()> call;
};

DWORD WINAPI CallThread::ThreadMain(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(parameter));
    Shared& shared = **owned;
    const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (;;) {
        WaitForSingleObject(shared.start.Get(), INFINITE);
        std::function<void()> call = std::exchange(shared.call, nullptr);
        if (!call) {
            break;
        }
        call();
        // What the call captured goes here, on this thread: proxies among it are released in their apartment.
        call = nullptr;
        SetEvent(shared.done.Get());
    }
    if (SUCCEEDED(joined)) {
        CoUninitialize();
    }
    return 0;
}

CallThread::~CallThread() {
    if (!shared_ || !shared_->thread || timedOut_) {
        return;
    }
    shared_->call = nullptr;
    SetEvent(shared_->start.Get());
    WaitForSingleObject(shared_->thread.Get(), kStopWaitMs);
}

HRESULT CallThread::Start() {
    auto shared = MakeShared<Shared>();
    if (!shared->start || !shared->done) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    auto* threadReference = new std::shared_ptr<Shared>(shared);
    shared->thread.Reset(CreateThread(nullptr, 0, ThreadMain, threadReference, 0, &shared->threadId));
    if (!shared->thread) {
        const HRESULT failure = HRESULT_FROM_WIN32(GetLastError());
        delete threadReference;
        return failure;
    }
    shared_ = std::move(shared);
    return S_OK;
}

HRESULT CallThread::Run(std::function<void()> call, uint32_t limitMs) {
    if (shared_ && GetCurrentThreadId() == shared_->threadId) {
        call();
        return S_OK;
    }
    if (timedOut_) {
        return RPC_E_TIMEOUT;
    }
    // A message handled while waiting must not start a second call: the thread makes one at a time.
    if (busy_) {
        return RPC_E_CANTCALLOUT_INEXTERNALCALL;
    }
    if (!shared_) {
        if (const HRESULT started = Start(); FAILED(started)) {
            return started;
        }
    }
    busy_ = true;
    shared_->call = std::move(call);
    SetEvent(shared_->start.Get());
    const bool ended = WaitDispatchingWithoutInput(shared_->done.Get(), limitMs);
    busy_ = false;
    if (!ended) {
        timedOut_ = true;
        return RPC_E_TIMEOUT;
    }
    return S_OK;
}

}  // namespace tessaro::win
