// The verify window's verdicts (two files or folders compared, a pasted
// digest, a file's own list, a folder of lists) against cmp, the checksum
// tools and varnel-report; the main window's compare caption; saved results,
// reports and lists read back by varnel-report and the tools.

#include "app/common_md5_view.h"
#include "app/verdict_view.h"
#include "app/verify_table_model.h"
#include "app/verify_window.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "skin/skin_caption.h"
#include "tests/app/fake_services.h"
#include "tests/cli/run_program.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::RunIn;
using test::ScratchDir;
using test::WriteFile;

// The first field of a tool's line: its digest.
std::string DigestBy(const std::string& tool, const fs::path& file) {
    const test::RunResult run = RunIn(file.parent_path(), {tool, file.filename().string()});
    return run.out.substr(0, run.out.find(' '));
}

QString Accessible(QWidget* widget, QAccessible::Text what) {
    return QAccessible::queryAccessibleInterface(widget)->text(what);
}

class VerdictTest : public ::testing::Test {
protected:
    void SetUp() override {
        detail::SetConversionLibraryPathForTesting(fs::path(VARNEL_GB2BIG5_LIBRARY));
        m_Dir = m_Scratch.path();
        for (const auto& [name, text] :
             std::vector<std::pair<std::string, std::string>>{{"one.bin", "hello world\n"},
                                                              {"copy.bin", "hello world\n"},
                                                              {"other.bin", "hello World\n"},
                                                              {"lone.bin", "no list names me\n"},
                                                              {"setup.iso", "an image\n"},
                                                              {"A/x", "x"},
                                                              {"A/y", "y1"},
                                                              {"A/moved", "m"},
                                                              {"A/only", "o"},
                                                              {"B/x", "x"},
                                                              {"B/y", "y2"},
                                                              {"B/renamed", "m"},
                                                              {"B/extra", "e"},
                                                              {"lists/a/f", "f"},
                                                              {"lists/b/g", "g"}}) {
            fs::create_directories((m_Dir / name).parent_path());
            WriteFile(m_Dir / name, text);
        }
        WriteFile(m_Dir / "setup.iso.sha256",
                  DigestBy("sha256sum", m_Dir / "setup.iso") + "  setup.iso\n");
        WriteFile(m_Dir / "lists/a/SHA256SUMS",
                  DigestBy("sha256sum", m_Dir / "lists/a/f") + "  f\n");
        WriteFile(m_Dir / "lists/b/g.md5", std::string(32, '0') + "  g\n");
    }
    void TearDown() override {
        window.reset();
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::nullopt);
    }
    void Make(const char* mode = "") {
        UiLanguage = mode;
        window = std::make_unique<VerifyWindow>(fs::path(VARNEL_PROGRAM_DIR));
        auto dialogs = std::make_unique<test::ScriptedDialogs>();
        m_Dialogs = dialogs.get();
        window->setDialogService(std::move(dialogs));
        window->show();
    }
    void Wait() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 60000));
    }
    std::string At(const char* name) const { return (m_Dir / name).string(); }
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (int row = 0; row < window->Model().rowCount(); ++row) {
            lines.push_back(window->Model().ShownRow(row).line);
        }
        return lines;
    }

    ScratchDir m_Scratch;
    fs::path m_Dir;
    std::unique_ptr<VerifyWindow> window;
    test::ScriptedDialogs* m_Dialogs = nullptr;
};

