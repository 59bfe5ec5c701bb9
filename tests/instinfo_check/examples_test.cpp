// Every example file, read the way the command line reads it: exit status, task count, and each warning and
// note by line and code. Each one also checks that the task table in the report, and the one in the JSON
// output, is the very table Tessaro's ReadInstInfo builds.
#include <gtest/gtest.h>

#include "instinfo_check/analysis.h"
#include "instinfo_check/report_output.h"
#include "mini_json.h"
#include "test_support.h"

namespace instinfo_check::testing {
namespace {

using Findings = std::vector<std::pair<int, std::string>>;

struct ExampleCase {
    std::string name;
    int exitStatus;
    std::size_t taskCount;
    Findings warnings;
    Findings notes;
};

std::ostream& operator<<(std::ostream& out, const ExampleCase& example) {
    return out << example.name;
}

Findings Pairs(const std::vector<Finding>& findings) {
    Findings pairs;
    for (const Finding& finding : findings) {
        pairs.emplace_back(finding.line, std::string(finding.code));
    }
    return pairs;
}

Report Check(const std::string& name) {
    return Analyse(ReadConfig(ExamplePath(name), Decoder936()), 936);
}

const Findings kOnlyName = {{0, "other-file-name"}};
const Findings kNameNoPicture = {{0, "other-file-name"}, {0, "picture-missing"}};

class ExampleTest : public ::testing::TestWithParam<ExampleCase> {};

TEST_P(ExampleTest, WarningsNotesAndExitStatus) {
    const ExampleCase& example = GetParam();
    const Report report = Check(example.name);
    EXPECT_TRUE(report.reading.walkAgrees);
    EXPECT_EQ(ExitStatusOf(report), example.exitStatus);
    EXPECT_EQ(report.tasks.size(), example.taskCount);
    EXPECT_EQ(Pairs(report.warnings), example.warnings);
    EXPECT_EQ(Pairs(report.notes), example.notes);
}

TEST_P(ExampleTest, TheTaskTableIsTheOneReadInstInfoBuilds) {
    const ExampleCase& example = GetParam();
    const Report report = Check(example.name);
    const ReaderTable reader = ReadWithTessaro(ExamplePath(example.name));
    ASSERT_EQ(report.tasks.size(), reader.tasks.size());
    for (std::size_t i = 0; i < reader.tasks.size(); ++i) {
        EXPECT_EQ(report.tasks[i].index, i);
        EXPECT_EQ(report.tasks[i].fields, reader.tasks[i]) << "task " << i;
    }
    EXPECT_EQ(reader.showsWindow, report.reading.outcome == ReadOutcome::Ok);

    // And what the JSON prints is that table too.
    const minijson::Value json = minijson::Parse(JsonReport(report, kEnglishTexts, 936, Language::English));
    const minijson::Array& tasks = json["tasks"].Items();
    ASSERT_EQ(tasks.size(), reader.tasks.size());
    for (std::size_t i = 0; i < tasks.size(); ++i) {
        const minijson::Array& fields = tasks[i]["fields"].Items();
        ASSERT_EQ(fields.size(), 5u);
        for (std::size_t f = 0; f < 5; ++f) {
            EXPECT_EQ(fields[f].String(), reader.tasks[i][f]) << "task " << i << " field " << f;
        }
        EXPECT_EQ(tasks[i]["kind"].String(), reader.tasks[i][0]);
        EXPECT_EQ(tasks[i]["file"].String(), reader.tasks[i][1]);
        EXPECT_EQ(tasks[i]["requiredFlag"].String(), reader.tasks[i][2]);
        EXPECT_EQ(tasks[i]["target"].String(), reader.tasks[i][3]);
        EXPECT_EQ(tasks[i]["caption"].String(), reader.tasks[i][4]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples,
    ExampleTest,
    ::testing::Values(
        ExampleCase{"good.ini", 0, 5, {}, {{0, "other-file-name"}, {1, "comment"}, {2, "comment"}}},
        ExampleCase{"addon/InstInfo.ini", 0, 3, {}, {}},
        ExampleCase{"ignored-lines.ini",
                    1,
                    1,
                    {{2, "no-equals"},
                     {3, "full-width-equals"},
                     {4, "unknown-key"},
                     {5, "key-blanks"},
                     {6, "key-tab"},
                     {7, "key-misspelt"},
                     {8, "empty-key"}},
                    {{0, "other-file-name"}, {0, "picture-missing"}, {9, "comment"}}},
        ExampleCase{"short-tasks.ini", 1, 3, {{3, "short-task"}, {6, "short-task-last"}}, kOnlyName},
        ExampleCase{
            "fields.ini",
            1,
            3,
            {{1, "second-equals"}, {3, "no-caption"}, {4, "extra-fields"}, {5, "second-equals"}, {5, "no-caption"}},
            kOnlyName},
        ExampleCase{"kinds-targets.ini",
                    1,
                    6,
                    {{3, "kind-blanks"},
                     {4, "unknown-kind"},
                     {5, "target-blanks"},
                     {6, "unknown-target"},
                     {7, "unknown-target"}},
                    kOnlyName},
        ExampleCase{"required-flags.ini",
                    1,
                    7,
                    {{3, "required-flag"},
                     {4, "required-flag"},
                     {5, "required-flag"},
                     {6, "required-flag"},
                     {7, "required-flag"},
                     {9, "required-delete"}},
                    kOnlyName},
        ExampleCase{"missing-files.ini",
                    1,
                    9,
                    {{3, "file-missing"},
                     {4, "file-missing"},
                     {5, "file-missing"},
                     {6, "empty-file"},
                     {7, "file-is-folder"},
                     {8, "file-blanks"},
                     {8, "file-missing"},
                     {10, "empty-file"},
                     {11, "empty-file"}},
                    {{0, "other-file-name"}, {9, "case-differs"}}},
        ExampleCase{"run-tasks.ini",
                    1,
                    3,
                    {{3, "program-blanks"}, {3, "arguments-lower-cased"}, {4, "program-blanks"}, {4, "file-missing"}},
                    kOnlyName},
        ExampleCase{"copy-subfolder.ini", 1, 2, {{3, "copy-into-subfolder"}}, kOnlyName},
        ExampleCase{"picture-missing.ini", 1, 1, {{2, "picture-missing"}}, kOnlyName},
        ExampleCase{"picture-format.ini", 1, 1, {{2, "picture-format"}}, kOnlyName},
        ExampleCase{"repeated.ini",
                    1,
                    1,
                    {{3, "repeated-key"}, {4, "repeated-key"}},
                    {{0, "other-file-name"}, {0, "picture-missing"}, {4, "empty-value"}}},
        ExampleCase{"no-fileitem.ini", 2, 0, {{3, "key-blanks"}}, kOnlyName},
        ExampleCase{"utf8-no-bom.ini", 1, 1, {{0, "utf8-without-bom"}, {3, "file-missing"}}, kOnlyName},
        ExampleCase{"utf8-bom.ini", 0, 1, {}, kOnlyName},
        ExampleCase{"utf16.ini", 0, 1, {}, kOnlyName},
        ExampleCase{"undecodable.ini", 1, 1, {{1, "undecodable"}}, kOnlyName},
        ExampleCase{"unreadable/InstInfo.ini", 2, 0, {}, {}},
        ExampleCase{"not-there.ini", 2, 0, {}, kOnlyName}),
    [](const ::testing::TestParamInfo<ExampleCase>& param) {
        std::string name;
        for (const char c : param.param.name) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

TEST(Examples, GoodFileDecodedFromCodePage936) {
    const Report report = Check("good.ini");
    EXPECT_EQ(report.reading.encoding, Encoding::Ansi);
    EXPECT_EQ(report.title, "我的插件 安装程序");
    EXPECT_FALSE(report.titleDefault);
    EXPECT_EQ(report.titleLine, 3);
    EXPECT_EQ(report.picture, "cover.bmp");
    EXPECT_TRUE(report.pictureExists);
    ASSERT_EQ(report.tasks.size(), 5u);
    EXPECT_EQ(report.tasks[0].source.line, 6);
    EXPECT_EQ(report.tasks[0].action, TaskAction::Copy);
    EXPECT_TRUE(report.tasks[0].required);
    EXPECT_EQ(report.tasks[1].action, TaskAction::ImportWorkspace);
    EXPECT_EQ(report.tasks[2].action, TaskAction::Delete);
    EXPECT_EQ(report.tasks[3].action, TaskAction::Run);
    EXPECT_EQ(report.tasks[4].action, TaskAction::RemoveToolbar);
    EXPECT_EQ(report.tasks[4].fields[1], "旧工具栏");
    EXPECT_EQ(DescribeTask(report.tasks[0], kEnglishTexts),
              "copy 宏工具.gms from the installer folder into CorelDRAW's GMS folder (GMSManager.GMSPath), replacing "
              "an older copy; required: the install stops if the file is missing");
}

TEST(Examples, ARealAddOnFolderWithTheDefaultPicture) {
    const Report report = Check("addon/InstInfo.ini");
    EXPECT_EQ(report.title, "示例插件 安装程序");
    EXPECT_EQ(report.picture, "flags.bmp");
    EXPECT_TRUE(report.pictureDefault);
    EXPECT_EQ(report.pictureLine, 0);
    EXPECT_TRUE(report.pictureExists);
}

TEST(Examples, ShortLinesGiveTheirSlotAwayOrLeaveAnEmptyLastTask) {
    const Report report = Check("short-tasks.ini");
    ASSERT_EQ(report.tasks.size(), 3u);
    EXPECT_EQ(report.tasks[0].source.line, 4) << "the short line 3 made no task; line 4 took its slot";
    EXPECT_EQ(report.tasks[1].source.line, 5);
    EXPECT_TRUE(report.tasks[2].source.trailingEmpty);
    EXPECT_EQ(report.tasks[2].source.line, 6);
    EXPECT_EQ(report.tasks[2].fields, TaskFields{});
    EXPECT_EQ(report.tasks[2].action, TaskAction::CaptionOnly);
}

TEST(Examples, SecondEqualsCutsTitleAndTaskLine) {
    const Report report = Check("fields.ini");
    EXPECT_EQ(report.title, "Setup");
    ASSERT_EQ(report.tasks.size(), 3u);
    EXPECT_EQ(report.tasks[1].source.written.size(), 7u);
    EXPECT_EQ(report.tasks[2].fields, (TaskFields{"r", "setup.exe", "0", "/dir", ""}));
    EXPECT_EQ(Render(kEnglishTexts, report.warnings[0].message),
              "the value is cut at the second \"=\": \"= My add-on\" is lost, the value is \"Setup\"");
}

TEST(Examples, KindAndTargetAreLowerCasedButKeepTheirBlanks) {
    const Report report = Check("kinds-targets.ini");
    ASSERT_EQ(report.tasks.size(), 6u);
    EXPECT_EQ(report.tasks[0].fields[0], "c ");
    EXPECT_EQ(report.tasks[0].action, TaskAction::CaptionOnly);
    EXPECT_EQ(report.tasks[2].fields[3], "gmspath ");
    EXPECT_EQ(report.tasks[5].fields[0], "c");
    EXPECT_EQ(report.tasks[5].fields[3], "gmspath");
    EXPECT_EQ(report.tasks[5].source.written[3], "GMSPath");
}

TEST(Examples, RunArgumentsArriveLowerCased) {
    const Report report = Check("run-tasks.ini");
    ASSERT_EQ(report.tasks.size(), 3u);
    EXPECT_EQ(report.tasks[0].fields[3], "/s /norestart");
    EXPECT_EQ(Render(kEnglishTexts, report.warnings[1].message),
              "the arguments \"/S /NoRestart\" are lower-cased by the installer: the program gets \"/s /norestart\"");
}

TEST(Examples, TheLastOfRepeatedKeysWinsAndAnEmptyOneMeansTheDefault) {
    const Report report = Check("repeated.ini");
    EXPECT_EQ(report.title, "Second title");
    EXPECT_EQ(report.titleLine, 3);
    EXPECT_EQ(report.picture, "flags.bmp");
    EXPECT_TRUE(report.pictureDefault);
    EXPECT_EQ(report.pictureLine, 4);
    EXPECT_FALSE(report.pictureExists);
}

TEST(Examples, ByteOrderMarksAreHonoured) {
    EXPECT_EQ(Check("utf8-bom.ini").title, "带 BOM 的 UTF-8");
    EXPECT_EQ(Check("utf8-bom.ini").reading.encoding, Encoding::Utf8Bom);
    EXPECT_EQ(Check("utf16.ini").title, "Unicode（UTF-16）");
    EXPECT_EQ(Check("utf16.ini").reading.encoding, Encoding::Utf16Le);
}

TEST(Examples, Utf8WithoutMarkComesOutGarbledAsInTheInstaller) {
    const Report report = Check("utf8-no-bom.ini");
    ASSERT_EQ(report.tasks.size(), 1u);
    EXPECT_NE(report.tasks[0].fields[1], "宏工具.gms");
    EXPECT_EQ(report.tasks[0].fields[1].substr(0, 6), "瀹忓");
}

TEST(Examples, RefusedFilesSayWhy) {
    const Report missing = Check("not-there.ini");
    ASSERT_TRUE(missing.refusal);
    EXPECT_EQ(missing.refusal->code, "config-missing");
    EXPECT_EQ(Render(kEnglishTexts, missing.refusal->message),
              "the file does not exist; Tessaro shows \"缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。\" and "
              "ends");
    EXPECT_EQ(Check("unreadable/InstInfo.ini").refusal->code, "config-unreadable");
    EXPECT_EQ(Check("no-fileitem.ini").refusal->code, "no-tasks");
    EXPECT_EQ(Check("no-fileitem.ini").title, "No task line") << "a refused file is still described";
}

TEST(Examples, CommittedBytesAreWhatTheScriptMakes) {
    // The examples are committed as bytes; spot-check that they are code page 936 and CR LF, as the script says.
    std::ifstream in(ExamplePath("good.ini"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find("setuptitle=\xCE\xD2\xB5\xC4\xB2\xE5\xBC\xFE"), std::string::npos);  // 我的插件 in GBK
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
}

}  // namespace
}  // namespace instinfo_check::testing
