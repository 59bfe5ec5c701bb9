#include "standin_config.h"

#include <charconv>
#include <limits>

namespace corel_standin {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<int64_t> ParseInteger(std::string_view text) {
    text = TrimBlanks(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> SplitBars(std::string_view value) {
    std::vector<std::string> bars;
    while (!value.empty()) {
        const size_t bar = value.find('|');
        const std::string_view name = value.substr(0, bar);
        if (!name.empty()) {
            bars.emplace_back(name);
        }
        if (bar == std::string_view::npos) {
            break;
        }
        value.remove_prefix(bar + 1);
    }
    return bars;
}

void ApplyLine(std::string_view key, std::string_view value, StandinConfig& config) {
    const std::string lowerKey = AsciiLower(TrimBlanks(key));
    if (lowerKey == "userdatapath") {
        config.userDataPath = value;
    } else if (lowerKey == "gmspath") {
        config.gmsPath = value;
    } else if (lowerKey == "usergmspath") {
        config.userGmsPath = value;
    } else if (lowerKey == "applicationpath") {
        config.applicationPath = value;
    } else if (lowerKey == "commandbars") {
        config.commandBars = SplitBars(value);
    } else if (lowerKey == "nodispatch") {
        config.noDispatch = TrimBlanks(value) == "1";
    } else if (lowerKey == "dieon") {
        config.dieOn = AsciiLower(TrimBlanks(value));
    } else if (lowerKey.starts_with("fail.")) {
        // Numbers up to 0xFFFFFFFF are taken as they are written in hex elsewhere: the HRESULT's bit pattern.
        const auto number = ParseInteger(value);
        if (number && *number >= std::numeric_limits<int32_t>::min() &&
            *number <= static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
            config.failures[lowerKey.substr(5)] = static_cast<int32_t>(static_cast<uint32_t>(*number));
        }
    } else if (lowerKey.starts_with("failtext.")) {
        config.failureTexts[lowerKey.substr(9)] = value;
    } else if (lowerKey.starts_with("delay.")) {
        if (AsciiLower(TrimBlanks(value)) == "never") {
            config.hangs.insert(lowerKey.substr(6));
            return;
        }
        const auto number = ParseInteger(value);
        if (number && *number >= 0 && *number <= static_cast<int64_t>(std::numeric_limits<uint32_t>::max())) {
            config.delays[lowerKey.substr(6)] = static_cast<uint32_t>(*number);
        }
    }
}

}  // namespace

std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

std::optional<int32_t> StandinConfig::FailureFor(std::string_view member) const {
    const auto found = failures.find(AsciiLower(member));
    return found == failures.end() ? std::nullopt : std::optional<int32_t>(found->second);
}

std::optional<std::string> StandinConfig::FailureTextFor(std::string_view member) const {
    const auto found = failureTexts.find(AsciiLower(member));
    return found == failureTexts.end() ? std::nullopt : std::optional<std::string>(found->second);
}

uint32_t StandinConfig::DelayFor(std::string_view member) const {
    const auto found = delays.find(AsciiLower(member));
    return found == delays.end() ? 0 : found->second;
}

bool StandinConfig::HangsOn(std::string_view member) const {
    return hangs.contains(AsciiLower(member));
}

bool StandinConfig::DiesOn(std::string_view member) const {
    return !dieOn.empty() && dieOn == AsciiLower(member);
}

StandinConfig DefaultConfig(std::string_view programFolder) {
    StandinConfig config;
    const std::string folder(programFolder);
    config.userDataPath = folder + "\\User Data";
    config.gmsPath = folder + "\\GMS";
    config.userGmsPath = folder + "\\User GMS";
    config.applicationPath = folder + "\\Programs";
    config.commandBars = {"Standard", "Toolbox"};
    return config;
}

StandinConfig ParseConfig(std::string_view text, StandinConfig config) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const size_t equals = line.find('=');
        if (equals != std::string_view::npos) {
            ApplyLine(line.substr(0, equals), line.substr(equals + 1), config);
        }
    }
    return config;
}

}  // namespace corel_standin
