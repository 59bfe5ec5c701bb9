// Synthetic files for the corners the examples do not show, and a randomised comparison of the checker's walk
// with Tessaro's reader.
#include <gtest/gtest.h>

#include <algorithm>

#include "instinfo_check/analysis.h"
#include "instinfo_check/files.h"
#include "instinfo_check/phrase.h"
#include "instinfo_check/report_output.h"
#include "test_support.h"

namespace instinfo_check::testing {
namespace {

using namespace std::string_literals;
using Findings = std::vector<std::pair<int, std::string>>;

Findings Pairs(const std::vector<Finding>& findings) {
    Findings pairs;
    for (const Finding& finding : findings) {
        pairs.emplace_back(finding.line, std::string(finding.code));
    }
    return pairs;
}

// 1 x 1 pixel at 24 bits: the file header, the info header, one padded row.
const std::string kSoundBitmap =
    "BM\x3A\0\0\0\0\0\0\0\x36\0\0\0"
    "\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0\0\0\0\0\x04\0\0\0\x13\x0B\0\0\x13\x0B\0\0\0\0\0\0\0\0\0\0"
    "\x20\x80\xC0\0"s;

class AnalysisTest : public ::testing::Test {
  protected:
    AnalysisTest() {
        folder.Write("cover.bmp", kSoundBitmap);
        folder.Write("a.gms", "x");
    }

    Report Analyse(const std::string& bytes) {
        const std::string path = folder.Write("InstInfo.ini", bytes);
        return instinfo_check::Analyse(ReadConfig(path, Decoder936()), 936);
    }

