#include <gtest/gtest.h>

#include "app/texts.h"
#include "config/inst_info.h"
#include "fake_platform.h"

namespace tessaro {
namespace {

using testing::FakePlatform;
using Lines = std::vector<std::string>;
using namespace std::string_literals;

class ReadInstInfoTest : public ::testing::Test {
  protected:
    ReadInstInfoTest() {
        state.AppPath = "C:\\addon\\";
        state.LogEnabled = true;
        state.Log = std::make_unique<ClassLog>(fake, fake);
    }

    bool Read(const std::string& content) {
        fake.AddFile("C:\\addon\\InstInfo.ini", content);
        return ReadInstInfo(state, fake.platform());
    }

    // The log after the header line.
    Lines Log() const {
        Lines messages = fake.LogMessages();
        messages.erase(messages.begin());
        return messages;
    }

    std::vector<std::string> Task(std::size_t task) const {
        std::vector<std::string> fields;
        for (int field = 0; field < FileItemsTable::kFieldCount; ++field) {
            fields.push_back(state.FileItems.Field(field, task));
        }
        return fields;
    }

    FakePlatform fake;
    InstallerState state;
};

TEST_F(ReadInstInfoTest, MissingFileLogsAndShowsTheMissingFileBox) {
    EXPECT_FALSE(ReadInstInfo(state, fake.platform()));
    EXPECT_EQ(Log(), (Lines{"读取安装配置", "获取安装配置路径", "打开安装配置文件", "读取安装配置文件失败",
                            "对话框：缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。"}));
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "缺少安装必需的文件，安装信息文件(InstInfo.ini)不存在。");
    EXPECT_EQ(fake.boxes[0].title, "Tessaro");
    EXPECT_EQ(fake.boxes[0].kind, MessageKind::Error);
}

TEST_F(ReadInstInfoTest, AFileThatCannotBeReadEndsSilently) {
    fake.AddFolder("C:\\addon\\InstInfo.ini");  // a folder of that name
    EXPECT_FALSE(ReadInstInfo(state, fake.platform()));
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(Log().back(), "读取安装配置文件失败");
    EXPECT_EQ(state.SetupTitle, "") << "defaults are not applied on the failure path";
}

TEST_F(ReadInstInfoTest, NoTaskLineMeansNoWindowButDefaultsAreApplied) {
    EXPECT_FALSE(Read("; an add-on without tasks\r\nsetuptitle=\r\n"));
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(state.SetupTitle, "Tessaro");
    EXPECT_EQ(state.FlagsPicture, "flags.bmp");
    EXPECT_EQ(Log(), (Lines{"读取安装配置", "获取安装配置路径", "打开安装配置文件", "获得程序标题配置",
                            "关闭安装配置文件", "如果必要设置默认封面图片", "如果必要设置默认程序标题"}));
}

TEST_F(ReadInstInfoTest, TheRoadOfOneInstall) {
    EXPECT_TRUE(
        Read("[Tessaro]\r\n"
             "SETUPTITLE = 我的插件 安装\r\n"
             "flagspicture=cover.bmp\r\n"
             "FileItem = C|macros.gms|1|GMSPath|正在复制宏文件...\r\n"
             "fileitem=m|MyBar||\r\n"));
    EXPECT_EQ(state.SetupTitle, "我的插件 安装");
    EXPECT_EQ(state.FlagsPicture, "cover.bmp");
    ASSERT_EQ(state.FileItems.TaskCount(), 2u);
    EXPECT_EQ(Task(0), (std::vector<std::string>{"c", "macros.gms", "1", "gmspath", "正在复制宏文件..."}));
    EXPECT_EQ(Task(1), (std::vector<std::string>{"m", "MyBar", "", "", ""}));
    EXPECT_EQ(Log(), (Lines{"读取安装配置", "获取安装配置路径", "打开安装配置文件", "获得程序标题配置",
                            "获得封面图片配置", "获得文件消息配置", "获得文件消息配置成功", "获得文件消息配置",
                            "获得文件消息配置成功", "关闭安装配置文件"}));
}

TEST_F(ReadInstInfoTest, ShortTaskLinesFollowTheGrowthRule) {
    // First a short line: its slot is filled by the next complete line.
    EXPECT_TRUE(Read("fileitem=c|a|1\r\nfileitem=c|b|1|gmspath|x\r\nfileitem=k|c|0|gmspath|y\r\n"));
    ASSERT_EQ(state.FileItems.TaskCount(), 2u);
    EXPECT_EQ(Task(0)[1], "b");
    EXPECT_EQ(Task(1)[1], "c");
}

TEST_F(ReadInstInfoTest, AShortLastLineLeavesOneEmptyTask) {
    EXPECT_TRUE(Read("fileitem=c|b|1|gmspath|x\r\nfileitem=r|setup.exe\r\nfileitem=\r\n"));
    ASSERT_EQ(state.FileItems.TaskCount(), 2u);
    EXPECT_EQ(Task(1), (std::vector<std::string>(5)));
}

TEST_F(ReadInstInfoTest, OnlyShortLinesGiveExactlyOneEmptyTask) {
    EXPECT_TRUE(Read("fileitem=c|a\r\nfileitem=k\r\n"));
    ASSERT_EQ(state.FileItems.TaskCount(), 1u);
    EXPECT_EQ(Task(0), (std::vector<std::string>(5)));
}

TEST_F(ReadInstInfoTest, FieldRulesCaseBlanksExtraFieldsAndSecondEquals) {
    EXPECT_TRUE(
        Read("fileitem=C |File.GMS| 1|GmsPath |Cap|extra|more\r\n"
             "fileitem=r|tool.exe|1|/S\r\n"
             "fileitem=c|a.gms|1|gmspath|x=y|z\r\n"));
    EXPECT_EQ(Task(0), (std::vector<std::string>{"c ", "File.GMS", " 1", "gmspath ", "Cap"}));
    EXPECT_EQ(Task(1), (std::vector<std::string>{"r", "tool.exe", "1", "/s", ""})) << "four fields make a task";
    EXPECT_EQ(Task(2), (std::vector<std::string>{"c", "a.gms", "1", "gmspath", "x"}));
}

TEST_F(ReadInstInfoTest, RepeatedKeysTheLastWinsAndEachIsLogged) {
    EXPECT_TRUE(Read("setuptitle=First\nsetuptitle=Second\nflagspicture=a.bmp\rflagspicture=\rfileitem=c|a|1|gmspath"));
    EXPECT_EQ(state.SetupTitle, "Second");
    EXPECT_EQ(state.FlagsPicture, "flags.bmp") << "an empty last value gets the default";
    const Lines log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "获得程序标题配置"), 2);
    EXPECT_EQ(log.back(), "如果必要设置默认封面图片");
}

