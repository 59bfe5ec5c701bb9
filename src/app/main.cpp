#include "app/main.h"

#include "app/texts.h"
#include "config/inst_info.h"
#include "config/utf8.h"

namespace tessaro {

StartOutcome Main(InstallerState& state, Platform& platform, const std::function<void()>& showMainWindow) {
    // The whole argument text must be the switch: "/log x" or " /log" leave logging off.
    if (utf8::LowerCase(platform.startup.ArgumentText()) == text::kLogSwitch) {
        state.LogEnabled = true;
        state.Log = std::make_unique<ClassLog>(platform.textFiles, platform.clock);
    }

    if (platform.startup.AnotherInstanceRunning()) {
        LogLine(state, text::kLogAlreadyRunning);
        state.Log.reset();
        platform.program.EndProgram(kExitAlreadyRunning);
    }

    LogLine(state, text::kLogGettingAppPath);
    state.AppPath = platform.startup.ProgramFolder();
    LogLine(state, text::kLogTrimmingAppPath);
    if (state.AppPath.empty() || state.AppPath.back() != '\\') {
        state.AppPath += '\\';
    }

    LogLine(state, text::kLogShowingMainWindow);
    if (!ReadInstInfo(state, platform)) {
        state.exitStatus = kExitFailed;
        return StartOutcome::NoConfiguration;
    }
    showMainWindow();
    return StartOutcome::Running;
}

}  // namespace tessaro