// Two files: the verdict cmp gives, in the mode's words, its icon's shape
// named for a screen reader, the differing lines marked.
TEST_F(VerdictTest, TwoFilesComparedInEachMode) {
    const struct {
        const char* mode;
        const char* b;
        const char* word;
        const char* shape;
    } cases[] = {{"", "copy.bin", "Same", "tick"},
                 {"", "other.bin", "Different", "cross"},
                 {"CHINESE", "copy.bin", "相同", "勾号"},
                 {"TAIWAN", "other.bin", "不同", "叉號"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.b);
        Make(c.mode);
        window->Compare(At("one.bin"), At(c.b));
        ASSERT_NO_FATAL_FAILURE(Wait());
        const bool same = RunIn(m_Dir, {"cmp", "-s", "one.bin", c.b}).status == 0;
        ASSERT_EQ(window->Verdict().Verdict(), same);
        EXPECT_EQ(window->Verdict().VerdictText(), QString::fromUtf8(c.word));
        auto* icon = window->findChild<QLabel*>(QStringLiteral("VerdictIcon"));
        EXPECT_EQ(Accessible(icon, QAccessible::Name), QString::fromUtf8(c.word));
        EXPECT_EQ(Accessible(icon, QAccessible::Description), QString::fromUtf8(c.shape));
        const QTableWidget* lines = window->CompareLines().table();
        int marked = 0;
        for (int row = 0; row < lines->rowCount(); ++row) {
            marked += lines->item(row, 0)->text().startsWith(QStringLiteral("≠")) ? 1 : 0;
            EXPECT_EQ(lines->item(row, 1)->text() != lines->item(row, 2)->text(),
                      lines->item(row, 0)->text().startsWith(QStringLiteral("≠")));
        }
        EXPECT_EQ(marked == 0, same);
    }
}

// Two folders: each name's row as varnel-report --compare writes it, in the
// compare's own words.
TEST_F(VerdictTest, TwoFoldersGiveTheCompareRows) {
    Make();
    window->Compare(At("A"), At("B"));
    ASSERT_NO_FATAL_FAILURE(Wait());
    const test::RunResult theirs =
        test::Report(m_Dir, {"--compare", "--no-time", "--sha256", "A", "B"});
    std::vector<std::string> expected;
    std::istringstream lines(theirs.out);
    for (std::string line; std::getline(lines, line);) {
        expected.push_back(line);
    }
    EXPECT_EQ(Lines(), expected) << theirs.err;
    std::vector<QString> words;
    for (int row = 0; row < window->Model().rowCount(); ++row) {
        words.push_back(window->Model()
                            .data(window->Model().index(row, VerifyTableModel::StatusColumn))
                            .toString());
    }
    EXPECT_EQ(words,
              (std::vector<QString>{"Only in B", "Moved", "Only in A", "Same", "Different"}));
    EXPECT_EQ(window->Verdict().Verdict(), false);
}

// A file that is no list: checked against its own list, which is named; a
// file without one opens the digest box, filled from the clipboard, and a
// pasted digest is checked as each tool writes it, the kind named.
TEST_F(VerdictTest, OwnListsAndPastedDigests) {
    Make();
    window->Verify({At("setup.iso")});
    ASSERT_NO_FATAL_FAILURE(Wait());
    EXPECT_EQ(Lines(),
              std::vector<std::string>{At("setup.iso.sha256") + ": " + At("setup.iso") + ": OK"});
    ASSERT_FALSE(window->Messages().empty());
    EXPECT_NE(window->Messages().front().find("checked against " + At("setup.iso.sha256")),
              std::string::npos);

    const std::string sha256 = DigestBy("sha256sum", m_Dir / "lone.bin");
    QGuiApplication::clipboard()->setText(QString::fromStdString(sha256 + "  lone.bin\n"));
    window->Verify({At("lone.bin")});
    ASSERT_NO_FATAL_FAILURE(Wait());
    QLineEdit* box = window->digestBox()->edit();
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->hasFocus());
    EXPECT_EQ(box->text().toStdString(), sha256 + "  lone.bin");
    EXPECT_TRUE(window->Messages().empty());

    const struct {
        std::string pasted;
        bool same;
        const char* kind;
    } digests[] = {
        {sha256, true, "SHA-256"},
        {"md5: " + DigestBy("md5sum", m_Dir / "lone.bin"), true, "MD5"},
        {" " + DigestBy("b3sum", m_Dir / "lone.bin") + "\n", true, "BLAKE3"},
        {"sha256:" + std::string(64, 'a'), false, "SHA-256"},
    };
    for (const auto& d : digests) {
        SCOPED_TRACE(d.pasted);
        window->CheckDigest(QString::fromStdString(d.pasted));
        ASSERT_NO_FATAL_FAILURE(Wait());
        EXPECT_EQ(window->Verdict().Verdict(), d.same);
        EXPECT_EQ(window->Verdict().DetailText().contains(QString::fromLatin1(d.kind)), d.same);
    }
}

