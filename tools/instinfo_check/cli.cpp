#include "instinfo_check/cli.h"

#include <charconv>
#include <filesystem>

#include "config/utf8.h"
#include "instinfo_check/analysis.h"
#include "instinfo_check/config_reading.h"
#include "instinfo_check/files.h"
#include "instinfo_check/report_output.h"

namespace instinfo_check {
namespace {

struct Options {
    int codePage = kDefaultCodePage;
    std::optional<Language> language;
    bool json = false;
    bool unattended = false;
    bool help = false;
    std::string path;
};

struct UsageError {
    TextRef text;
    std::string arg;
};

std::optional<int> ParseNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0) {
        return std::nullopt;
    }
    return value;
}

// Fills `options`. Every argument is read before the first error is reported, so the error comes in the
// language that a later --lang asks for.
std::optional<UsageError> ParseArguments(std::span<const std::string> args, Options& options) {
    std::optional<UsageError> error;
    const auto fail = [&](TextRef text, std::string arg) {
        if (!error) {
            error = UsageError{text, std::move(arg)};
        }
    };
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (const auto equals = arg.find('='); equals != std::string::npos) {
                return arg.substr(equals + 1);
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            fail(&Texts::errorMissingValue, arg);
            return std::nullopt;
        };
        const std::string name = arg.substr(0, arg.find('='));
        if (onlyFiles || arg == "-" || !arg.starts_with("-")) {
            if (options.path.empty()) {
                options.path = arg;
            } else {
                fail(&Texts::errorTwoFiles, arg);
            }
        } else if (arg == "--") {
            onlyFiles = true;
        } else if (arg == "-h" || arg == "--help" || arg == "/?") {
            options.help = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--unattended") {
            options.unattended = true;
        } else if (name == "--lang") {
            if (const auto lang = value()) {
                if (*lang == "en") {
                    options.language = Language::English;
                } else if (*lang == "zh") {
                    options.language = Language::Chinese;
                } else {
                    fail(&Texts::errorBadLanguage, *lang);
                }
            }
        } else if (name == "--codepage") {
            if (const auto page = value()) {
                if (const auto number = ParseNumber(*page)) {
                    options.codePage = *number;
                } else {
                    fail(&Texts::errorBadCodePage, *page);
                }
            }
        } else {
            fail(&Texts::errorUnknownOption, arg);
        }
    }
    if (!error && !options.help && options.path.empty()) {
        fail(&Texts::errorNoFile, {});
    }
    return error;
}

// A folder stands for the InstInfo.ini inside it, as the installer would look for it there; a folder that itself
// carries that name is what the installer would meet, and is read (and fails) as such.
std::string ConfigPathFor(const std::string& named) {
    const std::filesystem::path path = PathFromUtf8(named);
    std::error_code error;
    const bool namedLikeConfig = tessaro::utf8::LowerCase(Utf8FromPath(path.filename())) == "instinfo.ini";
    if (!namedLikeConfig && std::filesystem::is_directory(path, error)) {
        return Utf8FromPath(PathFromUtf8(named) / "InstInfo.ini");
    }
    return named;
}

}  // namespace

Language LanguageFromLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value != nullptr && *value != '\0') {
            return std::string_view(value).starts_with("zh") ? Language::Chinese : Language::English;
        }
    }
    return Language::English;
}

int RunCli(std::span<const std::string> args, const CliEnvironment& environment) {
    Options options;
    const std::optional<UsageError> error = ParseArguments(args, options);
    const Language language = options.language.value_or(environment.defaultLanguage);
    const Texts& texts = TextsFor(language);
    const auto usageError = [&](TextRef text, std::string arg) {
        environment.writeError(std::string(texts.errorPrefix) + Render(texts, {text, {Visible(arg)}}) + "\n");
        return kExitUsage;
    };
    if (error) {
        return usageError(error->text, error->arg);
    }
    if (options.help) {
        environment.writeOut(texts.usage);
        return 0;
    }
    const std::optional<tessaro::AnsiDecoder> decoder = environment.makeDecoder(options.codePage);
    if (!decoder) {
        return usageError(&Texts::errorBadCodePage, std::to_string(options.codePage));
    }

    ConfigReading reading = ReadConfig(ConfigPathFor(options.path), *decoder);
    if (!reading.walkAgrees) {
        environment.writeError(std::string(texts.errorPrefix) + std::string(texts.errorWalkDiffers) + "\n");
        return kExitInternal;
    }
    const Report report = Analyse(std::move(reading), options.codePage, options.unattended);
    environment.writeOut(options.json ? JsonReport(report, texts, options.codePage, language)
                                      : PlainReport(report, texts, options.codePage));
    return ExitStatusOf(report);
}

}  // namespace instinfo_check
