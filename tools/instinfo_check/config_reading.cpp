#include "instinfo_check/config_reading.h"

#include "app/installer_state.h"
#include "config/inst_info.h"
#include "config/inst_info_line.h"
#include "config/utf8.h"
#include "instinfo_check/checker_platform.h"
#include "instinfo_check/files.h"

namespace instinfo_check {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

Encoding EncodingOf(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        return Encoding::Utf8Bom;
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return Encoding::Utf16Le;
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return Encoding::Utf16Be;
    }
    return Encoding::Ansi;
}

// Goes through the lines as the reader does and notes which line each task came from.
void WalkTaskLines(ConfigReading& reading, std::vector<TaskFields>& walked) {
    bool lastWasShort = false;
    int lastLine = 0;
    for (std::size_t i = 0; i < reading.lines.size(); ++i) {
        const tessaro::ConfigLine parsed = tessaro::ParseConfigLine(reading.lines[i]);
        if (parsed.key != tessaro::ConfigKey::FileItem) {
            continue;
        }
        lastLine = static_cast<int>(i) + 1;
        std::vector<std::string> fields = tessaro::SplitTaskFields(parsed.value);
        lastWasShort = fields.size() < tessaro::kMinTaskFields;
        if (!lastWasShort) {
            walked.push_back(tessaro::StoredTaskFields(fields));
            reading.sources.push_back({lastLine, std::move(fields), false});
        }
    }
    if (lastWasShort) {
        walked.emplace_back();
        reading.sources.push_back({lastLine, {}, true});
    }
}

}  // namespace

std::string AppPathOf(const std::string& iniPath) {
    const std::filesystem::path parent = PathFromUtf8(iniPath).parent_path();
    const std::string folder = parent.empty() ? std::string(".") : Utf8FromPath(parent);
    return folder.back() == kSeparator || folder.back() == '/' ? folder : folder + kSeparator;
}

ConfigReading ReadConfig(const std::string& iniPath, const tessaro::AnsiDecoder& ansiDecoder) {
    ConfigReading reading;
    reading.iniPath = iniPath;
    reading.appPath = AppPathOf(iniPath);

    CheckerPlatform checkerPlatform(iniPath, ansiDecoder);
    tessaro::InstallerState state;
    state.AppPath = reading.appPath;
    const bool showsWindow = tessaro::ReadInstInfo(state, checkerPlatform.platform());
    reading.messages = checkerPlatform.Messages();

    const tessaro::FileBytes& served = checkerPlatform.Served();
    if (served.status != tessaro::ReadStatus::Ok) {
        reading.outcome =
            served.status == tessaro::ReadStatus::NotFound ? ReadOutcome::Missing : ReadOutcome::Unreadable;
        reading.walkAgrees = true;
        return reading;
    }
    reading.outcome = showsWindow ? ReadOutcome::Ok : ReadOutcome::NoTasks;
    reading.bytes = served.bytes;
    reading.encoding = EncodingOf(reading.bytes);
    const std::string text = tessaro::DecodeConfigBytes(reading.bytes, ansiDecoder);
    for (const std::string_view line : tessaro::SplitLines(text)) {
        reading.lines.emplace_back(line);
    }

    reading.setupTitle = state.SetupTitle;
    reading.flagsPicture = state.FlagsPicture;
    for (std::size_t task = 0; task < state.FileItems.TaskCount(); ++task) {
        TaskFields fields;
        for (int field = 0; field < tessaro::FileItemsTable::kFieldCount; ++field) {
            fields[static_cast<std::size_t>(field)] = state.FileItems.Field(field, task);
        }
        reading.tasks.push_back(std::move(fields));
    }

    std::vector<TaskFields> walked;
    WalkTaskLines(reading, walked);
    reading.walkAgrees = walked == reading.tasks;
    return reading;
}

}  // namespace instinfo_check