// A folder: every list below it, each against its own folder, as
// varnel-report --check -r; the results saved as text read back the same.
TEST_F(VerdictTest, FolderOfListsAndSavedResults) {
    Make();
    window->Verify({At("lists")});
    ASSERT_NO_FATAL_FAILURE(Wait());
    const test::RunResult theirs = test::Report(m_Dir, {"--check", "-r", At("lists")});
    EXPECT_EQ(window->ExitStatus(), theirs.status);
    std::string ours;
    for (const std::string& line : Lines()) {
        ours += line + "\n";
    }
    EXPECT_EQ(ours, theirs.out);

    m_Dialogs->saveAnswers.push_back({QString::fromStdString(At("results")), 0});
    window->SaveResults_Click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return fs::exists(m_Dir / "results.txt"); }));
    EXPECT_EQ(test::ReadAll(m_Dir / "results.txt"), theirs.out);
}

// The main window: the compare's dialogs say which file they ask for, the
// caption gives the verdict; the report saved reads back with --check, and
// its files saved as lists read back with the tools.
TEST_F(VerdictTest, MainWindowCompareAndSaves) {
    Common_MD5_View main(fs::path(VARNEL_PROGRAM_DIR));
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    test::ScriptedDialogs* dialogs = scripted.get();
    main.setDialogService(std::move(scripted));
    main.show();
    auto* caption = main.findChild<Skin_Caption*>(QStringLiteral("Skin_Caption1"));
    ASSERT_NE(caption, nullptr);
    for (const auto& [b, word] : {std::pair{"copy.bin", "相同"}, std::pair{"other.bin", "不同"}}) {
        dialogs->fileAnswers = {QString::fromStdString(At("one.bin")),
                                QString::fromStdString(At(b))};
        QSignalSpy ended(&main, &Common_MD5_View::reportEnded);
        main.Command6_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.count() == 2; }, 30000));
        QTest::qWait(50);
        EXPECT_TRUE(caption->shortTitle().contains(QString::fromUtf8(word)))
            << caption->shortTitle().toStdString();
    }
    ASSERT_EQ(dialogs->fileTitles.size(), 4);
    EXPECT_NE(dialogs->fileTitles[0], dialogs->fileTitles[1]);

    fs::create_directories(m_Dir / "saved");
    dialogs->saveAnswers.push_back({QString::fromStdString((m_Dir / "saved/report").string()), 0});
    main.SaveReport_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_Dir / "saved/report.txt"); }));
    EXPECT_EQ(test::Report(m_Dir, {"--check", "saved/report.txt"}).status, 0);

    const struct {
        int filter; // the entry of the dialog's filter
        const char* file;
        std::vector<std::string> check;
    } lists[] = {{0, "sums.sha256", {"sha256sum", "-c", "sums.sha256"}},
                 {3, "sums.md5", {"md5sum", "-c", "sums.md5"}},
                 {5, "sums.b3", {"b3sum", "--check", "sums.b3"}},
                 {0, "again.sha256", {test::ReportProgram(), "--check", "again.sha256"}}};
    for (const auto& list : lists) {
        SCOPED_TRACE(list.file);
        dialogs->saveAnswers.push_back(
            {QString::fromStdString((m_Dir / list.file).string()), list.filter});
        main.SaveChecksumList_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_Dir / list.file); }, 30000));
        const test::RunResult checked = RunIn(m_Dir, list.check);
        EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
        EXPECT_EQ(test::Count(checked.out, "OK"), 4u) << checked.out;
    }
}

} // namespace
} // namespace varnel

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