TEST_F(ReadInstInfoTest, Utf16FileWithByteOrderMarkIsRead) {
    const std::u16string text = u"setuptitle=插件\r\nfileitem=c|宏.gms|1|gmspath|复制\r\n";
    std::string bytes("\xFF\xFE");
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    EXPECT_TRUE(Read(bytes));
    EXPECT_EQ(state.SetupTitle, "插件");
    EXPECT_EQ(Task(0)[1], "宏.gms");
}

TEST_F(ReadInstInfoTest, HostileContentNeverCrashes) {
    std::string content = "fileitem=c|a\0b|1|gmspath|\0\r\n"s;
    content += "setuptitle=" + std::string(2 * 1024 * 1024, 'x') + "\r\n";
    content += std::string(100000, '|') + "\r\n";
    content += "fileitem=" + std::string(100000, '|') + "\r\n";
    EXPECT_TRUE(Read(content));
    EXPECT_EQ(state.FileItems.TaskCount(), 2u);
    EXPECT_EQ(state.SetupTitle.size(), 2u * 1024 * 1024);
    EXPECT_EQ(Task(0)[1], std::string("a\0b", 3));
}

TEST_F(ReadInstInfoTest, ManyTaskLinesKeepTheirOrder) {
    std::string content;
    for (int i = 0; i < 5000; ++i) {
        content += "fileitem=c|f" + std::to_string(i) + "|1|gmspath\r\n";
    }
    EXPECT_TRUE(Read(content));
    ASSERT_EQ(state.FileItems.TaskCount(), 5000u);
    EXPECT_EQ(Task(4999)[1], "f4999");
}

struct BrandingCase {
    const char* lines;
    std::string homePage;
    std::string webSite1;
    std::string webSite2;
    std::vector<std::string> ignored;  // the values logged as refused
};

// The maker's page and addresses: only a plain http(s) page is ever taken for the click, a label address may also
// be a host name, and whatever is refused keeps the default (empty here) and is logged.
TEST(BrandingKeys, OnlyPlainWebAddressesAreTaken) {
    const BrandingCase cases[] = {
        {"HomePage=https://www.maker.cn/addon?x=1\r\nwebsite1=www.maker.cn\r\nwebsite2=http://maker.com.cn/\r\n",
         "https://www.maker.cn/addon?x",  // a second "=" cuts the value, as on every line
         "www.maker.cn",
         "http://maker.com.cn/",
         {}},
        {"homepage=  HTTP://Maker.CN  \r\n", "HTTP://Maker.CN", "", "", {}},
        {"homepage=C:\\Windows\\notepad.exe\r\n", "", "", "", {"C:\\Windows\\notepad.exe"}},
        {"homepage=file:///C:/x.exe\r\n", "", "", "", {"file:///C:/x.exe"}},
        {"homepage=javascript:alert(1)\r\n", "", "", "", {"javascript:alert(1)"}},
        {"homepage=www.maker.cn\r\n", "", "", "", {"www.maker.cn"}},  // a host name is no page to open
        {"homepage=https://\\\\server\\share\r\n", "", "", "", {"https://\\\\server\\share"}},
        {"homepage=https://a b.cn/\r\n", "", "", "", {"https://a b.cn/"}},
        {"homepage=https:///x\r\n", "", "", "", {"https:///x"}},
        {"website1=maker\r\nwebsite2=..\\x.exe\r\n", "", "", "", {"maker", "..\\x.exe"}},
        // A refused later line leaves an earlier good one standing.
        {"homepage=https://a.cn/\r\nhomepage=ftp://a.cn/\r\n", "https://a.cn/", "", "", {"ftp://a.cn/"}},
    };
    for (const BrandingCase& c : cases) {
        FakePlatform fake;
        InstallerState state;
        state.AppPath = "C:\\addon\\";
        state.LogEnabled = true;
        state.Log = std::make_unique<ClassLog>(fake, fake);
        fake.AddFile("C:\\addon\\InstInfo.ini", std::string(c.lines) + "fileitem=m|x||\r\n");
        EXPECT_TRUE(ReadInstInfo(state, fake.platform())) << c.lines;
        EXPECT_EQ(state.homePage, c.homePage) << c.lines;
        EXPECT_EQ(state.webSite1, c.webSite1) << c.lines;
        EXPECT_EQ(state.webSite2, c.webSite2) << c.lines;
        std::vector<std::string> ignored;
        for (const std::string& line : fake.LogMessages()) {
            if (line.starts_with(text::kLogIgnoredWebAddress)) {
                ignored.push_back(line.substr(text::kLogIgnoredWebAddress.size()));
            }
        }
        EXPECT_EQ(ignored, c.ignored) << c.lines;
    }
}

}  // namespace
}  // namespace tessaro
