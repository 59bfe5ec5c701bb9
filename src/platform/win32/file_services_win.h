#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/host_services.h"

namespace tessaro {

class FileServicesWin final : public FileServices {
  public:
    Result<bool> PathExists(const std::string& path) override;
    Result<bool> IsRegularFile(const std::string& path) override;
    Result<bool> CopyReplacing(const std::string& source, const std::string& target) override;
    Result<bool> RemoveFile(const std::string& path) override;
    Status StartProgram(const std::string& programPath, const std::string& argumentText) override;
    Refusal LastRefusal() override;
    std::optional<std::string> VirtualStoreCopyOf(const std::string& path) override;

    // The system's error code of the last refused copy or deletion.
    DWORD LastRefusalCode() const noexcept { return lastRefusal_; }

  private:
    bool Refuse(DWORD error, bool forRights);

    DWORD lastRefusal_ = ERROR_SUCCESS;
    bool refusedForRights_ = false;
};

}  // namespace tessaro
