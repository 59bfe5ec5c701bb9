// Deployment tools' command lines, and the unattended run they start, on the fake platform.
#include <functional>

#include "app/command_line.h"
#include "install_fixture.h"

namespace tessaro {
namespace {

using testing::FakePlatform;
using testing::InstallHarness;
using testing::ProgramEnded;

struct CommandLineCase {
    const char* text;
    bool log;
    std::string logPath;
    bool unattended;
    bool closeApplications;
    std::vector<std::string> ignored;
};

TEST(CommandLine, OnlyTheExactLogSwitchOrALineThatStartsWithADeploymentSwitchCounts) {
    const CommandLineCase cases[] = {
        // The one switch a plain start knows, exactly as ever.
        {"/log", true, "", false, false, {}},
        {"/LOG", true, "", false, false, {}},
        {" /log", false, "", false, false, {}},
        {"/log x", false, "", false, false, {}},
        {"/log /S", false, "", false, false, {}},  // begins with the old switch: the old reading
        {"x /S", false, "", false, false, {}},
        {" /S", false, "", false, false, {}},
        {"/Sx", false, "", false, false, {}},
        {"-S", false, "", false, false, {}},
        {"", false, "", false, false, {}},
        // Deployment switches, in any letter case and order.
        {"/S", false, "", true, false, {}},
        {"/verysilent", false, "", true, false, {}},
        {"/s /log", true, "", true, false, {}},
        {"/VERYSILENT /LOG=C:\\deploy\\t.log /CLOSEAPPLICATIONS", true, "C:\\deploy\\t.log", true, true, {}},
        {"/S /LOG=\"C:\\Program Files\\t.log\"", true, "C:\\Program Files\\t.log", true, false, {}},
        {"/S \"/LOG=C:\\a b\\t.log\"", true, "C:\\a b\\t.log", true, false, {}},
        {"/S /log /LOG=D:\\t.log", true, "D:\\t.log", true, false, {}},
        {"/S\t/S  /s", false, "", true, false, {}},
        {"/LOG=C:\\t.log", true, "C:\\t.log", false, false, {}},  // a trace of a run with the window
        {"/CLOSEAPPLICATIONS", false, "", false, true, {}},
        {"/S /NORESTART /SUPPRESSMSGBOXES x", false, "", true, false, {"/NORESTART", "/SUPPRESSMSGBOXES", "x"}},
        {"/LOG=", false, "", false, false, {"/LOG="}},
    };
    for (const CommandLineCase& c : cases) {
        const CommandLine line = ReadCommandLine(c.text);
        EXPECT_EQ(line.log, c.log) << c.text;
        EXPECT_EQ(line.logPath, c.logPath) << c.text;
        EXPECT_EQ(line.unattended, c.unattended) << c.text;
        EXPECT_EQ(line.closeApplications, c.closeApplications) << c.text;
        EXPECT_EQ(line.ignored, c.ignored) << c.text;
    }
}

constexpr char kDeployLog[] = "C:\\deploy\\t.log";
const std::string kOneCopy = "[Tessaro]\r\nfileitem=c|a.gms|1|gmspath|\r\n";

struct UnattendedCase {
    const char* name;
    std::string arguments;
    std::string instInfo;  // empty: no InstInfo.ini
    std::function<void(FakePlatform&)> arrange;
    int exitStatus;
    bool installed;  // a.gms reached the macro folder
    std::string lastLogLine;
};

TEST(UnattendedRun, EndsWithItsStatusAndItsLogAndNeverShowsABox) {
    const auto withSource = [](FakePlatform& fake) { fake.AddFile("C:\\addon\\a.gms", "new"); };
    const auto corelRunning = [withSource](FakePlatform& fake) {
        withSource(fake);
        fake.processes = {{4, "explorer.exe"}, {7, "CorelDRW.exe"}};
    };
    const std::string silent = std::string("/S /LOG=") + kDeployLog;
    const UnattendedCase cases[] = {
        {"installed", silent, kOneCopy, withSource, kExitInstalled, true, "安装程序退出"},
        {"CorelDRAW running", silent, kOneCopy, corelRunning, kExitCorelRunning, false, "安装程序退出"},
        {"CorelDRAW running, may be closed", silent + " /CLOSEAPPLICATIONS", kOneCopy, corelRunning, kExitInstalled,
         true, "安装程序退出"},
        {"no InstInfo.ini", silent, "", withSource, kExitNoConfiguration, false,
         "对话框：缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。"},
        {"no task", silent, "[Tessaro]\r\nsetuptitle=x\r\n", withSource, kExitNoConfiguration, false,
         "如果必要设置默认封面图片"},
        {"another instance", silent, kOneCopy,
         [withSource](FakePlatform& fake) {
             withSource(fake);
             fake.anotherInstance = true;
         },
         kExitAlreadyRunning, false, "一个程序事例已经在运行"},
        {"CorelDRAW X3 not installed", silent, kOneCopy,
         [withSource](FakePlatform& fake) {
             withSource(fake);
             fake.corelRegistered = false;
         },
         kExitCorelNotInstalled, false, "安装程序退出"},
        {"required file missing", silent, kOneCopy, [](FakePlatform&) {}, kExitFileMissing, false, "安装程序退出"},
        {"CorelDRAW folder missing", silent, kOneCopy,
         [withSource](FakePlatform& fake) {
             withSource(fake);
             fake.corel.gmsPath = "";
         },
         kExitCorelFolderMissing, false, "安装程序退出"},
        {"copy refused", silent, kOneCopy,
         [withSource](FakePlatform& fake) {
             withSource(fake);
             fake.copyRefused = true;
         },
         kExitFailed, false, "安装程序退出"},
    };
    for (const UnattendedCase& c : cases) {
        SCOPED_TRACE(c.name);
        InstallHarness run;
        run.fake.AddFolder("C:\\deploy");
        c.arrange(run.fake);
        if (!c.instInfo.empty()) {
            run.fake.AddFile("C:\\addon\\InstInfo.ini", c.instInfo);
        }
        run.fake.commandArguments = c.arguments;
        int status = -1;
        try {
            EXPECT_EQ(Main(run.state, run.fake.platform(), [] { ADD_FAILURE() << "a window in an unattended run"; }),
                      StartOutcome::NoConfiguration);
            status = run.state.exitStatus;
        } catch (const ProgramEnded& ended) {
            status = ended.exitStatus;
        }
        EXPECT_EQ(status, c.exitStatus);
        EXPECT_TRUE(run.fake.boxes.empty()) << run.fake.boxes.front().text;
        EXPECT_EQ(run.fake.Content("C:\\Corel\\GMS\\a.gms") == "new", c.installed);
        EXPECT_FALSE(run.fake.Exists("c:\\Tessaro.log"));
        const std::vector<std::string> log = run.fake.LogMessages(kDeployLog);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), c.lastLogLine);
        // Every box text is logged exactly once, whether or not the run writes its line itself.
        for (std::size_t i = 1; i < log.size(); ++i) {
            EXPECT_FALSE(log[i].starts_with("对话框：") && log[i] == log[i - 1]) << log[i];
        }
        const bool ended =
            std::find(run.fake.terminated.begin(), run.fake.terminated.end(), 7u) != run.fake.terminated.end();
        EXPECT_EQ(ended, c.arguments.find("/CLOSEAPPLICATIONS") != std::string::npos);
    }
}

