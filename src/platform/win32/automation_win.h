#pragma once

#include <windows.h>

#include <oaidl.h>

#include <span>
#include <string_view>

#include "platform/automation.h"
#include "platform/win32/com_win.h"

namespace tessaro {

// An automation object reached late-bound through IDispatch. Like every COM object it belongs to the thread that
// made it: use and release it on that thread, before its win::ComInit ends.
class AutomationObjectWin final : public AutomationObject {
  public:
    explicit AutomationObjectWin(win::ComPtr<IDispatch> dispatch) noexcept;

    Result<AutomationValue> Get(std::string_view member, std::span<const AutomationValue> args = {}) override;
    Status Put(std::string_view member, const AutomationValue& value) override;
    Result<AutomationValue> Call(std::string_view member, std::span<const AutomationValue> args = {}) override;

    // The wrapped interface; the object keeps its own reference.
    IDispatch* Dispatch() const noexcept { return dispatch_.Get(); }

  private:
    Result<AutomationValue> Invoke(std::string_view member, WORD flags, std::span<const AutomationValue> args);

    win::ComPtr<IDispatch> dispatch_;
};

// Creates automation servers on the calling thread, which must have joined an apartment (win::ComInit) first.
class AutomationServicesWin final : public AutomationServices {
  public:
    Result<AutomationRef> CreateObject(std::string_view progId) override;
};

}  // namespace tessaro
