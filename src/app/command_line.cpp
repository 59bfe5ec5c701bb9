#include "app/command_line.h"

#include "app/texts.h"
#include "config/utf8.h"

namespace tessaro {
namespace {

constexpr text::Text kSilent = "/s";
constexpr text::Text kVerySilent = "/verysilent";
constexpr text::Text kCloseApplications = "/closeapplications";
constexpr text::Text kLogTo = "/log=";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Words separated by blanks; a double quote starts or ends a stretch in which blanks belong to the word, and is
// itself dropped, as the C runtime splits a command line (without its backslash rules, which paths do not need).
std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (IsBlank(c) && !quoted) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
            }
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

bool IsDeploymentSwitch(std::string_view lowerWord) {
    return lowerWord == kSilent || lowerWord == kVerySilent || lowerWord == kCloseApplications ||
           lowerWord.starts_with(kLogTo);
}

}  // namespace

CommandLine ReadCommandLine(std::string_view argumentText) {
    CommandLine line;
    if (utf8::LowerCase(argumentText) == text::kLogSwitch) {
        line.log = true;
        return line;
    }
    // The first word decides, read as written: a blank in front of it keeps the old reading, as for "/log".
    if (argumentText.empty() || IsBlank(argumentText.front())) {
        return line;
    }
    const std::vector<std::string> words = SplitWords(argumentText);
    if (words.empty() || !IsDeploymentSwitch(utf8::LowerCase(words.front()))) {
        return line;
    }
    for (const std::string& word : words) {
        const std::string lower = utf8::LowerCase(word);
        if (lower == kSilent || lower == kVerySilent) {
            line.unattended = true;
        } else if (lower == kCloseApplications) {
            line.closeApplications = true;
        } else if (lower == text::kLogSwitch) {
            line.log = true;
        } else if (lower.starts_with(kLogTo) && word.size() > kLogTo.size()) {
            line.log = true;
            line.logPath = word.substr(kLogTo.size());
        } else {
            line.ignored.push_back(word);
        }
    }
    return line;
}

}  // namespace tessaro
