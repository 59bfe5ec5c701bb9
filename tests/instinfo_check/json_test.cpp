// The JSON report: one well-formed object of a fixed shape, in both languages, for every example.
#include <gtest/gtest.h>

#include "mini_json.h"
#include "test_support.h"

namespace instinfo_check::testing {
namespace {

using namespace std::string_literals;

minijson::Value JsonFor(const std::string& name, const std::string& lang = "en") {
    const CliRun run = RunChecker({"--json", "--lang", lang, ExamplePath(name)});
    EXPECT_TRUE(run.err.empty());
    minijson::Value json = minijson::Parse(run.out);
    EXPECT_EQ(static_cast<int>(json["exitStatus"].Number()), run.exitStatus);
    return json;
}

void ExpectFindingShape(const minijson::Value& finding) {
    ASSERT_TRUE(finding.IsObject());
    EXPECT_EQ(finding.Members().size(), 3u);
    EXPECT_TRUE(finding["line"].IsNull() || finding["line"].IsNumber());
    EXPECT_TRUE(finding["code"].IsString());
    EXPECT_FALSE(finding["message"].String().empty());
}

void ExpectShape(const minijson::Value& json) {
    ASSERT_TRUE(json.IsObject());
    for (const char* key : {"file", "language", "codePage", "encoding", "title", "picture", "defaultsApplied", "tasks",
                            "warnings", "notes", "refusal", "verdict", "exitStatus"}) {
        EXPECT_TRUE(json.Has(key)) << key;
    }
    EXPECT_EQ(json.Members().size(), 13u);
    EXPECT_TRUE(json["tasks"].IsArray());
    for (const minijson::Value& task : json["tasks"].Items()) {
        for (const char* key :
             {"index", "line", "kind", "file", "requiredFlag", "required", "target", "caption", "captionShown",
              "standardCaption", "fields", "written", "trailingEmpty", "action", "description"}) {
            EXPECT_TRUE(task.Has(key)) << key;
        }
        EXPECT_EQ(task["fields"].Items().size(), 5u);
        EXPECT_FALSE(task["description"].String().empty());
        EXPECT_FALSE(task["captionShown"].String().empty());
    }
    for (const minijson::Value& finding : json["warnings"].Items()) {
        ExpectFindingShape(finding);
    }
    for (const minijson::Value& finding : json["notes"].Items()) {
        ExpectFindingShape(finding);
    }
    const std::string verdict = json["verdict"].String();
    const int exitStatus = static_cast<int>(json["exitStatus"].Number());
    EXPECT_EQ(verdict, exitStatus == 0 ? "ok" : exitStatus == 1 ? "warnings" : "refused");
    EXPECT_EQ(json["refusal"].IsNull(), exitStatus != 2);
}

class JsonShapeTest : public ::testing::TestWithParam<std::string> {};

TEST_P(JsonShapeTest, SameShapeAndCodesInBothLanguages) {
    const minijson::Value english = JsonFor(GetParam(), "en");
    const minijson::Value chinese = JsonFor(GetParam(), "zh");
    ExpectShape(english);
    ExpectShape(chinese);
    EXPECT_EQ(english["language"].String(), "en");
    EXPECT_EQ(chinese["language"].String(), "zh");
    const auto& en = english["warnings"].Items();
    const auto& zh = chinese["warnings"].Items();
    ASSERT_EQ(en.size(), zh.size());
    for (std::size_t i = 0; i < en.size(); ++i) {
        EXPECT_EQ(en[i]["code"].String(), zh[i]["code"].String());
        EXPECT_NE(en[i]["message"].String(), zh[i]["message"].String());
    }
}

INSTANTIATE_TEST_SUITE_P(Examples,
                         JsonShapeTest,
                         ::testing::Values("good.ini",
                                           "addon",
                                           "ignored-lines.ini",
                                           "short-tasks.ini",
                                           "fields.ini",
                                           "kinds-targets.ini",
                                           "required-flags.ini",
                                           "missing-files.ini",
                                           "run-tasks.ini",
                                           "copy-subfolder.ini",
                                           "picture-missing.ini",
                                           "picture-format.ini",
                                           "repeated.ini",
                                           "no-fileitem.ini",
                                           "utf8-no-bom.ini",
                                           "utf8-bom.ini",
                                           "utf16.ini",
                                           "undecodable.ini",
                                           "unreadable",
                                           "not-there.ini"));

TEST(Json, ValuesOfAGoodFile) {
    const minijson::Value json = JsonFor("good.ini");
    EXPECT_EQ(json["codePage"].Number(), 936);
    EXPECT_EQ(json["encoding"].String(), "ansi");
    EXPECT_EQ(json["title"]["text"].String(), "我的插件 安装程序");
    EXPECT_FALSE(json["title"]["default"].Bool());
    EXPECT_EQ(json["title"]["line"].Number(), 3);
    EXPECT_EQ(json["picture"]["file"].String(), "cover.bmp");
    EXPECT_TRUE(json["picture"]["exists"].Bool());
    EXPECT_TRUE(json["defaultsApplied"].Items().empty());
    const minijson::Value& copy = json["tasks"][0];
    EXPECT_EQ(copy["index"].Number(), 0);
    EXPECT_EQ(copy["line"].Number(), 6);
    EXPECT_EQ(copy["action"].String(), "copy");
    EXPECT_TRUE(copy["required"].Bool());
    EXPECT_EQ(json["tasks"][1]["action"].String(), "import-workspace");
    EXPECT_EQ(json["tasks"][2]["action"].String(), "delete");
    EXPECT_EQ(json["tasks"][3]["action"].String(), "run");
    EXPECT_EQ(json["tasks"][4]["action"].String(), "remove-toolbar");
    EXPECT_TRUE(json["warnings"].Items().empty());
    EXPECT_EQ(json["verdict"].String(), "ok");
}

TEST(Json, DefaultsTrailingTaskAndWarningsOfAShortFile) {
    const minijson::Value json = JsonFor("short-tasks.ini", "zh");
    const minijson::Value& last = json["tasks"][2];
    EXPECT_TRUE(last["trailingEmpty"].Bool());
    EXPECT_TRUE(last["standardCaption"].Bool());
    EXPECT_EQ(last["captionShown"].String(), "正在安装，请稍候...");
    EXPECT_EQ(last["action"].String(), "caption-only");
    const minijson::Value& warning = json["warnings"][1];
    EXPECT_EQ(warning["line"].Number(), 6);
    EXPECT_EQ(warning["code"].String(), "short-task-last");
    EXPECT_EQ(warning["message"].String(),
              "不构成任务：只有 2 个字段，任务至少需要 4 个（类型|文件|必需|目标）；后面没有完整的 fileitem 行，"
              "安装程序在末尾保留一个空任务 #2，它只显示标准标题");

    const minijson::Value defaults = JsonFor("addon");
    EXPECT_EQ(defaults["defaultsApplied"].Items().size(), 1u);
    EXPECT_EQ(defaults["defaultsApplied"][0].String(), "flagspicture");
    EXPECT_TRUE(defaults["picture"]["line"].IsNull());
}

TEST(Json, RefusedFilesHaveNoWindow) {
    const minijson::Value missing = JsonFor("not-there.ini");
    EXPECT_TRUE(missing["title"].IsNull());
    EXPECT_TRUE(missing["encoding"].IsNull());
    EXPECT_EQ(missing["refusal"]["code"].String(), "config-missing");
    EXPECT_EQ(missing["verdict"].String(), "refused");
    const minijson::Value noTasks = JsonFor("no-fileitem.ini");
    EXPECT_EQ(noTasks["refusal"]["code"].String(), "no-tasks");
    EXPECT_EQ(noTasks["title"]["text"].String(), "No task line");
}

TEST(Json, ControlCharactersAreEscapedAndComeBackIntact) {
    TempFolder folder;
    const std::string path = folder.Write("InstInfo.ini", "fileitem=c|a\0\"\\\tb|1|gmspath|x\r\n"s);
    const CliRun run = RunChecker({"--json", path});
    const minijson::Value json = minijson::Parse(run.out);
    EXPECT_EQ(json["tasks"][0]["file"].String(), std::string("a\0\"\\\tb", 6));
}

}  // namespace
}  // namespace instinfo_check::testing
