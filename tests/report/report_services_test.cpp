// The services of the running program: conversion only in the Traditional
// Chinese mode, the system locale's time text, the platform's version query.

#include "i18n/language.h"
#include "platform/date_text.h"
#include "platform/pe_version.h"
#include "report/report_services.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

class ReportServicesTest : public ::testing::Test {
protected:
    void SetUp() override { m_Saved = UiLanguage; }
    void TearDown() override { UiLanguage = m_Saved; }

private:
    std::string m_Saved;
};

TEST_F(ReportServicesTest, ConversionOnlyInTheTraditionalMode) {
    for (const char* mode : {"", "CHINESE", "taiwan"}) {
        UiLanguage = mode;
        EXPECT_FALSE(MakeReportServices().convert) << mode;
    }
    UiLanguage = "TAIWAN";
    EXPECT_TRUE(MakeReportServices().convert);
}

TEST_F(ReportServicesTest, TimeAndVersionComeFromThePlatform) {
    const ReportServices services = MakeReportServices();
    ASSERT_TRUE(services.formatTime);
    ASSERT_TRUE(services.fileVersion);
    const auto now = std::chrono::system_clock::now();
    EXPECT_EQ(services.formatTime(now), platform::FormatModifiedTime(now));

    test::ScratchDir dir;
    test::WriteFile(dir / "plain", std::string("text"));
    EXPECT_EQ(services.fileVersion(dir / "plain"), "");
    const std::filesystem::path dll = "/usr/lib/mono/4.5/mscorlib.dll";
    if (std::filesystem::exists(dll)) {
        EXPECT_EQ(services.fileVersion(dll), platform::GetFileVersion(dll));
        EXPECT_FALSE(services.fileVersion(dll).empty());
    }
}

TEST_F(ReportServicesTest, TraditionalBlockKeepsPathAndValues) {
    test::ScratchDir dir;
    const auto path = dir / "简体.txt";
    test::WriteFile(path, std::string("abc"));
    ReportOptions options;
    options.ShowModifiedTime = false;
    UiLanguage = "TAIWAN";
    const ReportBlock block = BuildReportBlock(path, path.string(), options, MakeReportServices());
    // Whatever the conversion library makes of the labels (it may be absent
    // here), the path and the digests stand as they are.
    EXPECT_NE(block.text.find("：" + path.string() + "\r\n"), std::string::npos) << block.text;
    EXPECT_NE(block.text.find("：A9993E364706816ABA3E25717850C26C9CD0D89D\r\n"), std::string::npos);
    EXPECT_NE(block.text.find("：900150983CD24FB0D6963F7D28E17F72\r\n\r\n"), std::string::npos);
}

} // namespace
} // namespace varnel
