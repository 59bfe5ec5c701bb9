#include "engine/perform_task.h"

#include "install_fixture.h"

namespace tessaro {
namespace {

using testing::InstallFixture;

constexpr char kMissingFileMessage[] = "缺少安装必需的文件，文件(C:\\addon\\a.gms)不存在。\r\n请联系软件作者寻求帮助。";

class PerformTaskTest : public InstallFixture {};

TEST(JoinTargetPath, AddsOneBackslashOnlyWhenMissing) {
    EXPECT_EQ(JoinTargetPath("C:\\GMS", "a.gms"), "C:\\GMS\\a.gms");
    EXPECT_EQ(JoinTargetPath("C:\\GMS\\", "a.gms"), "C:\\GMS\\a.gms");
    EXPECT_EQ(JoinTargetPath("C:/GMS/", "sub\\a.gms"), "C:/GMS/\\sub\\a.gms");
    EXPECT_EQ(JoinTargetPath("", ""), "\\");
}

TEST_F(PerformTaskTest, CopyToEveryFolderTokenWithItsLogLine) {
    fake.AddFile("C:\\addon\\a.gms", "A");
    fake.corel.userDataPath += "\\";  // answered with a trailing backslash: no second one
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms|1|userdatapath\r\nfileitem=c|a.gms|1|GMSPATH\r\n"
                              "fileitem=c|a.gms|1|usergmspath\r\nfileitem=c|a.gms|1|applicationpath\r\n"),
              0);
    for (const char* target : {"C:\\Corel\\User Data\\a.gms", "C:\\Corel\\GMS\\a.gms", "C:\\Corel\\User GMS\\a.gms",
                               "C:\\Corel\\Programs\\a.gms"}) {
        EXPECT_EQ(fake.Content(target), "A") << target;
    }
    EXPECT_EQ(TaskLog(),
              (Lines{"准备复制文件到 UserDataPath", "准备复制文件到 GMSPath", "准备复制文件到 UserGMSPath",
                     "准备复制文件到 Application.Path", "对话框：安装成功！", "销毁 CorelDRAW 对象", "安装程序退出"}));
}

TEST_F(PerformTaskTest, RequiredCopyChecksTheSourceBeforeTheFolder) {
    fake.corel.gmsPath = "";
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms|1|gmspath\r\nfileitem=c|b.gms|1|gmspath\r\n"), 1);
    EXPECT_EQ(LastBox(), kMissingFileMessage);
    EXPECT_EQ(TaskLog(), (Lines{"准备复制文件到 GMSPath", "销毁 CorelDRAW 对象", "安装程序退出"}))
        << "no dialog line for a fatal message, and no later task";
    EXPECT_EQ(fake.corel.journal.back(), "Quit") << "the hidden CorelDRAW is asked to quit";
}

TEST_F(PerformTaskTest, RequiredCopyWithUnknownTokenStillNamesTheMissingSource) {
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms|1|nowhere\r\n"), 1);
    EXPECT_EQ(LastBox(), kMissingFileMessage);
}

TEST_F(PerformTaskTest, RequiredCopyIntoAnEmptyFolderNamesAnEmptyPath) {
    fake.AddFile("C:\\addon\\a.gms");
    fake.corel.gmsPath = "";
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms|1|gmspath\r\n"), 1);
    EXPECT_EQ(LastBox(), "CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n请联系软件作者寻求帮助。");
}

TEST_F(PerformTaskTest, OptionalMeansExactlyOne) {
    fake.corel.gmsPath = "";
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms| 1|gmspath\r\nfileitem=c|a.gms|01|gmspath\r\n"
                              "fileitem=c|a.gms|1 |gmspath\r\nfileitem=k|a.gms||gmspath\r\n"),
              0);
    EXPECT_EQ(LastBox(), "安装成功！");
}

