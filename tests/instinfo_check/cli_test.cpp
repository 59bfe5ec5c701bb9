// The command line: options, exit statuses, both languages and the locale rule.
#include <gtest/gtest.h>

#include "test_support.h"

namespace instinfo_check::testing {
namespace {

TEST(Cli, ExitStatusIsTheVerdict) {
    EXPECT_EQ(RunChecker({ExamplePath("good.ini")}).exitStatus, 0);
    EXPECT_EQ(RunChecker({ExamplePath("addon")}).exitStatus, 0);
    EXPECT_EQ(RunChecker({ExamplePath("short-tasks.ini")}).exitStatus, 1);
    EXPECT_EQ(RunChecker({ExamplePath("no-fileitem.ini")}).exitStatus, 2);
    EXPECT_EQ(RunChecker({ExamplePath("not-there.ini")}).exitStatus, 2);
    EXPECT_EQ(RunChecker({ExamplePath("unreadable")}).exitStatus, 2);
    EXPECT_EQ(RunChecker({"--json", ExamplePath("short-tasks.ini")}).exitStatus, 1);
}

TEST(Cli, WrongCommandLinesExitWithThreeAndSayWhy) {
    const CliRun none = RunChecker({});
    EXPECT_EQ(none.exitStatus, 3);
    EXPECT_EQ(none.err, "instinfo-check: name the InstInfo.ini to check (see --help)\n");
    EXPECT_TRUE(none.out.empty());

    EXPECT_EQ(RunChecker({"--frobnicate", "x.ini"}).err, "instinfo-check: unknown option --frobnicate (see --help)\n");
    EXPECT_EQ(RunChecker({"--lang", "fr", "x.ini"}).err, "instinfo-check: --lang takes en or zh, not \"fr\"\n");
    EXPECT_EQ(RunChecker({"x.ini", "--codepage"}).err, "instinfo-check: --codepage needs a value (see --help)\n");
    EXPECT_EQ(RunChecker({"--codepage", "abc", "x.ini"}).exitStatus, 3);
    EXPECT_EQ(RunChecker({"--codepage", "99999", ExamplePath("good.ini")}).err,
              "instinfo-check: code page 99999 is not known on this system\n");
    EXPECT_EQ(RunChecker({"a.ini", "b.ini"}).err, "instinfo-check: name only one file to check, not also b.ini\n");
    // The error comes in the language asked for, even when --lang comes after the fault.
    EXPECT_EQ(RunChecker({"--bad", "--lang=zh"}).err, "instinfo-check：未知选项 --bad（见 --help）\n");
}

TEST(Cli, HelpInBothLanguages) {
    const CliRun english = RunChecker({"--help"});
    EXPECT_EQ(english.exitStatus, 0);
    EXPECT_TRUE(english.out.starts_with("Usage: instinfo-check [--codepage N] [--lang en|zh] [--json]"));
    const CliRun chinese = RunChecker({"-h"}, Language::Chinese);
    EXPECT_TRUE(chinese.out.starts_with("用法：instinfo-check"));
}

TEST(Cli, LanguageComesFromTheOptionOrElseTheDefault) {
    const std::string file = ExamplePath("short-tasks.ini");
    EXPECT_NE(RunChecker({file}).out.find("Warnings (2):"), std::string::npos);
    EXPECT_NE(RunChecker({file}, Language::Chinese).out.find("警告（2 条）："), std::string::npos);
    EXPECT_NE(RunChecker({"--lang", "en", file}, Language::Chinese).out.find("Warnings (2):"), std::string::npos);
    const CliRun chinese = RunChecker({"--lang=zh", file});
    EXPECT_NE(chinese.out.find("第 3 行 [short-task] 不构成任务：只有 3 个字段"), std::string::npos) << chinese.out;
    EXPECT_NE(chinese.out.find("结论：安装程序接受此文件，但有 2 条警告需要查看。（退出码 1）"), std::string::npos);
}

TEST(Cli, LocaleVariablesChooseChineseInTheirOrder) {
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, nullptr), Language::English);
    EXPECT_EQ(LanguageFromLocale(nullptr, nullptr, "zh_CN.UTF-8"), Language::Chinese);
    EXPECT_EQ(LanguageFromLocale("", "", "zh_TW.Big5"), Language::Chinese);
    EXPECT_EQ(LanguageFromLocale("C", nullptr, "zh_CN.UTF-8"), Language::English) << "LC_ALL wins";
    EXPECT_EQ(LanguageFromLocale(nullptr, "zh_CN.UTF-8", "en_US.UTF-8"), Language::Chinese);
    EXPECT_EQ(LanguageFromLocale(nullptr, "en_GB.UTF-8", "zh_CN.UTF-8"), Language::English);
}

TEST(Cli, CodePageChangesHowAMarklessFileIsRead) {
    // The UTF-8 file without a mark reads right when the code page is UTF-8 itself, and then warns no more.
    const CliRun utf8 = RunChecker({"--codepage", "65001", ExamplePath("utf8-no-bom.ini")});
    EXPECT_EQ(utf8.exitStatus, 0) << utf8.out;
    EXPECT_NE(utf8.out.find("ANSI code page 65001"), std::string::npos);
    const CliRun gbk = RunChecker({"--codepage=936", ExamplePath("utf8-no-bom.ini")});
    EXPECT_EQ(gbk.exitStatus, 1);
}

TEST(Cli, PlainReportForAShortFile) {
    const CliRun run = RunChecker({ExamplePath("picture-missing.ini")});
    const std::string expected =
        "Checking " + ExamplePath("picture-missing.ini") +
        "\n"
        "Encoding:       ANSI code page 936 (no byte-order mark)\n"
        "Window title:   Picture missing\n"
        "Cover picture:  nocover.bmp - not found beside InstInfo.ini: the window shows its built-in banner instead\n"
        "\n"
        "Tasks (1), carried out in this order once Install is clicked:\n"
        "  #0  (line 3)\n"
        "      kind \"c\", file \"宏工具.gms\", required \"1\" (yes), target \"gmspath\"\n"
        "      caption: \"正在复制...\"\n"
        "      does: copy 宏工具.gms from the installer folder into CorelDRAW's GMS folder (GMSManager.GMSPath), "
        "replacing an older copy; required: the install stops if the file is missing\n"
        "\n"
        "Warnings (1):\n"
        "  line 2 [picture-missing] the cover picture nocover.bmp is not beside InstInfo.ini: the window shows its "
        "built-in banner instead\n"
        "\n"
        "Notes (1):\n"
        "  file [other-file-name] the installer only reads a file named InstInfo.ini; this one is named "
        "picture-missing.ini\n"
        "\n"
        "Result: the installer takes this file, but there are 1 warning(s) to look at. (exit status 1)\n";
    EXPECT_EQ(run.out, expected);
}

}  // namespace
}  // namespace instinfo_check::testing
