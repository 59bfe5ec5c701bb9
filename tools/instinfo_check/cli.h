#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/config_text.h"
#include "instinfo_check/texts.h"

namespace instinfo_check {

inline constexpr int kDefaultCodePage = 936;
// Exit statuses beyond the verdicts 0, 1 and 2.
inline constexpr int kExitUsage = 3;
inline constexpr int kExitInternal = 4;

// What the command line needs from the system it runs on; tests hand in their own.
struct CliEnvironment {
    std::function<void(std::string_view)> writeOut;
    std::function<void(std::string_view)> writeError;
    Language defaultLanguage = Language::English;
    // A decoder for the ANSI code page, or nothing when the system does not know that code page.
    std::function<std::optional<tessaro::AnsiDecoder>(int codePage)> makeDecoder;
};

// Runs the checker for the arguments after the program name (UTF-8) and returns the exit status.
int RunCli(std::span<const std::string> args, const CliEnvironment& environment);

// The language the locale variables ask for (LC_ALL, then LC_MESSAGES, then LANG; the first one set decides).
Language LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang);

}  // namespace instinfo_check
