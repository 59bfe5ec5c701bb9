#include "install_fixture.h"

namespace tessaro {
namespace {

using testing::InstallFixture;

class InstallRunTest : public InstallFixture {};

constexpr char kRoadOfOneInstall[] =
    "setuptitle=我的插件\r\n"
    "fileitem=c|macros.gms|1|gmspath|正在复制宏文件...\r\n"
    "fileitem=m|MyBar||\r\n";

TEST_F(InstallRunTest, TheRoadOfOneInstallInOrder) {
    fake.AddFile("C:\\addon\\macros.gms", "new macros");
    fake.AddFile("C:\\Corel\\GMS\\macros.gms", "old macros");
    fake.corel.commandBars = {"Standard", "MyBar"};
    fake.processes = {{4, "explorer.exe"}, {42, "CorelDRW.exe"}, {43, "coreldrw.exe"}};

    EXPECT_EQ(StartAndInstall(kRoadOfOneInstall), 0);

    EXPECT_EQ(RunLog(),
              (Lines{"已点击安装按钮", "显示关闭 CorelDRAW 软件警告", "设置安装按钮无效", "改变按钮标题",
                     "停止运行 CorelDRAW.exe", "改变按钮标题", "创建 CorelDRAW 对象", "隐藏 CorelDRAW 对象",
                     "创建文件系统控件", "开始分析安装任务", "准备复制文件到 GMSPath", "准备删除工具栏：MyBar",
                     "准备删除工具栏：MyBar", "发生错误，代码：-2147024809", "准备删除工具栏：MyBar",
                     "发生错误，代码：-2147024809", "对话框：安装成功！", "销毁 CorelDRAW 对象", "安装程序退出"}));
    EXPECT_EQ(fake.Content("C:\\Corel\\GMS\\macros.gms"), "new macros");
    EXPECT_EQ(fake.corel.commandBars, (std::vector<std::string>{"Standard"}));
    EXPECT_EQ(fake.terminated, (std::vector<uint32_t>{42})) << "only the first CorelDRAW, whatever its letter case";
    EXPECT_EQ(fake.corel.journal,
              (Lines{"Visible=False", "GMSManager", "GMSManager.GMSPath", "Application", "Application.CommandBars",
                     "CommandBars(MyBar)", "CommandBars(MyBar).Delete", "Application.CommandBars",
                     "CommandBars(MyBar) not found", "Application.CommandBars", "CommandBars(MyBar) not found",
                     "Visible=False", "Quit"}));

    // What the user saw, in order: the confirmation, the button's progress, the final box.
    const Lines expectedEvents{
        "box:将要强制关闭正在运行的所有 CorelDRAW 软件！\r\n请保存您的工作并退出 CorelDRAW，以免造成损失。",
        "enabled:0",
        "caption:正在初始化，请稍候...",
        "terminate:42",
        "pause:10000",
        "caption:正在检查 CorelDRAW X3...",
        "create:CorelDRAW.Application.13",
        "caption:正在复制宏文件...",
        "copy:C:\\addon\\macros.gms>C:\\Corel\\GMS\\macros.gms",
        "caption:正在安装，请稍候...",
        "caption:安装过程结束！",
        "box:安装成功！",
        "end:0"};
    Lines userEvents;
    for (const std::string& event : fake.events) {
        if (!event.starts_with("corel:")) {
            userEvents.push_back(event);
        }
    }
    EXPECT_EQ(userEvents, expectedEvents);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].kind, MessageKind::Confirmation);
    EXPECT_EQ(fake.boxes[1].kind, MessageKind::Success);
    EXPECT_EQ(fake.boxes[1].title, "Tessaro");
}

TEST_F(InstallRunTest, CancelLeavesEverythingAsItWasAndAllowsAnotherClick) {
    fake.processes = {{43, "coreldrw.exe"}};
    fake.confirmationReply = DialogReply::Cancel;
    ASSERT_TRUE(Start(kRoadOfOneInstall));
    EXPECT_EQ(Install(), std::nullopt);
    EXPECT_EQ(RunLog(), (Lines{"已点击安装按钮", "显示关闭 CorelDRAW 软件警告", "已点击取消"}));
    EXPECT_TRUE(fake.buttonEnabled);
    EXPECT_EQ(fake.buttonCaption, "点这里开始安装");
    EXPECT_TRUE(fake.terminated.empty());
    EXPECT_TRUE(fake.corel.journal.empty());

    fake.confirmationReply = DialogReply::Ok;
    fake.AddFile("C:\\addon\\macros.gms");
    EXPECT_EQ(Install(), 0) << "a later click runs from the start";
}