    TempFolder folder;
};

TEST_F(AnalysisTest, LineNumbersFollowEveryKindOfLineEnd) {
    const Report report = Analyse("flagspicture=cover.bmp\rno equals\nfileitem=c|a.gms|1|gmspath|x\r\nbad\r\n");
    EXPECT_EQ(Pairs(report.warnings), (Findings{{2, "no-equals"}, {4, "no-equals"}}));
    ASSERT_EQ(report.tasks.size(), 1u);
    EXPECT_EQ(report.tasks[0].source.line, 3);
}

TEST_F(AnalysisTest, BlankLinesAreLayoutNotFindings) {
    const Report report = Analyse("flagspicture=cover.bmp\r\n\r\n   \r\nfileitem=c|a.gms|1|gmspath|x\r\n");
    EXPECT_TRUE(report.warnings.empty());
    EXPECT_TRUE(report.notes.empty());
    EXPECT_EQ(ExitStatusOf(report), 0);
}

TEST_F(AnalysisTest, KeysWithTabsOrInnerBlanksAreNamedForWhatTheyWouldMatch) {
    const Report report = Analyse(
        "flagspicture=cover.bmp\r\n"
        "setuptitle\t=Tab after the key\r\n"
        "Flags Picture=cover.bmp\r\n"
        "setup\ttitle=Tab inside\r\n"
        "fileitem=c|a.gms|1|gmspath|x\r\n");
    EXPECT_EQ(Pairs(report.warnings), (Findings{{2, "key-tab"}, {3, "key-blanks"}, {4, "key-tab"}}));
    EXPECT_EQ(Render(kEnglishTexts, report.warnings[0].message),
              "ignored: the key \"setuptitle\\t\" has a tab in it; the installer only removes spaces around a key, so "
              "it does not match \"setuptitle\"");
    EXPECT_EQ(report.title, "Tessaro");
    EXPECT_TRUE(report.titleDefault);
}

TEST_F(AnalysisTest, BlanksAroundTheKeyAreFineAndCaseDoesNotMatter) {
    const Report report = Analyse("  FlagsPicture  =  cover.bmp  \r\n FILEITEM =c|a.gms|1|gmspath|x\r\n");
    EXPECT_TRUE(report.warnings.empty());
    EXPECT_EQ(report.picture, "cover.bmp");
}

TEST_F(AnalysisTest, RequiredLookalikesAndRealFlags) {
    const Report report = Analyse(
        "flagspicture=cover.bmp\r\n"
        "fileitem=c|a.gms|1|gmspath|x\r\n"
        "fileitem=c|a.gms|0|gmspath|x\r\n"
        "fileitem=c|a.gms||gmspath|x\r\n"
        "fileitem=c|a.gms|TRUE|gmspath|x\r\n"
        "fileitem=c|a.gms|\t1|gmspath|x\r\n"
        "fileitem=c|a.gms|2|gmspath|x\r\n");
    EXPECT_EQ(Pairs(report.warnings), (Findings{{5, "required-flag"}, {6, "required-flag"}}));
    ASSERT_EQ(report.tasks.size(), 6u);
    EXPECT_TRUE(report.tasks[0].required);
    for (std::size_t i = 1; i < report.tasks.size(); ++i) {
        EXPECT_FALSE(report.tasks[i].required) << i;
    }
}

TEST_F(AnalysisTest, EveryTargetTokenHasItsFolder) {
    const Report report = Analyse(
        "flagspicture=cover.bmp\r\n"
        "fileitem=c|a.gms|1|UserDataPath|x\r\n"
        "fileitem=c|a.gms|1|gmspath|x\r\n"
        "fileitem=c|a.gms|1|usergmspath|x\r\n"
        "fileitem=c|a.gms|1|applicationpath|x\r\n"
        "fileitem=k|a.gms|0|applicationpath|x\r\n"
        "fileitem=c|a.gms|1|importworkspace|x\r\n");
    EXPECT_TRUE(report.warnings.empty());
    ASSERT_EQ(report.tasks.size(), 6u);
    EXPECT_NE(DescribeTask(report.tasks[0], kEnglishTexts).find("user data folder (Application.UserDataPath)"),
              std::string::npos);
    EXPECT_NE(DescribeTask(report.tasks[2], kEnglishTexts).find("user GMS folder (GMSManager.UserGMSPath)"),
              std::string::npos);
    EXPECT_NE(DescribeTask(report.tasks[3], kEnglishTexts).find("program folder (Application.Path)"),
              std::string::npos);
    EXPECT_EQ(DescribeTask(report.tasks[4], kEnglishTexts),
              "delete a.gms from CorelDRAW's program folder (Application.Path); not required: nothing happens if the "
              "file is not there");
    EXPECT_EQ(DescribeTask(report.tasks[4], kChineseTexts),
              "从 CorelDRAW 的程序文件夹（Application.Path）中删除 a.gms；非必需：文件不存在时什么也不做");
    EXPECT_EQ(report.tasks[5].action, TaskAction::ImportWorkspace);
}

TEST_F(AnalysisTest, ARunTaskWithoutArgumentsAndAToolbarWithBlanks) {
    folder.Write("setup.exe", "MZ");
    const Report report = Analyse(
        "flagspicture=cover.bmp\r\n"
        "fileitem=r|setup.exe|1||x\r\n"
        "fileitem=m| My Bar |0||x\r\n");
    EXPECT_EQ(Pairs(report.warnings), (Findings{{3, "file-blanks"}}));
    EXPECT_EQ(DescribeTask(report.tasks[0], kEnglishTexts),
              "start setup.exe from the installer folder without arguments, without waiting for it; required: the "
              "install stops if the program is missing");
}

TEST_F(AnalysisTest, OnlyShortLinesStillShowTheWindowWithOneEmptyTask) {
    const Report report = Analyse("flagspicture=cover.bmp\r\nfileitem=c|a.gms\r\nfileitem=\r\n");
    EXPECT_EQ(report.reading.outcome, ReadOutcome::Ok);
    ASSERT_EQ(report.tasks.size(), 1u);
    EXPECT_TRUE(report.tasks[0].source.trailingEmpty);
    EXPECT_EQ(report.tasks[0].source.line, 3);
    EXPECT_EQ(Pairs(report.warnings), (Findings{{2, "short-task"}, {3, "short-task-last"}}));
    EXPECT_EQ(ExitStatusOf(report), 1);
}

TEST_F(AnalysisTest, FileNamesAreFoundAsWindowsWouldFindThem) {
    folder.Write("Sub Dir/Tool.GMS", "x");
    const Report report = Analyse(
        "flagspicture=cover.bmp\r\n"
        "fileitem=c|sub dir\\tool.gms|0|importworkspace|x\r\n"
        "fileitem=c|A.GMS.|0|importworkspace|x\r\n"
        "fileitem=c|sub dir/./tool.gms|0|importworkspace|x\r\n");
    EXPECT_TRUE(report.warnings.empty());
    EXPECT_EQ(Pairs(report.notes), (Findings{{2, "case-differs"}, {3, "case-differs"}, {4, "case-differs"}}));
}

TEST_F(AnalysisTest, Utf16WithoutMarkAndBigEndianWithMark) {
    const std::u16string text = u"flagspicture=cover.bmp\r\nfileitem=c|a.gms|1|gmspath|复制\r\n";
    std::string little;
    std::string big = "\xFE\xFF";
    for (const char16_t unit : text) {
        little += static_cast<char>(unit & 0xFF);
        little += static_cast<char>(unit >> 8);
        big += static_cast<char>(unit >> 8);
        big += static_cast<char>(unit & 0xFF);
    }
    const Report bigReport = Analyse(big);
    EXPECT_EQ(bigReport.reading.encoding, Encoding::Utf16Be);
    EXPECT_TRUE(bigReport.warnings.empty());
    ASSERT_EQ(bigReport.tasks.size(), 1u);
    EXPECT_EQ(bigReport.tasks[0].fields[4], "复制");

    const Report noMark = Analyse(little);
    EXPECT_EQ(noMark.reading.outcome, ReadOutcome::NoTasks);
    ASSERT_FALSE(noMark.warnings.empty());
    EXPECT_EQ(Pairs(noMark.warnings)[0], (std::pair<int, std::string>{0, "utf16-without-bom"}));
    EXPECT_EQ(ExitStatusOf(noMark), 2);
}

TEST_F(AnalysisTest, ControlCharactersAreShownNotPrinted) {
    const Report report = Analyse("flagspicture=cover.bmp\r\nfileitem=x\x01y|a\0b|1|gmspath|x\r\n"s);
    ASSERT_EQ(report.tasks.size(), 1u);
    EXPECT_EQ(report.tasks[0].fields[1], "a\0b"s);
    EXPECT_EQ(Render(kEnglishTexts, report.warnings[0].message).substr(0, 23), "unknown kind \"x\\x01y\": ");
    const std::string plain = PlainReport(report, kEnglishTexts, 936);
    EXPECT_EQ(plain.find('\0'), std::string::npos);
    EXPECT_NE(plain.find("file \"a\\x00b\""), std::string::npos);
}

TEST_F(AnalysisTest, HostileContentNeverCrashes) {
    std::string content = "fileitem=c|a\0b|1|gmspath|\0\r\n"s;
    content += "setuptitle=" + std::string(1024 * 1024, 'x') + "\r\n";
    content += std::string(100000, '|') + "\r\n";
    content += "fileitem=" + std::string(100000, '|') + "\r\n";
    content += std::string(5000, '=') + "\r\n";
    content += "\xFF\xFE\xFD\r\n";
    const Report report = Analyse(content);
    EXPECT_TRUE(report.reading.walkAgrees);
    EXPECT_EQ(report.tasks.size(), 2u);
    EXPECT_FALSE(PlainReport(report, kChineseTexts, 936).empty());
}

// Random files from the bits that matter to the reader: the checker's own walk must always come to the table
// ReadInstInfo builds, and every task must point at a fileitem line.
TEST_F(AnalysisTest, RandomFilesNeverPutTheWalkOutOfStep) {
    const std::vector<std::string> pieces = {
        "fileitem", "FileItem", " fileitem ", "file item", "\tfileitem", "setuptitle", "flagspicture",
        "=",        "==",       "|",          "||",        "c",          "K",          "r",
        "m",        " ",        "\t",         "1",         "宏",         "\r\n",       "\n",
        "\r",       "x",        "GMSPath",    ";",
    };
    std::mt19937 random(20261207);
    for (int round = 0; round < 300; ++round) {
        std::string content;
        const int length = static_cast<int>(random() % 60);
        for (int i = 0; i < length; ++i) {
            content += pieces[random() % pieces.size()];
        }
        const Report report = Analyse(content);
        ASSERT_TRUE(report.reading.walkAgrees) << content;
        const std::string path = folder.Path("InstInfo.ini");
        const ReaderTable reader = ReadWithTessaro(path);
        ASSERT_EQ(report.tasks.size(), reader.tasks.size()) << content;
        for (std::size_t t = 0; t < reader.tasks.size(); ++t) {
            ASSERT_EQ(report.tasks[t].fields, reader.tasks[t]) << content;
            const int line = report.tasks[t].source.line;
            ASSERT_GE(line, 1);
            ASSERT_LE(static_cast<std::size_t>(line), report.reading.lines.size());
        }
        ASSERT_EQ(report.reading.outcome == ReadOutcome::Ok, reader.showsWindow) << content;
        for (const Finding& finding : report.warnings) {
            ASSERT_LE(static_cast<std::size_t>(finding.line), report.reading.lines.size()) << content;
        }
    }
}

TEST(Files, LookupIgnoresCaseAndTrailingDotsAndBlanksOnly) {
    TempFolder folder;
    folder.Write("Data/Macro.gms", "x");
    const auto base = PathFromUtf8(folder.Path(""));
    EXPECT_EQ(FindBeside(base, "data\\macro.GMS").presence, Presence::File);
    EXPECT_TRUE(FindBeside(base, "data\\macro.GMS").caseDiffers);
    EXPECT_EQ(FindBeside(base, "data\\macro.GMS").foundAs, "Data/Macro.gms");
    EXPECT_EQ(FindBeside(base, "Data/Macro.gms. ").presence, Presence::File);
    EXPECT_FALSE(FindBeside(base, "Data/Macro.gms").caseDiffers);
    EXPECT_EQ(FindBeside(base, " Data/Macro.gms").presence, Presence::Missing);
    EXPECT_EQ(FindBeside(base, "data").presence, Presence::Folder);
    EXPECT_EQ(FindBeside(base, "nothing/here").presence, Presence::Missing);
}

TEST(Phrases, PlaceholdersAndVisibleText) {
    EXPECT_EQ(Format("{1} and {0}, {2} stays", {"a", "b"}), "b and a, {2} stays");
    EXPECT_EQ(Format("{", {}), "{");
    EXPECT_EQ(Visible("a\tb\x7f\x1f"), "a\\tb\\x7F\\x1F");
}

}  // namespace
}  // namespace instinfo_check::testing

