#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "app/installer_state.h"
#include "config/inst_info.h"
#include "instinfo_check/checker_platform.h"
#include "instinfo_check/cli.h"
#include "instinfo_check/config_reading.h"
#include "instinfo_check/system.h"

namespace instinfo_check::testing {

inline std::string ExamplePath(const std::string& name) {
    return std::string(INSTINFO_CHECK_EXAMPLES) + "/" + name;
}

inline tessaro::AnsiDecoder Decoder936() {
    return system::MakeAnsiDecoder(936).value();
}

struct CliRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
};

inline CliRun RunChecker(std::vector<std::string> args, Language defaultLanguage = Language::English) {
    CliRun run;
    CliEnvironment environment{
        [&](std::string_view text) { run.out += text; },
        [&](std::string_view text) { run.err += text; },
        defaultLanguage,
        system::MakeAnsiDecoder,
    };
    run.exitStatus = RunCli(args, environment);
    return run;
}

// The task table exactly as Tessaro's ReadInstInfo builds it for this file, read afresh and independently of
// the checker's report.
struct ReaderTable {
    bool showsWindow = false;
    std::vector<TaskFields> tasks;
};

inline ReaderTable ReadWithTessaro(const std::string& path) {
    CheckerPlatform platform(path, Decoder936());
    tessaro::InstallerState state;
    state.AppPath = AppPathOf(path);
    ReaderTable table;
    table.showsWindow = tessaro::ReadInstInfo(state, platform.platform());
    for (std::size_t task = 0; task < state.FileItems.TaskCount(); ++task) {
        TaskFields fields;
        for (int field = 0; field < tessaro::FileItemsTable::kFieldCount; ++field) {
            fields[static_cast<std::size_t>(field)] = state.FileItems.Field(field, task);
        }
        table.tasks.push_back(fields);
    }
    return table;
}

// A folder of its own under the system's temporary folder, removed with everything in it at the end of a test.
class TempFolder {
  public:
    TempFolder() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() / ("instinfo-check-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file.string();
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

}  // namespace instinfo_check::testing
