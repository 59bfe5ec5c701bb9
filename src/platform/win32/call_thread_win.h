#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

namespace tessaro::win {

// The thread that makes every call into automation servers, so that the thread that wants a call made can stop
// waiting for it. A call made from the window's single-threaded apartment can only be given up through a message
// filter returning PENDINGMSG_CANCELCALL or through CoCancelCall; Wine keeps waiting after the first and does not
// implement the second, so a server that stopped answering would hold the window there for good. Here the calls
// run in the multi-threaded apartment, which this thread joins for its whole life (so the proxies it obtained
// stay valid between calls), and the caller waits for each one with a limit of its own.
class CallThread {
  public:
    CallThread() = default;
    ~CallThread();

    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;
    CallThread(CallThread&&) = delete;
    CallThread& operator=(CallThread&&) = delete;

    // Runs `call` on the thread (started on first use) and waits at most `limitMs` for it, the caller's windows
    // painting meanwhile. S_OK once it has run. RPC_E_TIMEOUT when it did not end in time: the thread is left to
    // that call, and every later Run fails the same way at once, since a server that stopped answering must not
    // be asked again (not even to release a reference). Another failure when the thread could not be started.
    // On the thread itself (a reference released by a call) `call` simply runs.
    HRESULT Run(std::function<void()> call, uint32_t limitMs);

  private:
    struct Shared;

    HRESULT Start();
    static DWORD WINAPI ThreadMain(void* parameter);

    std::shared_ptr<Shared> shared_;
    bool busy_ = false;
    bool timedOut_ = false;
};

}  // namespace tessaro::win
