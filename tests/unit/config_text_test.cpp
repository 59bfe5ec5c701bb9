#include <gtest/gtest.h>

#include <climits>

#include "config/config_text.h"
#include "config/decimal_text.h"
#include "config/inst_info_line.h"
#include "config/utf8.h"

namespace tessaro {
namespace {

std::string TagAnsi(std::string_view bytes) {
    return "ansi:" + std::string(bytes);
}

// Failure numbers reach the log and the boxes through this: HRESULTs are negative, and the most negative one has
// no positive counterpart in int32.
TEST(DecimalText, SignsPaddingAndTheExtremes) {
    struct Case {
        std::int32_t value;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "0"}, Case{7, "7"}, Case{-1, "-1"}, Case{429, "429"}, Case{-2147221005, "-2147221005"},
          Case{INT32_MAX, "2147483647"}, Case{INT32_MIN, "-2147483648"}}) {
        EXPECT_EQ(DecimalText(c.value), c.text) << c.value;
    }
    struct Padded {
        std::uint32_t value;
        std::size_t width;
        const char* text;
    };
    for (const Padded& c : {Padded{5, 2, "x05"}, Padded{0, 3, "x000"}, Padded{2026, 2, "x2026"},
                            Padded{UINT32_MAX, 1, "x4294967295"}, Padded{9, 0, "x9"}}) {
        std::string text = "x";
        AppendDecimal(text, c.value, c.width);
        EXPECT_EQ(text, c.text) << c.value << " width " << c.width;
    }
}

TEST(ConfigText, ByteOrderMarksChooseTheEncodingAndAreNotText) {
    EXPECT_EQ(DecodeConfigBytes("\xEF\xBB\xBFsetuptitle=a", TagAnsi), "setuptitle=a");
    // "键=值" in UTF-16 LE and BE.
    EXPECT_EQ(DecodeConfigBytes(std::string("\xFF\xFE\x2E\x95=\x00\x3C\x50", 8), TagAnsi), "键=值");
    EXPECT_EQ(DecodeConfigBytes(std::string("\xFE\xFF\x95\x2E\x00=\x50\x3C", 8), TagAnsi), "键=值");
    EXPECT_EQ(DecodeConfigBytes("setuptitle=a", TagAnsi), "ansi:setuptitle=a");
}

TEST(ConfigText, BrokenEncodingsNeverFailAndStayValidUtf8) {
    EXPECT_EQ(DecodeConfigBytes("\xEF\xBB\xBF"
                                "a\xFF"
                                "b",
                                TagAnsi),
              "a\xEF\xBF\xBD"
              "b");
    // A lone high surrogate, then an odd last byte.
    EXPECT_EQ(DecodeConfigBytes(std::string("\xFF\xFE\x00\xD8\x41\x00\x42", 7), TagAnsi),
              "\xEF\xBF\xBD"
              "A");
    // A surrogate pair (U+1F600).
    EXPECT_EQ(DecodeConfigBytes(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), TagAnsi), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf8::Sanitize(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(utf8::Sanitize("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");  // overlong NUL
}

TEST(ConfigText, EveryLineEndEndsALine) {
    const auto lines = SplitLines("a\r\nb\rc\nd\r\n\r\ne");
    EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "c", "d", "", "e"}));
    EXPECT_EQ(SplitLines("a\r\n"), (std::vector<std::string_view>{"a"}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(ConfigText, LowerCaseCoversTheScriptsMakersTypeAndLeavesChineseAlone) {
    EXPECT_EQ(utf8::LowerCase("GMSPath"), "gmspath");
    EXPECT_EQ(utf8::LowerCase("ÀÉÖØÞ×"), "àéöøþ×");
    EXPECT_EQ(utf8::LowerCase("ΑΩ ЖЁ ĀŁ ＡＺ"), "αω жё āł ａｚ");
    EXPECT_EQ(utf8::LowerCase("安装C"), "安装c");
    EXPECT_EQ(utf8::LowerCase("\xFF"
                              "A"),
              "\xFF"
              "a");
}

TEST(ConfigLine, KeysAreCaseInsensitiveAndValuesLoseOnlyOuterBlanks) {
    ConfigLine line = ParseConfigLine("  SetupTitle   =   My Add-on  ");
    EXPECT_EQ(line.key, ConfigKey::SetupTitle);
    EXPECT_EQ(line.value, "My Add-on");

    line = ParseConfigLine("flagspicture=\tcover.bmp\t");
    EXPECT_EQ(line.key, ConfigKey::FlagsPicture);
    EXPECT_EQ(line.value, "\tcover.bmp\t") << "tabs are not blanks";

    EXPECT_EQ(ParseConfigLine("fileitem=c|a=b|1|gmspath").value, "c|a") << "a second = cuts the value";
    EXPECT_EQ(ParseConfigLine("file item=c|a|1|gmspath").key, ConfigKey::None);
    EXPECT_EQ(ParseConfigLine("\tfileitem=c|a|1|gmspath").key, ConfigKey::None);
    EXPECT_EQ(ParseConfigLine("[Setup]").key, ConfigKey::None);
    EXPECT_EQ(ParseConfigLine("=value").key, ConfigKey::None);
    EXPECT_EQ(ParseConfigLine("setuptitle=").value, "");
}

TEST(ConfigLine, TaskFieldsKeepTheirBlanks) {
    EXPECT_EQ(SplitTaskFields("c |a.gms| 1|gmspath|"), (std::vector<std::string>{"c ", "a.gms", " 1", "gmspath", ""}));
    EXPECT_EQ(SplitTaskFields(""), (std::vector<std::string>{""}));
}

}  // namespace
}  // namespace tessaro
