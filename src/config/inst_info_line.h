#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_format.h"

namespace tessaro {

// One line of InstInfo.ini as the reader understands it.
struct ConfigLine {
    ConfigKey key = ConfigKey::None;
    // The value: the text after the first "=", without outer blanks, cut at a second "=".
    std::string value;
};

// A task as the task table keeps it: fields 0 to 4.
using TaskFields = std::array<std::string, 5>;

// The smallest number of "|" fields that makes a "fileitem" line a task.
inline constexpr std::size_t kMinTaskFields = 4;

// Cuts a line at "=" into key and value. A line without "=", or whose key is none of the key words (compared after
// lower-casing; only blanks around it are removed), has ConfigKey::None.
ConfigLine ParseConfigLine(std::string_view line);

// Cuts a task line at every "|". Fields keep their blanks.
std::vector<std::string> SplitTaskFields(std::string_view value);

// The fields of a task line as the task table keeps them: the first five, missing ones empty, kind and target
// lower-cased so that they compare as words.
TaskFields StoredTaskFields(const std::vector<std::string>& written);

}  // namespace tessaro
