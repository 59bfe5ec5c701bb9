#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <span>
#include <string_view>

#include "platform/automation.h"
#include "platform/win32/call_thread_win.h"
#include "platform/win32/com_win.h"
#include "platform/win32/make_shared_win.h"

namespace tessaro {

// An automation object reached late-bound through IDispatch. The interface belongs to the apartment of `calls`,
// which makes every call on it, and releases it, within a time limit; the object itself may be used from any one
// thread at a time.
class AutomationObjectWin final : public AutomationObject {
  public:
    AutomationObjectWin(win::ComPtr<IDispatch> dispatch, std::shared_ptr<win::CallThread> calls) noexcept;
    ~AutomationObjectWin() override;

    AutomationObjectWin(const AutomationObjectWin&) = delete;
    AutomationObjectWin& operator=(const AutomationObjectWin&) = delete;
    AutomationObjectWin(AutomationObjectWin&&) = delete;
    AutomationObjectWin& operator=(AutomationObjectWin&&) = delete;

    Result<AutomationValue> Get(std::string_view member, std::span<const AutomationValue> args = {}) override;
    Status Put(std::string_view member, const AutomationValue& value) override;
    Result<AutomationValue> Call(std::string_view member, std::span<const AutomationValue> args = {}) override;

    // The wrapped IDispatch, for use on the call thread only; the object keeps its own reference.
    void* PlatformObject() const noexcept override { return dispatch_.Get(); }

  private:
    Result<AutomationValue> Invoke(std::string_view member, WORD flags, std::span<const AutomationValue> args);

    win::ComPtr<IDispatch> dispatch_;
    std::shared_ptr<win::CallThread> calls_;
    // A server asked to quit is busy ending: its last release gets no more time than the request to quit did.
    bool quitAsked_ = false;
};

// Creates automation servers and makes every call on them through one call thread, each within its limit. A
// call past it fails with RPC_E_TIMEOUT, and so does everything asked of any of its objects after that.
class AutomationServicesWin final : public AutomationServices {
  public:
    Result<AutomationRef> CreateObject(std::string_view progId) override;

  private:
    std::shared_ptr<win::CallThread> calls_ = win::MakeShared<win::CallThread>();
};

}  // namespace tessaro
