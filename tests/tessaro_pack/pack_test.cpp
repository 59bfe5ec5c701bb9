// What tessaro-pack writes, read back the way the installer reads its own file; and which files of a folder go in.
#include <gtest/gtest.h>

#include <cstring>

#include "bundle/bundle_format.h"
#include "tessaro_pack/lzma_encode.h"
#include "tessaro_pack/pack.h"
#include "test_support.h"

namespace tessaro_pack {
namespace {

using tessaro::bundle::BundleState;
using tessaro::bundle::File;
using tessaro::bundle::Marker;

constexpr std::size_t kPeAt = 0x80;
constexpr std::size_t kSecurityEntryAt = kPeAt + 24 + 144;  // PE32+

// A stand-in for Tessaro.exe: a PE32+ header with an empty certificate entry, and the unfilled marker.
std::string Stub() {
    std::string stub(0x400, '\0');
    stub.replace(0, 2, "MZ");
    stub[0x3C] = static_cast<char>(kPeAt);
    stub.replace(kPeAt, 4, std::string("PE\0\0", 4));
    stub[kPeAt + 24] = 0x0B;
    stub[kPeAt + 25] = 0x02;
    stub.replace(0x300, tessaro::bundle::kMarkerMagic.size(), tessaro::bundle::kMarkerMagic);
    return stub;
}

// The marker as the running Setup.exe sees it in its own image.
Marker MarkerOf(const std::string& setup) {
    Marker marker{};
    if (setup.size() >= 0x300 + sizeof(marker)) {
        std::memcpy(&marker, setup.data() + 0x300, sizeof(marker));
    }
    return marker;
}

void Put32(std::string& bytes, std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// What Authenticode signing does to the file: pad to eight bytes, append the table, name it in the header.
std::string Signed(std::string setup, std::size_t tableBytes = 64) {
    setup.resize((setup.size() + 7) / 8 * 8, '\0');
    Put32(setup, kSecurityEntryAt, setup.size());
    Put32(setup, kSecurityEntryAt + 4, tableBytes);
    return setup + std::string(tableBytes, '\x5A');
}

struct BundleCase {
    const char* name;
    std::function<std::string(std::string)> change;
    BundleState state;
};

TEST(Bundle, WhatTessaroPackWritesTheInstallerReadsAndNothingElse) {
    const std::vector<File> files = {
        {"InstInfo.ini", "[Tessaro]\r\nfileitem=c|宏.gms|1|gmspath|\r\n"},
        {"宏.gms", std::string(100000, 'm') + "end"},
        {"extras\\icons.gms", std::string("\0\x01\xFF", 3)},
        {"empty.txt", ""},
    };
    std::string error;
    const std::string setup = BuildSetup(Stub(), files, 1, error);
    ASSERT_FALSE(setup.empty()) << error;
    EXPECT_LT(setup.size(), Stub().size() + 2000) << "the payload is compressed";
    const std::size_t payloadAt = Stub().size();
    const BundleCase cases[] = {
        {"as written", [](std::string s) { return s; }, BundleState::Ready},
        {"signed", [](std::string s) { return Signed(std::move(s)); }, BundleState::Ready},
        {"cut by one byte", [](std::string s) { return s.substr(0, s.size() - 1); }, BundleState::Damaged},
        {"cut after the installer", [&](std::string s) { return s.substr(0, payloadAt); }, BundleState::Damaged},
        {"cut in the middle", [&](std::string s) { return s.substr(0, payloadAt + 40); }, BundleState::Damaged},
        {"a bit flipped early", [&](std::string s) { return s[payloadAt + 20] ^= 1, s; }, BundleState::Damaged},
        {"a bit flipped last", [](std::string s) { return s.back() ^= 0x80, s; }, BundleState::Damaged},
        {"a foreign tail", [](std::string s) { return s + "appended by a download site"; }, BundleState::Damaged},
        {"a tail after the signature", [](std::string s) { return Signed(std::move(s)) + "x"; }, BundleState::Damaged},
        {"a certificate entry that ends short",
         [](std::string s) {
             const std::size_t unsignedSize = s.size();
             return Signed(std::move(s)).substr(0, unsignedSize + 40);
         },
         BundleState::Damaged},
        {"a marker of a later format", [](std::string s) { return s[0x300 + 16] = 3, s; }, BundleState::Damaged},
        {"a marker of the first format", [](std::string s) { return s[0x300 + 16] = 1, s; }, BundleState::Damaged},
        {"a plain Tessaro.exe", [](std::string) { return Stub(); }, BundleState::NotABundle},
    };
    for (const BundleCase& c : cases) {
        const std::string changed = c.change(setup);
        const tessaro::bundle::OpenedBundle opened = tessaro::bundle::OpenBundle(changed, MarkerOf(changed));
        EXPECT_EQ(opened.state, c.state) << c.name;
        if (c.state == BundleState::Ready) {
            ASSERT_EQ(opened.files.size(), files.size()) << c.name;
            for (std::size_t i = 0; i < files.size(); ++i) {
                EXPECT_EQ(opened.files[i].name, files[i].name) << c.name;
                EXPECT_EQ(opened.files[i].bytes, files[i].bytes) << c.name;
            }
        }
    }
    // A stub that is already a Setup.exe is no stub.
    EXPECT_TRUE(BuildSetup(setup, files, 1, error).empty());
}

TEST(Bundle, AnArchiveNeverWritesOutsideItsFolderNorClaimsMoreThanItHas) {
    using tessaro::bundle::ParseFiles;
    using tessaro::bundle::SerializeFiles;
    for (const char* name : {"..\\evil.exe", "a\\..\\..\\b", "C:\\Windows\\x.dll", "\\x", "/x", "a:b", "a\\\\b", ""}) {
        EXPECT_FALSE(ParseFiles(SerializeFiles({{name, "x"}}, 1))) << name;
    }
    EXPECT_TRUE(ParseFiles(SerializeFiles({{"a\\b.c..d", "x"}}, 1)));
    EXPECT_FALSE(ParseFiles(SerializeFiles({{"a", "x"}}, 2))) << "more files for the window than there are";
    // An LZMA header claiming a gigabyte is refused before anything is allocated.
    std::string payload = *EncodePayload("small");
    payload[5 + 4] = 0x40;
    EXPECT_FALSE(tessaro::bundle::DecodePayload(payload));
    const std::string archive = SerializeFiles({{"a", "abc"}}, 1);
    EXPECT_FALSE(ParseFiles(archive.substr(0, archive.size() - 1)));
    EXPECT_FALSE(ParseFiles(archive + "x"));
}

// Setup.exe reads the index and the window's files from the front of the payload while the rest is still packed:
// every prefix either asks for more or gives the same index, and unpacking in steps gives the same bytes.
TEST(Bundle, TheFrontOfAnArchiveUnpacksAloneAndInSteps) {
    using tessaro::bundle::ArchiveIndex;
    using tessaro::bundle::IndexState;
    std::string big;
    for (int i = 0; big.size() < 1'500'000; ++i) {
        big += "Sub Macro" + std::to_string(i * 7919 % 100003) + "()\r\n";
    }
    const std::vector<File> files = {{"InstInfo.ini", "[Tessaro]\r\n"}, {"cover.bmp", "BM..."}, {"big.gms", big}};
    const std::string archive = tessaro::bundle::SerializeFiles(files, 2);
    ArchiveIndex whole;
    ASSERT_EQ(tessaro::bundle::ParseIndex(archive, archive.size(), whole), IndexState::Complete);
    ASSERT_EQ(whole.entries.size(), 3u);
    EXPECT_EQ(whole.windowFiles, 2u);
    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(archive.substr(whole.entries[i].offset, whole.entries[i].size), files[i].bytes);
    }
    const std::size_t indexBytes = whole.entries[0].offset;
    for (std::size_t length = 0; length <= indexBytes + 1; ++length) {
        ArchiveIndex index;
        const IndexState state = tessaro::bundle::ParseIndex(archive.substr(0, length), archive.size(), index);
        ASSERT_EQ(state, length < indexBytes ? IndexState::NeedMore : IndexState::Complete) << length;
    }
    ArchiveIndex index;
    EXPECT_EQ(tessaro::bundle::ParseIndex(archive.substr(0, 20), 20, index), IndexState::Damaged) << "a cut archive";

    // The CRC the marker carries, against zlib's crc32 of the same bytes.
    std::string counting(100003, '\0');
    for (std::size_t i = 0; i < counting.size(); ++i) {
        counting[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    }
    EXPECT_EQ(tessaro::bundle::Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(tessaro::bundle::Crc32(counting), 0xCD676DABu);

    const std::string payload = *EncodePayload(archive);
    tessaro::bundle::PayloadDecoder decoder;
    ASSERT_TRUE(decoder.Begin(payload));
    ASSERT_TRUE(decoder.DecodeTo(whole.entries[1].offset + whole.entries[1].size));
    EXPECT_LT(decoder.Decoded().size(), archive.size() / 2) << "the window's files come out before the rest";
    EXPECT_EQ(decoder.Decoded(), archive.substr(0, decoder.Decoded().size()));
    for (std::uint64_t end = decoder.Decoded().size(); end < archive.size(); end += 1 << 20) {
        ASSERT_TRUE(decoder.DecodeTo(end));
    }
    ASSERT_TRUE(decoder.Finish());
    EXPECT_EQ(decoder.Decoded(), archive);

    // A stream cut short fails in steps too, and one with bytes after its end fails at the finish.
    tessaro::bundle::PayloadDecoder cut;
    ASSERT_TRUE(cut.Begin(std::string_view(payload).substr(0, payload.size() / 2)));
    EXPECT_FALSE(cut.DecodeTo(archive.size()));
    EXPECT_FALSE(cut.Finish());
    tessaro::bundle::PayloadDecoder longer;
    const std::string tailed = payload + "x";
    ASSERT_TRUE(longer.Begin(tailed));
    EXPECT_TRUE(longer.DecodeTo(archive.size()));
    EXPECT_FALSE(longer.Finish());
}

TEST(PackFolder, TakesWhatTheTasksNameAndRefusesAMissingRequiredFile) {
    instinfo_check::testing::TempFolder folder;
    folder.Write("InstInfo.ini",
                 "flagspicture=Cover.BMP\r\n"
                 "fileitem=c|macros.gms|1|gmspath|\r\n"
                 "fileitem=c|Sub\\Work.cdws|0|importworkspace|\r\n"
                 "fileitem=r|welcome.exe|0||\r\n"
                 "fileitem=k|old.gms|0|gmspath|\r\n"
                 "fileitem=c|optional-missing.gms|0|gmspath|\r\n");
    folder.Write("cover.bmp", "BM");
    folder.Write("MACROS.GMS", "m");
    folder.Write("sub/work.cdws", "w");
    folder.Write("welcome.exe", "e");
    folder.Write("old.gms", "not packed: a delete names a file in CorelDRAW's folder");
    folder.Write("notes/readme.txt", "r");
    const FolderPlan plan = PlanFolder(folder.Path(""), instinfo_check::testing::Decoder936());
    EXPECT_FALSE(plan.report.refusal);
    EXPECT_EQ(plan.packed,
              (std::vector<std::string>{"InstInfo.ini", "cover.bmp", "MACROS.GMS", "sub\\work.cdws", "welcome.exe"}));
    EXPECT_EQ(plan.windowFiles, 2u) << "InstInfo.ini and the picture, first";
    EXPECT_EQ(plan.leftOut, (std::vector<std::string>{"notes\\readme.txt", "old.gms"}));
    EXPECT_TRUE(plan.missingRequired.empty());

    folder.Write("InstInfo.ini", "fileitem=c|gone.gms|1|gmspath|\r\n");
    EXPECT_EQ(PlanFolder(folder.Path(""), instinfo_check::testing::Decoder936()).missingRequired,
              std::vector<std::string>{"gone.gms"});
    folder.Write("InstInfo.ini", "setuptitle=no task\r\n");
    EXPECT_TRUE(PlanFolder(folder.Path(""), instinfo_check::testing::Decoder936()).report.refusal);
}

}  // namespace
}  // namespace tessaro_pack
