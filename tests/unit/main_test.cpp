#include <gtest/gtest.h>

#include "app/main.h"
#include "fake_platform.h"

namespace tessaro {
namespace {

using testing::FakePlatform;
using testing::ProgramEnded;
using Lines = std::vector<std::string>;

constexpr std::string_view kOneTask = "setuptitle=插件\r\nfileitem=c|a.gms|1|gmspath\r\n";

class MainTest : public ::testing::Test {
  protected:
    MainTest() { fake.AddFile("C:\\addon\\InstInfo.ini", std::string(kOneTask)); }

    StartOutcome Start(std::string arguments) {
        fake.commandArguments = std::move(arguments);
        return Main(state, fake.platform(), [this] { ++windowsShown; });
    }

    FakePlatform fake;
    InstallerState state;
    int windowsShown = 0;
};

TEST_F(MainTest, LogSwitchInAnyCaseWritesTheStartUpTrace) {
    EXPECT_EQ(Start("/LoG"), StartOutcome::Running);
    EXPECT_EQ(windowsShown, 1);
    EXPECT_EQ(state.AppPath, "C:\\addon\\");
    const Lines log = fake.LogMessages();
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(Lines(log.begin(), log.begin() + 5),
              (Lines{"#安装记录", "获取安装程序路径", "修整安装程序路径", "显示主窗口", "读取安装配置"}));
    EXPECT_EQ(log.back(), "如果必要设置默认封面图片");
}

TEST_F(MainTest, OnlyTheWholeArgumentTextSwitchesLoggingOn) {
    for (const char* arguments : {"", "/log x", " /log", "log", "-log", "/log "}) {
        FakePlatform other;
        other.AddFile("C:\\addon\\InstInfo.ini", std::string(kOneTask));
        other.commandArguments = arguments;
        InstallerState fresh;
        EXPECT_EQ(Main(fresh, other.platform(), [] {}), StartOutcome::Running);
        EXPECT_FALSE(fresh.LogEnabled) << '"' << arguments << '"';
        EXPECT_FALSE(other.Exists("c:\\Tessaro.log")) << '"' << arguments << '"';
    }
}

TEST_F(MainTest, ASecondInstanceEndsSilentlyAndLogsOnlyWithTheSwitch) {
    fake.anotherInstance = true;
    EXPECT_THROW(
        try { Start("/log"); } catch (const ProgramEnded& ended) {
            EXPECT_EQ(ended.exitStatus, 3);
            throw;
        },
        ProgramEnded);
    EXPECT_EQ(fake.LogMessages(), (Lines{"#安装记录", "一个程序事例已经在运行"}));
    EXPECT_EQ(windowsShown, 0);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(state.Log, nullptr) << "the log is closed before the end";

    FakePlatform quiet;
    quiet.anotherInstance = true;
    InstallerState fresh;
    EXPECT_THROW(Main(fresh, quiet.platform(), [] {}), ProgramEnded);
    EXPECT_FALSE(quiet.Exists("c:\\Tessaro.log"));
}

TEST_F(MainTest, RootFolderKeepsExactlyOneBackslash) {
    fake.programFolder = "D:\\";
    fake.AddFile("D:\\InstInfo.ini", std::string(kOneTask));
    EXPECT_EQ(Start(""), StartOutcome::Running);
    EXPECT_EQ(state.AppPath, "D:\\");
}

TEST_F(MainTest, NoTaskLineMeansNoWindowNoMessageAndAFailedStatus) {
    fake.AddFile("C:\\addon\\InstInfo.ini", "setuptitle=x\r\n");
    EXPECT_EQ(Start("/log"), StartOutcome::NoConfiguration);
    EXPECT_EQ(windowsShown, 0);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(state.exitStatus, kExitFailed);
    EXPECT_EQ(fake.LogMessages().at(3), "显示主窗口");
    EXPECT_EQ(fake.LogMessages().back(), "如果必要设置默认封面图片");
}

}  // namespace
}  // namespace tessaro