namespace instinfo_check::testing {
namespace {

struct SaidCase {
    const char* name;
    std::string ini;
    Findings warnings;
};

// Lines whose effect differs from what they seem to say, each with the warning that says so and nothing else.
TEST_F(AnalysisTest, WarnsWhereTheInstallerDoesOtherThanTheLineSeemsToSay) {
    std::string huge = kSoundBitmap;
    huge.replace(18, 8, "\x98\x3A\0\0\x98\x3A\0\0"s);  // 15000 x 15000
    folder.Write("cut.bmp", kSoundBitmap.substr(0, kSoundBitmap.size() - 1));
    folder.Write("huge.bmp", huge);
    folder.Write("cover.png", "\x89PNG\r\n\x1A\n");
    const std::string task = "fileitem=c|a.gms|1|gmspath|x\r\n";
    const auto remove = [](const std::string& name) {
        return "flagspicture=cover.bmp\r\nfileitem=k|" + name + "|0|gmspath|x\r\n";
    };
    const SaidCase cases[] = {
        {"sound picture", "flagspicture=cover.bmp\r\n" + task, {}},
        {"cut picture", "flagspicture=cut.bmp\r\n" + task, {{1, "picture-damaged"}}},
        {"picture past the cap", "flagspicture=huge.bmp\r\n" + task, {{1, "picture-too-large"}}},
        {"PNG", "flagspicture=cover.png\r\n" + task, {{1, "picture-format"}}},
        {"NUL in the picture", "flagspicture=cover.bmp\0junk\r\n"s + task, {{1, "nul-in-field"}}},
        {"NUL in a deleted name", remove("Keep.gms\0junk.tmp"s), {{2, "nul-in-field"}}},
        {"NUL in a copied name",
         "flagspicture=cover.bmp\r\nfileitem=c|a.gms\0x|1|gmspath|x\r\n"s,
         {{2, "nul-in-field"}}},
        {"NUL in a caption", "flagspicture=cover.bmp\r\nfileitem=c|a.gms|1|gmspath|x\0y\r\n"s, {{2, "nul-in-field"}}},
        {"delete climbing out", remove("..\\Draw\\CorelDRW.exe"), {{2, "delete-outside-folder"}}},
        {"delete climbing out with a slash", remove("sub/../../x.gms"), {{2, "delete-outside-folder"}}},
        {"delete of a drive path", remove("C:\\Windows\\x.dll"), {{2, "delete-outside-folder"}}},
        {"delete from the root", remove("\\x.gms"), {{2, "delete-outside-folder"}}},
        {"delete of a device", remove("NUL"), {{2, "delete-device"}}},
        {"delete of a device with an extension", remove("com1.gms"), {{2, "delete-device"}}},
        {"delete in a subfolder", remove("old\\x.gms"), {}},
        {"dots inside a name", remove("x..gms"), {}},
        {"empty delete", remove(""), {{2, "empty-file"}}},
        {"the maker's page and addresses",
         "homepage=https://maker.cn/addon\r\nwebsite1=www.maker.cn\r\nwebsite2=https://maker.cn/en\r\n" + task,
         {}},
        {"a page that is a program", "homepage=C:\\Windows\\notepad.exe\r\n" + task, {{1, "bad-address"}}},
        {"a label address with a blank", "website2=www.maker .cn\r\n" + task, {{1, "bad-address"}}},
    };
    for (const SaidCase& c : cases) {
        EXPECT_EQ(Pairs(Analyse(c.ini).warnings), c.warnings) << c.name;
    }
}

}  // namespace
}  // namespace instinfo_check::testing