// The deployment tool sees the trace a person would see after pressing Install and OK.
TEST(UnattendedRun, WritesTheLinesOfTheButtonsRun) {
    InstallHarness withWindow;
    withWindow.fake.AddFile("C:\\addon\\a.gms", "new");
    EXPECT_EQ(withWindow.StartAndInstall(kOneCopy), kExitInstalled);

    InstallHarness unattended;
    unattended.fake.AddFile("C:\\addon\\a.gms", "new");
    unattended.fake.AddFile("C:\\addon\\InstInfo.ini", kOneCopy);
    unattended.fake.commandArguments = "/S /log";
    try {
        Main(unattended.state, unattended.fake.platform(), [] {});
        ADD_FAILURE() << "the unattended run came back";
    } catch (const ProgramEnded& ended) {
        EXPECT_EQ(ended.exitStatus, kExitInstalled);
    }
    std::vector<std::string> expected = withWindow.RunLog();
    expected.insert(expected.begin(), "无人值守安装");
    const std::vector<std::string> log = unattended.fake.LogMessages();
    EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<std::ptrdiff_t>(expected.size()), log.end()), expected);
    // The same calls in the same order, less the window's boxes and button.
    std::vector<std::string> calls = withWindow.fake.events;
    std::erase_if(calls, [](const std::string& event) {
        return event.starts_with("box:") || event.starts_with("caption:") || event.starts_with("enabled:");
    });
    EXPECT_EQ(unattended.fake.events, calls);
}

}  // namespace
}  // namespace tessaro
