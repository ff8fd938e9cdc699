// The digests the main window's blocks carry besides the designed lines:
// chosen on the command line (varnel-report's option names) or in the system
// menu's Add digests submenu, and written as varnel-report writes them.

#include "app/command_line.h"
#include "app/common_md5_view.h"
#include "app/program_windows_module.h"
#include "i18n/language.h"
#include "report/report_labels.h"
#include "tests/app/fake_services.h"
#include "winstyle/system_menu.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace varnel {
namespace {

// SHA-256 of "abc", the published vector.
constexpr const char* kAbcSha256 =
    "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";

class AddedDigests : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Temp.isValid());
        m_File = m_Temp.filePath(QStringLiteral("a.txt")).toStdString();
        std::ofstream(m_File) << "abc";
        UiLanguage.clear();
        window = std::make_unique<Common_MD5_View>(std::filesystem::path(VARNEL_PROGRAM_DIR));
        window->setDialogService(std::make_unique<test::ScriptedDialogs>());
    }
    void TearDown() override {
        window.reset();
        UiLanguage.clear();
    }
    QString Report() {
        EXPECT_TRUE(QTest::qWaitFor(
            [this] { return !window->IsReportRunning() && !window->ReportText().isEmpty(); },
            60000));
        return window->ReportText();
    }
    // The Add digests submenu of a system menu popped up into popup.
    QMenu* Submenu(QMenu*& popup) {
        popup = platform::PopupSystemMenu(window.get(), QPoint(100, 100));
        for (QAction* action : popup->actions()) {
            if (action->menu() != nullptr && action->text() == u"Add &digests") {
                return action->menu();
            }
        }
        return nullptr;
    }

    QTemporaryDir m_Temp;
    std::string m_File;
    std::unique_ptr<Common_MD5_View> window;
};

// The window started with --sha256 --blake3 writes the block varnel-report
// writes with the same options, SHA-256's line included.
TEST_F(AddedDigests, TheWindowsBlockIsVarnelReports) {
    const WindowCommandLine command = ParseWindowCommandLine({"--sha256", "--blake3", m_File});
    ASSERT_EQ(command.action, WindowCommandLine::Action::Report);
    Main(window, command.paths, command.digests);
    const QString block = Report();
    EXPECT_TRUE(block.contains(QStringLiteral("\r\nSHA256值 ：") + kAbcSha256 + "\r\n"));

    QProcess report;
    report.start(QStringLiteral(VARNEL_PROGRAM_DIR "/varnel-report"),
                 {"--sha256", "--blake3", QString::fromStdString(m_File)});
    ASSERT_TRUE(report.waitForFinished(60000));
    EXPECT_EQ(report.exitCode(), 0);
    EXPECT_EQ(block.toStdString(), report.readAllStandardOutput().toStdString());
}

// Each line the report may add has its item, named as results name the
// digest; choosing one adds its line to the next report and ticks it,
// choosing it again takes it away. The six boxes stay as they were.
TEST_F(AddedDigests, TheSystemMenuChoosesThemForTheNextReport) {
    window->show();
    QMenu* popup = nullptr;
    QMenu* kinds = Submenu(popup);
    ASSERT_NE(kinds, nullptr);
    ASSERT_EQ(kinds->actions().size(), static_cast<qsizetype>(kReportDigestLines.size()));
    for (std::size_t i = 0; i < kReportDigestLines.size(); ++i) {
        const QAction* item = kinds->actions()[static_cast<qsizetype>(i)];
        EXPECT_EQ(item->text(), QString::fromUtf8(DigestKindOf(kReportDigestLines[i].kind).name));
        EXPECT_TRUE(item->isCheckable() && !item->isChecked());
    }
    EXPECT_EQ(kinds->actions().first()->text(), u"SHA-256");
    EXPECT_EQ(popup->actions().last()->text(), u"&Verify checksum list…");
    kinds->actions()[3]->trigger(); // SHA3-256
    popup->close();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->ChosenDigests().sha3_256; }, 5000));
    EXPECT_TRUE(Submenu(popup)->actions()[3]->isChecked());
    popup->close();

    window->setFilePathNative(m_File);
    window->ReportFile();
    const QString block = Report();
    EXPECT_TRUE(block.contains(u"\r\nSHA3-256值 ："));
    EXPECT_FALSE(block.contains(u"SHA256值"));
    EXPECT_EQ(window->findChildren<QCheckBox*>().size(), 6);

    platform::SysCommand(window.get(), 0x0113); // SHA3-256's item again
    EXPECT_FALSE(window->ChosenDigests().sha3_256);
}

// The window's options are the report's, and every other option is wrong.
TEST(AddedDigestOptions, ReadFromTheCommandLineAndListedInTheHelp) {
    for (const ReportDigestLine& line : kReportDigestLines) {
        const std::string_view option = DigestKindOf(line.kind).option;
        const WindowCommandLine command = ParseWindowCommandLine({option, "a"});
        EXPECT_EQ(command.action, WindowCommandLine::Action::Report) << option;
        EXPECT_TRUE(command.digests.*(DigestKindOf(line.kind).selected)) << option;
        EXPECT_EQ(command.paths, std::vector<std::string>{"a"});
        EXPECT_NE(WindowUsageText().find(option), std::string::npos) << option;
    }
    EXPECT_EQ(ParseWindowCommandLine({"--crc32", "a"}).action, WindowCommandLine::Action::Wrong);
    EXPECT_EQ(ParseWindowCommandLine({"--", "--sha256"}).digests, DigestSelection());
}

} // namespace
} // namespace varnel
