#include "log/class_log.h"

#include "app/texts.h"
#include "platform/windows_paths.h"

namespace tessaro {

namespace {

// Where the log goes when the root of drive C: takes no new file, as for a user who is no administrator on
// Vista and later: the user's temporary folder, under the same name.
std::unique_ptr<LineWriter> OpenLog(TextFiles& files) {
    if (std::unique_ptr<LineWriter> file = files.OpenForAppend(std::string(ClassLog::kPath))) {
        return file;
    }
    const std::string folder = files.TemporaryFolder();
    if (folder.empty()) {
        return nullptr;
    }
    return files.OpenForAppend(folder + "\\" + std::string(ClassLog::kFileName));
}

}  // namespace

ClassLog::ClassLog(TextFiles& files, Clock& clock) : clock_(clock), file_(OpenLog(files)) {
    Begin(text::kLogHeader);
}

void ClassLog::Begin(std::string_view ActionMessage) {
    actionMessage_ = WithVisibleNul(ActionMessage);
    if (file_) {
        file_->WriteLine(clock_.LocalTimestamp() + " " + actionMessage_);
    }
}

}  // namespace tessaro