namespace instinfo_check::testing {
namespace {

// A PE file as far as the checker reads it: the MZ stub's pointer, the PE signature, the subsystem field.
std::string FakeExe(char subsystem, const std::string& data = {}) {
    std::string exe(0x40 + 24 + 70, '\0');
    exe.replace(0, 2, "MZ");
    exe[0x3C] = 0x40;
    exe.replace(0x40, 4, std::string("PE\0\0", 4));
    exe[0x40 + 24 + 68] = subsystem;
    return exe + data;
}

struct UnattendedCase {
    const char* name;
    std::string task;
    Findings warnings;
    Findings notes;
};

TEST_F(AnalysisTest, UnattendedRunsAreToldWhatWaitsAndWhereFilesLand) {
    constexpr char kWindowed = 2;
    constexpr char kConsole = 3;
    folder.Write("welcome.exe", FakeExe(kWindowed));
    folder.Write("tool.exe", FakeExe(kConsole));
    folder.Write("nsis.exe", FakeExe(kWindowed, "...NullsoftInst..."));
    folder.Write("inno.exe", FakeExe(kWindowed, "Inno Setup Setup Data"));
    folder.Write("runtime.msi", "\xD0\xCF\x11\xE0");
    const UnattendedCase cases[] = {
        {"a windowed program", "r|welcome.exe|0||x", {}, {{2, "unattended-window"}}},
        {"a console program", "r|tool.exe|0||x", {}, {}},
        {"NSIS, whatever its arguments", "r|nsis.exe|0|/s|x", {{2, "unattended-installer"}}, {}},
        {"Inno Setup without its switch", "r|inno.exe|0|/norestart|x", {{2, "unattended-installer"}}, {}},
        {"Inno Setup with it", "r|inno.exe|0|/verysilent /norestart|x", {}, {}},
        {"an MSI package without /qn", "r|runtime.msi|0||x", {{2, "unattended-installer"}}, {}},
        {"an MSI package with /qn", "r|runtime.msi|0|/qn|x", {}, {}},
        {"into the user's macros", "c|a.gms|1|usergmspath|x", {}, {{2, "unattended-profile"}}},
        {"into the user's workspace", "c|a.gms|1|importworkspace|x", {}, {{2, "unattended-profile"}}},
        {"out of the user's data", "k|old.gms|0|userdatapath|x", {}, {{2, "unattended-profile"}}},
        {"into the shared macros", "c|a.gms|1|gmspath|x", {}, {}},
    };
    for (const UnattendedCase& c : cases) {
        const std::string ini = "flagspicture=cover.bmp\r\nfileitem=" + c.task + "\r\n";
        const std::string path = folder.Write("InstInfo.ini", ini);
        const Report unattended = instinfo_check::Analyse(ReadConfig(path, Decoder936()), 936, true);
        EXPECT_EQ(Pairs(unattended.warnings), c.warnings) << c.name;
        EXPECT_EQ(Pairs(unattended.notes), c.notes) << c.name;
        // A run with the window meets none of it.
        const Report withWindow = Analyse(ini);
        EXPECT_TRUE(withWindow.warnings.empty() && withWindow.notes.empty()) << c.name;
    }
}

}  // namespace
}  // namespace instinfo_check::testing
