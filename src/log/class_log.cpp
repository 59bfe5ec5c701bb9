#include "log/class_log.h"

#include "app/texts.h"
#include "platform/windows_paths.h"

namespace tessaro {

namespace {

// Where the log goes when its own file cannot be opened: the user's temporary folder, under the usual name.
std::unique_ptr<LineWriter> OpenLog(TextFiles& files, std::string_view path) {
    if (std::unique_ptr<LineWriter> file = files.OpenForAppend(std::string(path))) {
        return file;
    }
    const std::string folder = files.TemporaryFolder();
    if (folder.empty()) {
        return nullptr;
    }
    std::string fallback = folder + "\\";
    fallback += ClassLog::kFileName;
    return files.OpenForAppend(fallback);
}

}  // namespace

ClassLog::ClassLog(TextFiles& files, Clock& clock, std::string_view path) : clock_(clock), file_(OpenLog(files, path)) {
    Begin(text::kLogHeader);
}

void ClassLog::Begin(std::string_view ActionMessage) {
    actionMessage_ = WithVisibleNul(ActionMessage);
    if (file_) {
        file_->WriteLine(clock_.LocalTimestamp() + " " + actionMessage_);
    }
}

}  // namespace tessaro
