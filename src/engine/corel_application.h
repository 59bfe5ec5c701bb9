#pragma once

#include <string>
#include <string_view>

#include "app/texts.h"
#include "platform/automation.h"

namespace tessaro {

inline constexpr text::Text kCorelProgId = "CorelDRAW.Application.13";

// CorelDRAW X3's application object, reached late-bound by member names. Empty until an install run creates it;
// every call on an empty one fails the way a call on a missing object does (number 91).
class CorelApplication {
  public:
    CorelApplication() = default;
    explicit CorelApplication(AutomationRef application) : application_(std::move(application)) {}

    bool IsEmpty() const { return application_ == nullptr; }
    void Release() { application_.reset(); }

    Status SetVisible(bool visible);
    Result<std::string> UserDataPath();
    Result<std::string> GMSPath();
    Result<std::string> UserGMSPath();
    Result<std::string> ApplicationPath();
    Status ImportWorkspace(const std::string& workspacePath);
    Result<AutomationRef> Application();
    Status Quit();

    // Removes the command bar of that name: reads `CommandBars`, indexes it by the name through its default
    // member and calls `Delete` on the bar. A name that no bar carries fails with -2147024809.
    static Status DeleteCommandBar(const AutomationRef& application, const std::string& barName);

  private:
    AutomationRef application_;
};

}  // namespace tessaro
