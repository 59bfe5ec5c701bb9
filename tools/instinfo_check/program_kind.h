#pragma once

#include <string_view>

namespace instinfo_check {

// What the checker can tell about a run task's program from its file alone, for unattended runs: nobody is
// there to answer a window, and Tessaro does not wait for the program.
enum class Subsystem { Unknown, Windowed, Console };
enum class InstallerFamily { None, Nsis, InnoSetup, InstallShield, WindowsInstaller };

struct ProgramKind {
    Subsystem subsystem = Subsystem::Unknown;
    InstallerFamily installer = InstallerFamily::None;
};

// `name` is the file's name as the task gives it, `bytes` its content (or as much as was read).
ProgramKind InspectProgram(std::string_view name, std::string_view bytes);

// Whether `arguments`, as the program receives them (lower-cased), hold the switch that makes that installer run
// without its window. NSIS reads only a capital /S, which a run task can never pass.
bool HasSilentSwitch(InstallerFamily installer, std::string_view arguments);

}  // namespace instinfo_check
