#pragma once

#include <string>

#include "platform/host_services.h"

namespace tessaro {

class ClockWin final : public Clock {
  public:
    std::string LocalTimestamp() override;
};

}  // namespace tessaro