TEST_F(InstallRunTest, ReportClassesAndTheirMessages) {
    struct Case {
        const char* name;
        void (*arrange)(testing::FakePlatform&);
        const char* message;
    };
    const Case cases[] = {
        {"not registered", [](testing::FakePlatform& f) { f.corelRegistered = false; },
         "本程序只能在安装有 CorelDRAW X3 的系统中使用。"},
        {"no automation", [](testing::FakePlatform& f) { f.corelWithoutDispatch = true; },
         "创建 CorelDRAW X3 程序对象时发生错误，代码：430"},
        {"copy refused", [](testing::FakePlatform& f) { f.copyRefused = true; },
         "发生意外错误，无法复制文件到目标位置。代码：-2147221503"},
        {"server failure",
         [](testing::FakePlatform& f) {
             f.corel.failures["Visible=False"] = {-2147417848, "对象已与其客户端断开连接。"};
         },
         "发生意外错误，对象已与其客户端断开连接。。代码：-2147417848"},
    };
    for (const Case& c : cases) {
        testing::FakePlatform fresh;
        fresh.AddFolder("C:\\Corel\\GMS");
        fresh.AddFile("C:\\addon\\a.gms");
        c.arrange(fresh);
        fresh.AddFile("C:\\addon\\InstInfo.ini", "fileitem=c|a.gms|1|gmspath|\r\nfileitem=c|b.gms|1|gmspath|\r\n");
        fresh.commandArguments = "/log";
        InstallerState freshState;
        ASSERT_EQ(Main(freshState, fresh.platform(), [] {}), StartOutcome::Running);
        EXPECT_THROW(cmdInstall_Click(freshState, fresh.platform(), fresh), testing::ProgramEnded) << c.name;
        ASSERT_FALSE(fresh.boxes.empty()) << c.name;
        EXPECT_EQ(fresh.boxes.back().text, c.message) << c.name;
        EXPECT_EQ(fresh.boxes.back().kind, MessageKind::Error) << c.name;
        const Lines log = fresh.LogMessages();
        EXPECT_EQ(log.at(log.size() - 3), std::string("对话框：") + c.message) << c.name;
        EXPECT_EQ(fresh.events.back(), "end:1") << c.name;
        EXPECT_EQ(std::count(fresh.events.begin(), fresh.events.end(), "copy:C:\\addon\\b.gms>C:\\Corel\\GMS\\b.gms"),
                  0)
            << c.name << ": no task runs after the failure";
    }
}

TEST_F(InstallRunTest, NotRegisteredStillEndsCorelDrawAndPausesFirst) {
    fake.corelRegistered = false;
    fake.processes = {{7, "CORELDRW.EXE"}};
    EXPECT_EQ(StartAndInstall("fileitem=c|a|1|gmspath\r\n"), 1);
    EXPECT_EQ(fake.terminated, (std::vector<uint32_t>{7}));
    const auto pause = std::find(fake.events.begin(), fake.events.end(), "pause:10000");
    const auto create = std::find(fake.events.begin(), fake.events.end(), "create:CorelDRAW.Application.13");
    EXPECT_LT(pause, create);
    EXPECT_EQ(fake.buttonCaption, "正在检查 CorelDRAW X3...") << "the caption stays as it was when the run failed";
    EXPECT_FALSE(fake.buttonEnabled);
}

TEST_F(InstallRunTest, UnknownKindsOnlyChangeTheCaption) {
    EXPECT_EQ(StartAndInstall("fileitem=x|a|1|gmspath|甲\r\nfileitem=c |a|1|gmspath\r\nfileitem=\r\n"), 0);
    EXPECT_EQ(TaskLog(), (Lines{"对话框：安装成功！", "销毁 CorelDRAW 对象", "安装程序退出"}));
    const Lines captions = [&] {
        Lines found;
        for (const std::string& e : fake.events) {
            if (e.starts_with("caption:"))
                found.push_back(e.substr(8));
        }
        return found;
    }();
    EXPECT_EQ(captions, (Lines{"正在初始化，请稍候...", "正在检查 CorelDRAW X3...", "甲", "正在安装，请稍候...",
                               "正在安装，请稍候...", "安装过程结束！"}));
}

TEST_F(InstallRunTest, OnlyToleratedFailuresEndInSuccess) {
    fake.corel.failures["GMSManager.GMSPath"] = {48, "DLL 加载错误"};
    fake.corel.failures["Visible=False"] = {-2147024809, "参数不正确。"};
    EXPECT_EQ(StartAndInstall("fileitem=c|a.gms|0|gmspath\r\n"), 0);
    EXPECT_EQ(LastBox(), "安装成功！");
    EXPECT_EQ(TaskLog(), (Lines{"准备复制文件到 GMSPath", "发生错误，代码：48", "发生错误，代码：-2147024809",
                                "对话框：安装成功！", "销毁 CorelDRAW 对象", "安装程序退出"}));
}

TEST_F(InstallRunTest, AToleratedShutdownFailureGoesOnWithThePause) {
    fake.failCall = 1;  // the process snapshot
    fake.injectedFailure = {48, "DLL 加载错误"};
    fake.processes = {{43, "coreldrw.exe"}};
    EXPECT_EQ(StartAndInstall("fileitem=x|a|1|gmspath\r\n"), 0);
    EXPECT_TRUE(fake.terminated.empty());
    const Lines log = RunLog();
    EXPECT_EQ(log.at(5), "发生错误，代码：48");
    EXPECT_EQ(log.at(6), "改变按钮标题");
}

TEST_F(InstallRunTest, AFailureWithoutANumberIsNeverReportedAsSuccess) {
    fake.startRefusal = RunFailure{0, "启动失败"};
    fake.AddFile("C:\\addon\\setup.exe");
    EXPECT_EQ(StartAndInstall("fileitem=r|setup.exe|1|\r\n"), 1);
    EXPECT_EQ(LastBox(), "发生意外错误，启动失败。代码：-2147467259");
}

TEST_F(InstallRunTest, WithoutLogSwitchNothingIsWritten) {
    fake.AddFile("C:\\addon\\a.gms");
    ASSERT_TRUE(Start("fileitem=c|a.gms|1|gmspath\r\n", ""));
    EXPECT_EQ(Install(), 0);
    EXPECT_FALSE(fake.Exists("c:\\Tessaro.log"));
    EXPECT_EQ(LastBox(), "安装成功！");
}

}  // namespace
}  // namespace tessaro
