#pragma once

#include <cstdint>
#include <vector>

#include "platform/host_services.h"

namespace tessaro {

class ProcessServicesWin final : public ProcessServices {
  public:
    Result<std::vector<ProcessEntry>> Snapshot() override;
    void Terminate(uint32_t processId) override;
};

}  // namespace tessaro
