// Runs one whole install again and again, making the k-th platform or automation call fail, for every k and a
// choice of failure numbers, and checks that every run still ends in exactly one way.
#include "install_fixture.h"

namespace tessaro {
namespace {

using testing::FakeMessageBox;
using testing::FakePlatform;
using testing::ProgramEnded;
using Lines = std::vector<std::string>;

constexpr char kEveryKind[] =
    "setuptitle=全部任务\r\n"
    "fileitem=c|macros.gms|1|gmspath|复制\r\n"
    "fileitem=c|my.cdws|1|importworkspace|导入\r\n"
    "fileitem=k|old.gms|1|usergmspath|删除\r\n"
    "fileitem=r|setup.exe|1|/quiet|运行\r\n"
    "fileitem=m|MyBar|1||工具栏\r\n"
    "fileitem=c|extra.gms|0|applicationpath|\r\n";

const RunFailure kInjected[] = {
    {48, "DLL 加载错误"},
    {-2147024809, "参数不正确。"},
    {429, "ActiveX 部件不能创建对象"},
    {430, "类不支持自动化或不支持期望的接口"},
    {-2147023174, "RPC 服务器不可用。"},
};

void Arrange(FakePlatform& fake) {
    fake.AddFolder("C:\\addon");
    for (const std::string& folder :
         {fake.corel.userDataPath, fake.corel.gmsPath, fake.corel.userGmsPath, fake.corel.applicationPath}) {
        fake.AddFolder(folder);
    }
    for (const char* file : {"macros.gms", "my.cdws", "setup.exe", "extra.gms"}) {
        fake.AddFile(std::string("C:\\addon\\") + file, file);
    }
    fake.AddFile("C:\\Corel\\User GMS\\old.gms", "old", /*readOnly=*/true);
    fake.corel.commandBars = {"Standard", "MyBar"};
    fake.processes = {{9, "coreldrw.exe"}};
    fake.AddFile("C:\\addon\\InstInfo.ini", kEveryKind);
    fake.commandArguments = "/log";
}

struct Outcome {
    int exitStatus = -1;
};

// Runs start-up and the install; anything but the program's own end escaping is a failure of the test.
Outcome RunWholeInstall(FakePlatform& fake) {
    InstallerState state;
    Outcome outcome;
    try {
        EXPECT_EQ(Main(state, fake.platform(), [] {}), StartOutcome::Running);
        cmdInstall_Click(state, fake.platform(), fake);
        ADD_FAILURE() << "the install run returned without ending the program";
    } catch (const ProgramEnded& ended) {
        outcome.exitStatus = ended.exitStatus;
    }
    return outcome;
}

bool IsFatal(const std::string& text) {
    return text.starts_with("缺少安装必需的文件，文件(") || text.starts_with("CorelDRAW X3 可能没有正确安装，路径(");
}

bool IsTaskAction(const std::string& event) {
    return event.starts_with("copy:") || event.starts_with("delete:") || event.starts_with("start:") ||
           event.starts_with("corel:ImportWorkspace") || event.starts_with("corel:CommandBars(");
}

void CheckOneEnding(const FakePlatform& fake, const Outcome& outcome, const std::string& label) {
    SCOPED_TRACE(label);
    std::vector<FakeMessageBox> finals;
    for (const FakeMessageBox& box : fake.boxes) {
        if (box.kind != MessageKind::Confirmation) {
            finals.push_back(box);
        }
    }
    ASSERT_EQ(finals.size(), 1u) << "exactly one final message";
    const FakeMessageBox& last = finals.front();
    EXPECT_EQ(last.title, "Tessaro");
    if (last.kind == MessageKind::Success) {
        EXPECT_EQ(last.text, "安装成功！");
        EXPECT_EQ(outcome.exitStatus, 0);
    } else {
        EXPECT_EQ(outcome.exitStatus, 1) << last.text;
    }

    const Lines log = fake.LogMessages();  // checks every line's stamp and CR LF
    EXPECT_EQ(std::count(log.begin(), log.end(), "销毁 CorelDRAW 对象"), 1);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "安装程序退出");
    EXPECT_EQ(std::count_if(fake.events.begin(), fake.events.end(),
                            [](const std::string& e) { return e.starts_with("end:"); }),
              1);
    EXPECT_TRUE(fake.events.back().starts_with("end:"));

    if (IsFatal(last.text)) {
        const auto fatal = std::find(fake.events.begin(), fake.events.end(), "box:" + last.text);
        EXPECT_TRUE(std::none_of(fatal, fake.events.end(), IsTaskAction)) << "a task ran after the fatal message";
    } else {
        const std::string dialogLine = "对话框：" + last.text;
        EXPECT_NE(std::find(log.begin(), log.end(), dialogLine), log.end());
    }
}

TEST(FaultMatrix, EveryFailingCallEndsTheRunInExactlyOneWay) {
    FakePlatform clean;
    Arrange(clean);
    const Outcome cleanOutcome = RunWholeInstall(clean);
    ASSERT_EQ(cleanOutcome.exitStatus, 0) << (clean.boxes.empty() ? "" : clean.boxes.back().text);
    CheckOneEnding(clean, cleanOutcome, "no failure");
    const int calls = clean.callCount;
    ASSERT_GT(calls, 20) << "the scenario reaches every kind of call";

    int runs = 0;
    for (int k = 1; k <= calls; ++k) {
        for (const RunFailure& failure : kInjected) {
            FakePlatform fake;
            Arrange(fake);
            fake.failCall = k;
            fake.injectedFailure = failure;
            const Outcome outcome = RunWholeInstall(fake);
            CheckOneEnding(fake, outcome,
                           "call " + std::to_string(k) + " fails with " + std::to_string(failure.number));
            ++runs;
        }
    }
    EXPECT_EQ(runs, calls * static_cast<int>(std::size(kInjected)));
}

TEST(FaultMatrix, ToleratedFailuresNeverHideAFailedCopy) {
    // A tolerated failure of the copy call itself leaves the copy undone; the run may say success only because
    // the failure was of a tolerated kind, and the log shows it.
    FakePlatform fake;
    Arrange(fake);
    fake.AddFile("C:\\addon\\InstInfo.ini", "fileitem=c|macros.gms|1|gmspath|\r\n");
    const RunFailure tolerated{48, "DLL 加载错误"};
    FakePlatform probe;
    Arrange(probe);
    probe.AddFile("C:\\addon\\InstInfo.ini", "fileitem=c|macros.gms|1|gmspath|\r\n");
    RunWholeInstall(probe);
    fake.failCall = probe.callCount - 2;  // the copy comes just before the last Visible and Quit
    fake.injectedFailure = tolerated;
    const Outcome outcome = RunWholeInstall(fake);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_FALSE(fake.Exists("C:\\Corel\\GMS\\macros.gms"));
    const Lines log = fake.LogMessages();
    EXPECT_NE(std::find(log.begin(), log.end(), "发生错误，代码：48"), log.end());
}

}  // namespace
}  // namespace tessaro
