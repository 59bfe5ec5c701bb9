#include "config/inst_info_line.h"

#include "config/utf8.h"

namespace tessaro {
namespace {

// Only the space character counts as a blank here; a tab stays part of the text.
std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

ConfigLine ParseConfigLine(std::string_view line) {
    const auto firstEquals = line.find('=');
    if (firstEquals == std::string_view::npos) {
        return {};
    }
    const std::string key = utf8::LowerCase(TrimBlanks(line.substr(0, firstEquals)));
    std::string_view value = line.substr(firstEquals + 1);
    value = value.substr(0, value.find('='));

    ConfigLine parsed;
    parsed.key = FindKey(key);
    if (parsed.key == ConfigKey::None) {
        return {};
    }
    parsed.value = std::string(TrimBlanks(value));
    return parsed;
}

std::vector<std::string> SplitTaskFields(std::string_view value) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const auto bar = value.find('|', start);
        fields.emplace_back(value.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

TaskFields StoredTaskFields(const std::vector<std::string>& written) {
    TaskFields stored;
    for (std::size_t field = 0; field < stored.size() && field < written.size(); ++field) {
        const bool comparedAsWord = field == 0 || field == 3;
        stored[field] = comparedAsWord ? utf8::LowerCase(written[field]) : written[field];
    }
    return stored;
}

}  // namespace tessaro
