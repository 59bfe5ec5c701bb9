// Task lines that name something other than an ordinary file: a NUL inside the name, an empty name, a sub-folder,
// a device, a folder the automation server answers without a drive. Each row is a whole install on a fresh fake.
#include <functional>

#include "install_fixture.h"
#include "platform/message_inserts.h"

namespace tessaro {
namespace {

using namespace std::string_literals;
using testing::FakePlatform;
using testing::InstallHarness;

constexpr char kGms[] = "C:\\Corel\\GMS\\";

struct DamagedCase {
    const char* name;
    std::string fileItems;
    std::function<void(FakePlatform&)> arrange;
    int exitStatus;
    std::string lastBox;
    std::vector<std::pair<std::string, std::string>> untouched;  // path, the content it must keep
    std::string taskLogLine;                                     // one line the task log must hold
};

const std::string kInstalled = "安装成功！";

// The box gets the name as the line has it; the dialog of the platform shows a NUL visibly.
std::string MissingFile(const std::string& name) {
    return "缺少安装必需的文件，文件(" + name + ")不存在。\r\n请联系软件作者寻求帮助。";
}

void KeepGms(FakePlatform& fake) {
    fake.AddFile(kGms + "Keep.gms"s, "the user's", /*readOnly=*/true);
    fake.AddFile("C:\\addon\\Keep.gms", "the add-on's");
}

const DamagedCase kCases[] = {
    {"an optional delete with a NUL in its name keeps the shorter name's file",
     "fileitem=k|Keep.gms\0junk.tmp|0|gmspath\r\n"s,
     KeepGms,
     0,
     kInstalled,
     {{kGms + "Keep.gms"s, "the user's"}},
     "删除文件失败：文件 C:\\Corel\\GMS\\Keep.gms\\x00junk.tmp 不存在"},
    {"a required delete with a NUL in its name is a missing file",
     "fileitem=k|Keep.gms\0junk.tmp|1|gmspath\r\n"s,
     KeepGms,
     1,
     MissingFile("Keep.gms\0junk.tmp"s),
     {{kGms + "Keep.gms"s, "the user's"}},
     ""},
    {"an optional copy with a NUL in its name copies nothing",
     "fileitem=c|Keep.gms\0junk.tmp|0|gmspath\r\n"s,
     KeepGms,
     0,
     kInstalled,
     {{kGms + "Keep.gms"s, "the user's"}},
     ""},
    {"a required copy with a NUL in its name is a missing file",
     "fileitem=c|Keep.gms\0x|1|gmspath\r\n"s,
     KeepGms,
     1,
     MissingFile("C:\\addon\\Keep.gms\0x"s),
     {{kGms + "Keep.gms"s, "the user's"}},
     ""},
    {"a run task with a NUL in its program starts nothing",
     "fileitem=r|Keep.gms\0.exe|1|\r\n"s,
     KeepGms,
     1,
     MissingFile("C:\\addon\\Keep.gms\0.exe"s),
     {},
     "外部程序 C:\\addon\\Keep.gms\\x00.exe 没有找到"},
    {"a delete of a sub-folder is not there",
     "fileitem=k|sub|0|gmspath\r\n",
     [](FakePlatform& fake) { fake.AddFolder(kGms + "sub"s); },
     0,
     kInstalled,
     {},
     ""},
    {"a required delete of a sub-folder is a missing file",
     "fileitem=k|sub|1|gmspath\r\n",
     [](FakePlatform& fake) { fake.AddFolder(kGms + "sub"s); },
     1,
     MissingFile("sub"),
     {},
     ""},
    {"a delete with an empty name does not touch the folder",
     "fileitem=k||0|gmspath\r\n",
     [](FakePlatform&) {},
     0,
     kInstalled,
     {},
     "删除文件失败：文件 C:\\Corel\\GMS\\ 不存在"},
    {"a delete of a device name is not there",
     "fileitem=k|NUL|0|gmspath\r\nfileitem=k|com1.gms|0|gmspath\r\n",
     [](FakePlatform& fake) {
         // Windows finds the devices in every folder.
         fake.AddFile(kGms + "NUL"s, "device");
         fake.AddFile(kGms + "com1.gms"s, "device");
     },
     0,
     kInstalled,
     {{kGms + "NUL"s, "device"}, {kGms + "com1.gms"s, "device"}},
     ""},
    {"a delete the file's lock refuses fails and keeps the read-only mark",
     "fileitem=k|Keep.gms|0|gmspath\r\n",
     [](FakePlatform& fake) {
         KeepGms(fake);
         fake.lockedFiles.insert(kGms + "Keep.gms"s);
     },
     1,
     "发生意外错误，无法删除旧文件。代码：-2147221502",
     {{kGms + "Keep.gms"s, "the user's"}},
     ""},
    {"a relative GMS folder answered by the server is no folder",
     "fileitem=c|Keep.gms|1|gmspath\r\n",
     [](FakePlatform& fake) {
         KeepGms(fake);
         fake.corel.gmsPath = "GMS";
     },
     1,
     "CorelDRAW X3 可能没有正确安装，路径(GMS)不存在。\r\n请联系软件作者寻求帮助。",
     {},
     ""},
    {"an optional delete in a drive-relative folder is skipped",
     "fileitem=k|Keep.gms|0|gmspath\r\n",
     [](FakePlatform& fake) {
         KeepGms(fake);
         fake.corel.gmsPath = "C:Corel\\GMS";
     },
     0,
     kInstalled,
     {{kGms + "Keep.gms"s, "the user's"}},
     ""},
};

TEST(DamagedInput, ATaskActsOnlyOnTheOrdinaryFileItsLineNames) {
    for (const DamagedCase& row : kCases) {
        SCOPED_TRACE(row.name);
        InstallHarness run;
        row.arrange(run.fake);
        EXPECT_EQ(run.StartAndInstall(row.fileItems), row.exitStatus);
        EXPECT_EQ(run.LastBox(), row.lastBox);
        for (const auto& [path, content] : row.untouched) {
            EXPECT_TRUE(run.fake.Exists(path)) << path;
            EXPECT_EQ(run.fake.Content(path), content) << path;
        }
        if (row.exitStatus == 1 && row.lastBox.starts_with("发生意外错误")) {
            EXPECT_TRUE(run.fake.IsReadOnly(kGms + "Keep.gms"s)) << "attributes put back after the refusal";
        }
        if (!row.taskLogLine.empty()) {
            const auto log = run.TaskLog();
            EXPECT_NE(std::find(log.begin(), log.end(), row.taskLogLine), log.end()) << row.taskLogLine;
        }
        EXPECT_EQ(run.fake.Content("C:\\Tessaro.log").find('\0'), std::string::npos) << "a raw NUL in the log";
        for (const std::string& event : run.fake.events) {
            EXPECT_FALSE(event.starts_with("copy:") && row.lastBox != kInstalled) << event;
        }
    }
}

TEST(DamagedInput, SystemTextsShowTheirInsertOrNoPlaceholder) {
    const struct {
        std::string_view message, insert, shown;
    } kTexts[] = {
        {"%1 的 EXE 格式无效", "C:\\addon\\a.exe", "C:\\addon\\a.exe 的 EXE 格式无效"},
        {"%1 的 EXE 格式无效", "", "的 EXE 格式无效"},
        {"%1!s! is not a valid Win32 application", "a.exe", "a.exe is not a valid Win32 application"},
        {"Cannot open %1 and %2", "x", "Cannot open x and"},
        {"100%% done, %n%b stays", "x", "100% done, %n%b stays"},
        {"ends with %", "x", "ends with %"},
        {"%12 then", "x", "then"},
    };
    for (const auto& text : kTexts) {
        EXPECT_EQ(FillMessageInserts(text.message, text.insert), text.shown) << text.message;
    }
}

}  // namespace
}  // namespace tessaro
