#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corel_standin {

// What the stand-in answers and how it misbehaves, as CorelDRW.ini beside the program describes it.
// Member names in the failure maps are kept lower-cased so lookups ignore case.
struct StandinConfig {
    std::string userDataPath;
    std::string gmsPath;
    std::string userGmsPath;
    std::string applicationPath;
    std::vector<std::string> commandBars;

    std::map<std::string, int32_t> failures;
    std::map<std::string, std::string> failureTexts;
    std::map<std::string, uint32_t> delays;
    // Members whose calls never get an answer ("Delay.<Member>=never").
    std::set<std::string> hangs;
    std::string dieOn;
    bool noDispatch = false;

    std::optional<int32_t> FailureFor(std::string_view member) const;
    std::optional<std::string> FailureTextFor(std::string_view member) const;
    uint32_t DelayFor(std::string_view member) const;
    bool HangsOn(std::string_view member) const;
    bool DiesOn(std::string_view member) const;
};

// The answers given when there is no ini file, or when it leaves a key out: folders under the program's own one.
StandinConfig DefaultConfig(std::string_view programFolder);

// Applies the lines of an ini file (UTF-8, optional BOM, CR LF or LF) on top of the defaults. Keys ignore case and
// surrounding blanks; a value is everything after the first "=" up to the line end, untouched. Lines without "=",
// and values that are not numbers where a number is expected, are ignored.
StandinConfig ParseConfig(std::string_view text, StandinConfig defaults);

std::string AsciiLower(std::string_view text);

}  // namespace corel_standin
