#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "config/config_text.h"
#include "config/file_items.h"
#include "config/inst_info_line.h"

namespace instinfo_check {

enum class ReadOutcome {
    Ok,          // the installer shows its window
    NoTasks,     // no "fileitem" line: no window, the installer ends
    Missing,     // the installer shows its missing-file message and ends
    Unreadable,  // the installer ends without a message
};

enum class Encoding { Ansi, Utf8Bom, Utf16Le, Utf16Be };

using TaskFields = tessaro::TaskFields;

// Where one task of the table came from.
struct TaskSource {
    int line = 0;  // 1-based line of the "fileitem" line
    // The fields as written, before the reader lower-cases kind and target; may hold more than five.
    std::vector<std::string> written;
    // The task is the empty one that a short last "fileitem" line leaves; `line` is that short line.
    bool trailingEmpty = false;
};

// InstInfo.ini as Tessaro's reader takes it, together with the decoded lines the checker walks for line numbers.
struct ConfigReading {
    std::string iniPath;  // as the user named it
    std::string appPath;  // the ini's folder with a separator, as the installer's AppPath
    ReadOutcome outcome = ReadOutcome::Unreadable;
    std::vector<std::string> messages;  // the boxes the installer would show

    std::string bytes;
    Encoding encoding = Encoding::Ansi;
    std::vector<std::string> lines;  // decoded; lines[0] is line 1

    // What ReadInstInfo left in the installer's state.
    std::string setupTitle;
    std::string flagsPicture;
    std::vector<TaskFields> tasks;
    std::vector<TaskSource> sources;  // one per task
    // The checker's own walk came to the very same task table as the reader. Anything else is a fault of the
    // checker, never of the file.
    bool walkAgrees = false;
};

// Reads `iniPath` with ReadInstInfo through the checker's platform and walks the same decoded lines with the
// reader's own line functions.
ConfigReading ReadConfig(const std::string& iniPath, const tessaro::AnsiDecoder& ansiDecoder);

// The folder part of a path as the installer's AppPath: with its separator, "." + separator for a bare name.
std::string AppPathOf(const std::string& iniPath);

}  // namespace instinfo_check