TEST_F(PerformTaskTest, CopyOntoAReadOnlyTargetOrIntoAMissingSubFolderFails) {
    fake.AddFile("C:\\addon\\a.gms");
    fake.AddFile("C:\\Corel\\GMS\\a.gms", "old", /*readOnly=*/true);
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms|0|gmspath\r\n"), 1);
    EXPECT_EQ(LastBox(), "发生意外错误，无法复制文件到目标位置。代码：-2147221503");
    EXPECT_EQ(fake.Content("C:\\Corel\\GMS\\a.gms"), "old");

    testing::FakePlatform other;
    other.AddFolder("C:\\Corel\\GMS");
    other.AddFile("C:\\addon\\sub\\a.gms");
    other.AddFile("C:\\addon\\InstInfo.ini", "fileitem=c|sub\\a.gms|1|gmspath\r\n");
    InstallerState otherState;
    ASSERT_EQ(Main(otherState, other.platform(), [] {}), StartOutcome::Running);
    EXPECT_THROW(cmdInstall_Click(otherState, other.platform(), other), testing::ProgramEnded);
    EXPECT_EQ(other.boxes.back().text, "发生意外错误，无法复制文件到目标位置。代码：-2147221503");
    EXPECT_FALSE(other.Exists("C:\\Corel\\GMS\\sub")) << "no folder is created";
}

TEST_F(PerformTaskTest, ImportWorkspaceByItsFullPathAndNeverCopies) {
    fake.AddFile("C:\\addon\\my.cdws");
    EXPECT_EQ(StartAndInstall("fileitem=c|my.cdws|1|ImportWorkspace\r\nfileitem=c|gone.cdws|0|importworkspace\r\n"), 0);
    EXPECT_EQ(TaskLog(), (Lines{"准备导入工作空间", "工作空间文件存在", "准备导入工作空间", "对话框：安装成功！",
                                "销毁 CorelDRAW 对象", "安装程序退出"}));
    EXPECT_NE(std::find(fake.corel.journal.begin(), fake.corel.journal.end(), "ImportWorkspace C:\\addon\\my.cdws"),
              fake.corel.journal.end());
    for (const std::string& event : fake.events) {
        EXPECT_FALSE(event.starts_with("copy:")) << event;
    }
}

TEST_F(PerformTaskTest, AToleratedImportFailureEndsOnlyThatTask) {
    fake.AddFile("C:\\addon\\my.cdws");
    fake.AddFile("C:\\addon\\a.gms");
    fake.corel.failures["ImportWorkspace"] = {48, "x"};
    EXPECT_EQ(StartAndInstall("fileitem=c|my.cdws|1|importworkspace\r\nfileitem=c|a.gms|1|gmspath\r\n"), 0);
    EXPECT_TRUE(fake.Exists("C:\\Corel\\GMS\\a.gms"));
}

TEST_F(PerformTaskTest, DeleteRemovesAReadOnlyFileAndLogsTheTarget) {
    fake.AddFile("C:\\Corel\\GMS\\old.gms", "", /*readOnly=*/true);
    EXPECT_EQ(StartAndInstall("fileitem=k|old.gms|1|gmspath\r\n"), 0);
    EXPECT_FALSE(fake.Exists("C:\\Corel\\GMS\\old.gms"));
    EXPECT_EQ(TaskLog().front(), "准备删除： C:\\Corel\\GMS\\old.gms");
}

TEST_F(PerformTaskTest, RequiredDeleteOfAMissingFileNamesFieldOneAlone) {
    EXPECT_EQ(StartAndInstall("fileitem=k|old.gms|1|usergmspath\r\n"), 1);
    EXPECT_EQ(LastBox(), "缺少安装必需的文件，文件(old.gms)不存在。\r\n请联系软件作者寻求帮助。");
    EXPECT_EQ(TaskLog(),
              (Lines{"准备删除： C:\\Corel\\User GMS\\old.gms",
                     "删除文件失败：文件 C:\\Corel\\User GMS\\old.gms 不存在", "销毁 CorelDRAW 对象", "安装程序退出"}));
}

TEST_F(PerformTaskTest, DeleteWithAnEmptyFolderAsksWithoutLogLine) {
    EXPECT_EQ(StartAndInstall("fileitem=k|old.gms|0|importworkspace\r\nfileitem=k|old.gms|1|nowhere\r\n"), 1);
    EXPECT_EQ(TaskLog(), (Lines{"删除文件失败：目录  不存在", "删除文件失败：目录  不存在", "销毁 CorelDRAW 对象",
                                "安装程序退出"}));
    EXPECT_EQ(LastBox(), "CorelDRAW X3 可能没有正确安装，路径()不存在。\r\n请联系软件作者寻求帮助。");
}

