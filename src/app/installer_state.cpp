#include "app/installer_state.h"

#include "app/texts.h"

namespace tessaro {

void LogDialogLine(InstallerState& state, std::string_view messageText) {
    if (state.LogEnabled) {
        LogLine(state, std::string(text::kLogDialogPrefix).append(messageText));
    }
}

}  // namespace tessaro
