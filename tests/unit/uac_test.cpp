// What the installer does about User Account Control on Vista and later: the per-user VirtualStore copies that
// hide a file from CorelDRAW X3, a copy or deletion refused for want of administrator rights, and the log when
// the root of C: takes no new file.
#include "platform/virtual_store_path.h"

#include "install_fixture.h"
#include "log/class_log.h"

namespace tessaro {
namespace {

using testing::FakePlatform;
using testing::InstallHarness;

constexpr char kLocal[] = "C:\\Users\\me\\AppData\\Local";

TEST(VirtualStorePath, MapsOnlyPathsInsideVirtualizedFolders) {
    const std::vector<std::string> folders = {"C:\\Program Files", "C:\\Program Files (x86)\\", "C:\\WINDOWS", "",
                                              "D:/Data"};
    struct Case {
        const char* path;
        std::optional<std::string> copy;
    } const cases[] = {
        {"C:\\Program Files\\Corel\\GMS\\a.gms",
         std::string(kLocal) + "\\VirtualStore\\Program Files\\Corel\\GMS\\a.gms"},
        {"c:\\PROGRAM FILES\\x.gms", std::string(kLocal) + "\\VirtualStore\\PROGRAM FILES\\x.gms"},
        {"C:\\Program Files (x86)\\Corel\\a.gms",
         std::string(kLocal) + "\\VirtualStore\\Program Files (x86)\\Corel\\a.gms"},
        {"C:/Program Files/Corel/a.gms", std::string(kLocal) + "\\VirtualStore\\Program Files\\Corel\\a.gms"},
        {"C:\\Windows\\corel.ini", std::string(kLocal) + "\\VirtualStore\\Windows\\corel.ini"},
        {"D:\\Data\\a.gms", std::string(kLocal) + "\\VirtualStore\\Data\\a.gms"},
        // Not inside: a longer name that merely starts alike, the folder itself, other drives, relative and UNC.
        {"C:\\Program Files Old\\a.gms", std::nullopt},
        {"C:\\Program Files", std::nullopt},
        {"C:\\Program Files\\", std::nullopt},
        {"E:\\Program Files\\a.gms", std::nullopt},
        {"C:\\Users\\me\\AppData\\Roaming\\Corel\\a.gms", std::nullopt},
        {"Program Files\\a.gms", std::nullopt},
        {"\\\\server\\share\\Program Files\\a.gms", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VirtualStorePath(c.path, folders, kLocal), c.copy) << c.path;
    }
    EXPECT_EQ(VirtualStorePath("C:\\Program Files\\a.gms", folders, std::string(kLocal) + "\\"),
              std::string(kLocal) + "\\VirtualStore\\Program Files\\a.gms");
    EXPECT_EQ(VirtualStorePath("C:\\Program Files\\a.gms", folders, ""), std::nullopt) << "no local folder known";
    EXPECT_EQ(VirtualStorePath("C:\\Program Files\\a.gms", {}, kLocal), std::nullopt);
}

// An installer on a system with a VirtualStore for CorelDRAW's folders.
struct UacInstall : InstallHarness {
    UacInstall() {
        fake.virtualizedFolders = {"C:\\Corel"};
        fake.AddFile("C:\\addon\\a.gms", "new");
    }
};

std::string StoreCopy(const std::string& path) {
    return std::string(kLocal) + "\\VirtualStore" + path.substr(2);
}

// A copy or a deletion replaces or removes the real file, then the VirtualStore copy that CorelDRAW X3 would
// read instead; a task that failed leaves the VirtualStore alone, and one that cannot remove it fails.
TEST(UacInstall, VirtualStoreCopiesGoWithTheRealFileAndOnlyThen) {
    const std::string gms = "C:\\Corel\\GMS\\a.gms";
    const std::string hidden = StoreCopy(gms);
    struct Case {
        const char* name;
        const char* task;
        bool realExists, realLocked, storeCopyExists, storeCopyLocked;
        int exitStatus;
        bool storeCopyRemains;
        std::string box;
    } const cases[] = {
        {"copy, stale store copy", "c|a.gms|1|gmspath", true, false, true, false, 0, false, "安装成功！"},
        {"copy, no store copy", "c|a.gms|1|gmspath", true, false, false, false, 0, false, "安装成功！"},
        {"copy refused", "c|a.gms|1|gmspath", true, true, true, false, 1, true,
         "发生意外错误，无法复制文件到目标位置。代码：-2147221503"},
        {"copy, store copy locked", "c|a.gms|1|gmspath", true, false, true, true, 1, true,
         "发生意外错误，无法复制文件到目标位置。代码：-2147221503"},
        {"delete, stale store copy", "k|a.gms|0|gmspath", true, false, true, false, 0, false, "安装成功！"},
        {"delete refused", "k|a.gms|0|gmspath", true, true, true, false, 1, true,
         "发生意外错误，无法删除旧文件。代码：-2147221502"},
        {"delete, store copy locked", "k|a.gms|0|gmspath", true, false, true, true, 1, true,
         "发生意外错误，无法删除旧文件。代码：-2147221502"},
        {"delete, only a store copy", "k|a.gms|0|gmspath", false, false, true, false, 0, true, "安装成功！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UacInstall run;
        FakePlatform& fake = run.fake;
        if (c.realExists) {
            fake.AddFile(gms, "old");
        }
        if (c.realLocked) {
            fake.lockedFiles.insert(gms);
        }
        if (c.storeCopyExists) {
            fake.AddFile(hidden, "older", /*readOnly=*/true);
        }
        if (c.storeCopyLocked) {
            fake.lockedFiles.insert(hidden);
        }
        EXPECT_EQ(run.StartAndInstall(std::string("fileitem=") + c.task + "\r\n"), c.exitStatus);
        EXPECT_EQ(run.LastBox(), c.box);
        EXPECT_EQ(fake.Exists(hidden), c.storeCopyRemains);
        const InstallHarness::Lines log = run.TaskLog();
        const bool logged = std::find(log.begin(), log.end(), "删除 VirtualStore 中的旧副本：" + hidden) != log.end();
        EXPECT_EQ(logged, c.storeCopyExists && !c.realLocked && c.realExists) << "one log line per store copy tried";
    }
}

TEST(UacInstall, AccessDeniedSaysToRunAsAdministratorAndKeepsTheNumber) {
    UacInstall copy;
    copy.fake.lockedFiles = {"C:\\Corel\\GMS\\a.gms"};
    copy.fake.refusalReason = Refusal::AccessDenied;
    EXPECT_EQ(copy.StartAndInstall("fileitem=c|a.gms|0|gmspath\r\n"), 1);
    EXPECT_EQ(copy.LastBox(),
              "发生意外错误，无法复制文件到目标位置（拒绝访问，请以管理员身份运行安装程序）。代码：-2147221503");

    UacInstall other;
    other.fake.AddFile("C:\\Corel\\GMS\\old.gms");
    other.fake.lockedFiles = {"C:\\Corel\\GMS\\old.gms"};
    other.fake.refusalReason = Refusal::AccessDenied;
    EXPECT_EQ(other.StartAndInstall("fileitem=k|old.gms|0|gmspath\r\n"), 1);
    EXPECT_EQ(other.LastBox(),
              "发生意外错误，无法删除旧文件（拒绝访问，请以管理员身份运行安装程序）。代码：-2147221502");
}

TEST(ClassLogFallback, GoesToTheTemporaryFolderOnlyWhenTheDriveRootRefusesTheFile) {
    struct Case {
        bool rootRefuses, nothingOpens;
        std::string temporaryFolder;
        std::optional<std::string> writtenTo;
    } const cases[] = {
        {false, false, "C:\\Temp", "c:\\Tessaro.log"},
        {true, false, "C:\\Users\\me\\AppData\\Local\\Temp", "C:\\Users\\me\\AppData\\Local\\Temp\\Tessaro.log"},
        {true, false, "", std::nullopt},
        {true, true, "C:\\Temp", std::nullopt},
    };
    for (const Case& c : cases) {
        FakePlatform fake;
        fake.driveRootRefusesFiles = c.rootRefuses;
        fake.logCannotOpen = c.nothingOpens;
        fake.temporaryFolder = c.temporaryFolder;
        {
            ClassLog log(fake, fake);
            log.Begin("第一步");
        }
        for (const std::string& path : {std::string("c:\\Tessaro.log"), c.temporaryFolder + "\\Tessaro.log"}) {
            const bool expected = c.writtenTo && *c.writtenTo == path;
            EXPECT_EQ(fake.Exists(path), expected) << path;
            if (expected) {
                EXPECT_EQ(fake.Content(path), "2026/12/7 5:19:53 #安装记录\r\n2026/12/7 5:19:53 第一步\r\n")
                    << "same name, same format";
            }
        }
    }
}

}  // namespace
}  // namespace tessaro