TEST_F(PerformTaskTest, RunHandsOverLowerCasedArgumentsAndNoTrailingBlank) {
    fake.AddFile("C:\\addon\\setup.exe");
    EXPECT_EQ(StartAndInstall("fileitem=r|setup.exe|1|/S\r\nfileitem=r|setup.exe|1|\r\n"), 0);
    EXPECT_EQ(TaskLog().at(0), "准备运行外部程序：C:\\addon\\setup.exe /s");
    EXPECT_EQ(TaskLog().at(1), "准备运行外部程序：C:\\addon\\setup.exe");
    EXPECT_NE(std::find(fake.events.begin(), fake.events.end(), "start:C:\\addon\\setup.exe /s"), fake.events.end());
    EXPECT_NE(std::find(fake.events.begin(), fake.events.end(), "start:C:\\addon\\setup.exe"), fake.events.end());
}

TEST_F(PerformTaskTest, RunOfAMissingProgramAndARefusedStart) {
    EXPECT_EQ(StartAndInstall("fileitem=r|tool.exe|0|\r\nfileitem=r|tool.exe|1|\r\n"), 1);
    EXPECT_EQ(TaskLog().at(0), "外部程序 C:\\addon\\tool.exe 没有找到");
    EXPECT_EQ(LastBox(), "缺少安装必需的文件，文件(C:\\addon\\tool.exe)不存在。\r\n请联系软件作者寻求帮助。");

    testing::FakePlatform other;
    other.AddFile("C:\\addon\\tool.exe");
    other.startRefusal = RunFailure{-2147024703, "不是有效的应用程序。"};
    other.AddFile("C:\\addon\\InstInfo.ini", "fileitem=r|tool.exe|0|\r\n");
    InstallerState otherState;
    ASSERT_EQ(Main(otherState, other.platform(), [] {}), StartOutcome::Running);
    EXPECT_THROW(cmdInstall_Click(otherState, other.platform(), other), testing::ProgramEnded);
    EXPECT_EQ(other.boxes.back().text, "发生意外错误，不是有效的应用程序。。代码：-2147024703");
}

TEST_F(PerformTaskTest, AnEmptyFileNameFindsTheFolderAndThenFails) {
    EXPECT_EQ(StartAndInstall("fileitem=c||0|gmspath\r\n"), 1);
    EXPECT_EQ(LastBox(), "发生意外错误，无法复制文件到目标位置。代码：-2147221503");
}

TEST_F(PerformTaskTest, ToolbarAttemptsStandAloneAndAFailedApplicationIsNotTolerated) {
    fake.corel.commandBars = {"Bar", "Bar"};  // a duplicate: the second attempt removes it too
    EXPECT_EQ(StartAndInstall("fileitem=m|Bar|0|\r\n"), 0);
    EXPECT_TRUE(fake.corel.commandBars.empty());
    EXPECT_EQ(std::count(fake.corel.journal.begin(), fake.corel.journal.end(), "CommandBars(Bar).Delete"), 1)
        << "std::erase removes both; the journal shows one Delete and two failed look-ups";

    testing::FakePlatform other;
    other.corel.failures["Application"] = {48, "x"};
    other.AddFile("C:\\addon\\InstInfo.ini", "fileitem=m|Bar|0|\r\n");
    InstallerState otherState;
    ASSERT_EQ(Main(otherState, other.platform(), [] {}), StartOutcome::Running);
    EXPECT_THROW(cmdInstall_Click(otherState, other.platform(), other), testing::ProgramEnded);
    EXPECT_EQ(other.boxes.back().text, "发生意外错误，对象变量或 With 块变量没有设置。代码：91");
}

TEST_F(PerformTaskTest, ANonToleratedToolbarFailureEndsTheRun) {
    fake.corel.commandBars = {"Bar"};
    fake.corel.failures["CommandBars(Bar).Delete"] = {-2147467259, "未指定的错误"};
    EXPECT_EQ(StartAndInstall("fileitem=m|Bar|0|\r\n"), 1);
    EXPECT_EQ(LastBox(), "发生意外错误，未指定的错误。代码：-2147467259");
    const Lines log = TaskLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "准备删除工具栏：Bar"), 1);
}

}  // namespace
}  // namespace tessaro
