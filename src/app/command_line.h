#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// What the argument text asks for.
//
// The text "/log" alone, in any letter case, turns the trace on, and nothing else does: "/log x" or " /log" leave
// it off, and the window shows. Deployment tools start installers with the switches NSIS and Inno Setup taught
// them; a text whose first word is one of those is read as blank-separated switches, in any letter case:
//   /S or /VERYSILENT    an unattended run: no window, no message box, the outcome in the exit status
//   /LOG=PATH            the trace goes to PATH (quotes around PATH or around the whole switch are taken off)
//   /CLOSEAPPLICATIONS   an unattended run may end a running CorelDRAW
//   /log                 the trace goes to its usual file
// Words that are none of these are ignored, and logged. Any other text is read as it always was.
struct CommandLine {
    bool log = false;
    std::string logPath;  // empty: the usual file
    bool unattended = false;
    bool closeApplications = false;
    std::vector<std::string> ignored;
};

CommandLine ReadCommandLine(std::string_view argumentText);

}  // namespace tessaro
