#include "log/class_log.h"

#include "app/texts.h"

namespace tessaro {

ClassLog::ClassLog(TextFiles& files, Clock& clock) : clock_(clock), file_(files.OpenForAppend(std::string(kPath))) {
    Begin(text::kLogHeader);
}

void ClassLog::Begin(std::string_view ActionMessage) {
    actionMessage_ = ActionMessage;
    if (file_) {
        file_->WriteLine(clock_.LocalTimestamp() + " " + actionMessage_);
    }
}

}  // namespace tessaro
