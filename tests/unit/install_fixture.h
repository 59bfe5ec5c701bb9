#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/main.h"
#include "engine/install_run.h"
#include "fake_platform.h"

namespace tessaro::testing {

// Starts the program on the fake platform with an InstInfo.ini, then presses Install. A plain class, so a table
// test can make a fresh one per row; InstallFixture below is the same as a test fixture.
class InstallHarness {
  public:
    using Lines = std::vector<std::string>;

    InstallHarness() {
        fake.AddFolder("C:\\addon");
        for (const std::string& folder :
             {fake.corel.userDataPath, fake.corel.gmsPath, fake.corel.userGmsPath, fake.corel.applicationPath}) {
            fake.AddFolder(folder);
        }
    }

    // Reads the configuration with logging on; true when the window would be shown.
    bool Start(const std::string& instInfo, const std::string& arguments = "/log") {
        fake.AddFile("C:\\addon\\InstInfo.ini", instInfo);
        fake.commandArguments = arguments;
        return Main(state, fake.platform(), [] {}) == StartOutcome::Running;
    }

    // Presses Install; the exit status when the program ended, nothing when the run returned (Cancel).
    std::optional<int> Install() {
        try {
            cmdInstall_Click(state, fake.platform(), fake);
        } catch (const ProgramEnded& ended) {
            return ended.exitStatus;
        }
        return std::nullopt;
    }

    std::optional<int> StartAndInstall(const std::string& instInfo) {
        EXPECT_TRUE(Start(instInfo));
        return Install();
    }

    // Log messages from the Install click on.
    Lines RunLog() const {
        Lines log = fake.LogMessages();
        const auto click = std::find(log.begin(), log.end(), "已点击安装按钮");
        return Lines(click, log.end());
    }

    // Log messages after "开始分析安装任务": the task actions and what follows them.
    Lines TaskLog() const {
        Lines log = fake.LogMessages();
        const auto start = std::find(log.begin(), log.end(), "开始分析安装任务");
        return start == log.end() ? Lines{} : Lines(start + 1, log.end());
    }

    std::string LastBox() const { return fake.boxes.empty() ? std::string() : fake.boxes.back().text; }

    FakePlatform fake;
    InstallerState state;
};

class InstallFixture : public ::testing::Test, public InstallHarness {};

}  // namespace tessaro::testing
