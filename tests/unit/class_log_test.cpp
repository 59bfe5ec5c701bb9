#include <gtest/gtest.h>

#include "fake_platform.h"
#include "log/class_log.h"

namespace tessaro {
namespace {

using testing::FakePlatform;

TEST(ClassLog, CreatesTheFileWithTheHeaderAndAppendsInOrder) {
    FakePlatform fake;
    {
        ClassLog log(fake, fake);
        log.Begin("第一步");
        log.Begin("");
    }
    EXPECT_EQ(fake.Content("c:\\Tessaro.log"),
              "2026/12/7 5:19:53 #安装记录\r\n2026/12/7 5:19:53 第一步\r\n2026/12/7 5:19:53 \r\n")
        << "an empty message leaves the stamp and one blank";
}

TEST(ClassLog, KeepsWhatAnEarlierRunWrote) {
    FakePlatform fake;
    fake.AddFile("C:\\Tessaro.log", "earlier run\r\n");
    ClassLog log(fake, fake);
    EXPECT_EQ(fake.Content("c:\\Tessaro.log"), "earlier run\r\n2026/12/7 5:19:53 #安装记录\r\n");
}

TEST(ClassLog, AFileThatCannotBeOpenedIsIgnored) {
    FakePlatform fake;
    fake.logCannotOpen = true;
    ClassLog log(fake, fake);
    log.Begin("nothing happens");
    EXPECT_FALSE(fake.Exists("c:\\Tessaro.log"));
}

}  // namespace
}  // namespace tessaro
