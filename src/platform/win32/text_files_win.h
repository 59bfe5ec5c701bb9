#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/host_services.h"

namespace tessaro {

class TextFilesWin final : public TextFiles {
  public:
    // Files larger than this are not text we expect to read; reading them is a failure, not an allocation.
    static constexpr uint64_t kMaxReadSize = 64ull * 1024 * 1024;

    FileBytes ReadAll(const std::string& path) override;
    // ReadAll with a cap of the caller's choosing.
    static FileBytes ReadAllUpTo(const std::wstring& path, uint64_t maxBytes);
    std::string AnsiToUtf8(std::string_view ansiText) override;
    // The file is shared for reading and writing, so a second instance can append to a log the first one
    // still holds open.
    std::unique_ptr<LineWriter> OpenForAppend(const std::string& path) override;
    std::string TemporaryFolder() override;
};

}  // namespace tessaro
