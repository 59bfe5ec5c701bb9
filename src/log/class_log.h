#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "app/texts.h"
#include "platform/host_services.h"

namespace tessaro {

// The install log "c:\Tessaro.log", or the file a deployment tool names: one time-stamped line per step, appended,
// in the ANSI code page. When that file cannot be opened (the root of C: refuses new files to a user who is no
// administrator on Vista and later), the log goes to the user's temporary folder as "Tessaro.log". A log that
// cannot be opened at all writes nothing; the installer runs on without it.
class ClassLog {
  public:
    static constexpr text::Text kPath = "c:\\Tessaro.log";
    static constexpr text::Text kFileName = "Tessaro.log";

    // Opens the file for appending and writes the header line.
    ClassLog(TextFiles& files, Clock& clock, std::string_view path = kPath);
    ClassLog(const ClassLog&) = delete;
    ClassLog& operator=(const ClassLog&) = delete;

    void Begin(std::string_view ActionMessage);
    // The message of the last line written.
    const std::string& LastMessage() const { return actionMessage_; }

  private:
    Clock& clock_;
    std::unique_ptr<LineWriter> file_;
    std::string actionMessage_;
};

}  // namespace tessaro
