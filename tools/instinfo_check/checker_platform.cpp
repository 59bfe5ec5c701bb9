#include "instinfo_check/checker_platform.h"

#include <exception>
#include <utility>

#include "instinfo_check/files.h"

namespace instinfo_check {
namespace {

// What a call on a service the checker does not have would meet in the installer: no object.
tessaro::RunFailure NotAvailable() {
    return {91, "not available in the checker"};
}

}  // namespace

CheckerPlatform::CheckerPlatform(std::string iniPath, tessaro::AnsiDecoder ansiDecoder)
    : iniPath_(std::move(iniPath)), ansiDecoder_(std::move(ansiDecoder)), platform_{*this, *this, *this, *this,
                                                                                    *this, *this, *this, *this} {}

// The reader asks for AppPath + "InstInfo.ini". The checker reads the file the user named instead: it may carry
// another name (an example, a copy under test), and on Linux the name's letter case may differ from the one the
// installer asks for, which Windows would not mind.
tessaro::FileBytes CheckerPlatform::ReadAll(const std::string& /*path*/) {
    served_ = ReadWholeFile(iniPath_);
    return served_;
}

tessaro::DialogReply CheckerPlatform::ShowMessage(std::string_view text,
                                                  std::string_view /*title*/,
                                                  tessaro::MessageKind /*kind*/) {
    messages_.emplace_back(text);
    return tessaro::DialogReply::Ok;
}

void CheckerPlatform::EndProgram(int /*exitStatus*/) {
    // Only the install run and the exit sequence end the program, and the checker runs neither.
    std::terminate();
}

tessaro::Status CheckerPlatform::StartProgram(const std::string&, const std::string&) {
    return NotAvailable();
}

tessaro::Result<tessaro::AutomationRef> CheckerPlatform::CreateObject(std::string_view) {
    return NotAvailable();
}

}  // namespace instinfo_check
