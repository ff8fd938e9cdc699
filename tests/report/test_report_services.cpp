// The services of the running program: conversion only in the Traditional
// Chinese mode, the system locale's time text, the platform's version query.

#include "formats/pe_version.h"
#include "i18n/language.h"
#include "platform/qt/date_text.h"
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
    const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    EXPECT_EQ(services.formatTime(now), platform::FormatModifiedTime(now));
    // Seconds that come back after others, after the kept texts have
    // turned over: each still gets its own text.
    for (const int offset : {3, 7, 3, 11, 13, 17, 19, 7, 3, 23, 3, 0}) {
        const auto second = now - std::chrono::hours(24 * 40) + std::chrono::seconds(offset);
        EXPECT_EQ(services.formatTime(second), platform::FormatModifiedTime(second)) << offset;
    }

    test::ScratchDir dir;
    test::WriteFile(dir / "plain", std::string("text"));
    EXPECT_EQ(services.fileVersion(dir / "plain"), "");
    const std::filesystem::path dll = "/usr/lib/mono/4.5/mscorlib.dll";
    if (std::filesystem::exists(dll)) {
        EXPECT_EQ(services.fileVersion(dll), formats::GetFileVersion(dll));
        EXPECT_FALSE(services.fileVersion(dll).empty());
    }
}

} // namespace
} // namespace varnel
