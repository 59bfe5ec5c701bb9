#include "app/main.h"

#include "app/command_line.h"
#include "app/texts.h"
#include "config/inst_info.h"
#include "engine/unattended_run.h"

namespace tessaro {

StartOutcome Main(InstallerState& state, Platform& platform, const std::function<void()>& showMainWindow) {
    const CommandLine line = ReadCommandLine(platform.startup.ArgumentText());
    state.unattended = line.unattended;
    state.closeApplications = line.closeApplications;
    if (line.log) {
        state.LogEnabled = true;
        state.Log = line.logPath.empty() ? std::make_unique<ClassLog>(platform.textFiles, platform.clock)
                                         : std::make_unique<ClassLog>(platform.textFiles, platform.clock, line.logPath);
    }
    for (const std::string& word : line.ignored) {
        LogLine(state, std::string(text::kLogIgnoredSwitch).append(word));
    }

    // From here on an unattended run answers its own boxes.
    UnattendedDialogs unattendedDialogs(state);
    Platform unattendedPlatform{platform.startup, platform.textFiles, platform.clock,     unattendedDialogs,
                                platform.program, platform.files,     platform.processes, platform.automation};
    Platform& run = state.unattended ? unattendedPlatform : platform;

    if (run.startup.AnotherInstanceRunning()) {
        LogLine(state, text::kLogAlreadyRunning);
        state.Log.reset();
        run.program.EndProgram(kExitAlreadyRunning);
    }

    LogLine(state, text::kLogGettingAppPath);
    state.AppPath = run.startup.ProgramFolder();
    LogLine(state, text::kLogTrimmingAppPath);
    if (state.AppPath.empty() || state.AppPath.back() != '\\') {
        state.AppPath += '\\';
    }

    LogLine(state, text::kLogShowingMainWindow);
    if (!ReadInstInfo(state, run)) {
        state.exitStatus = FailureStatus(state, kExitNoConfiguration);
        return StartOutcome::NoConfiguration;
    }
    if (state.unattended) {
        RunUnattended(state, run);
    }
    showMainWindow();
    return StartOutcome::Running;
}

}  // namespace tessaro
