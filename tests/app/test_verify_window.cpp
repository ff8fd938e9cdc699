// The verify window run for real (offscreen): its results entry by entry
// against varnel-report --check and --audit on the same lists, a list that
// cannot be read, stop and verify again, dropped lists, the problems filter
// and Copy, the keyboard, the language modes, and the main window's system
// menu item that opens it.

#include "app/common_md5_view.h"
#include "app/verify_table_model.h"
#include "app/verify_window.h"
#include "formats/name_escape.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "lists/result_words.h"
#include "tests/app/fake_services.h"
#include "tests/cli/run_program.h"
#include "winstyle/window_style.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace varnel {
namespace {

namespace fs = std::filesystem;
using test::RunIn;
using test::ScratchDir;
using test::WriteFile;

// One result, as both sides tell it.
struct Entry {
    std::string name;
    std::string status; // varnel-report's words
    std::vector<std::string> differs;
    std::string to;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry) {
    out << formats::EscapeName(entry.name) << ": " << entry.status;
    for (const std::string& what : entry.differs) {
        out << " [" << what << "]";
    }
    return out << (entry.to.empty() ? "" : " to ") << entry.to;
}

// A text field of a JSON result: its exact bytes when it was not UTF-8.
std::string Field(const QJsonObject& object, const QString& key) {
    if (object.contains(key + QStringLiteral("_bytes"))) {
        return QByteArray::fromBase64(
                   object.value(key + QStringLiteral("_bytes")).toString().toLatin1())
            .toStdString();
    }
    return object.value(key).toString().toStdString();
}

std::vector<Entry> EntriesOfJson(const std::string& lines) {
    std::vector<Entry> entries;
    for (const QByteArray& line : QByteArray::fromStdString(lines).split('\n')) {
        if (line.isEmpty()) {
            continue;
        }
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        Entry entry{Field(object, QStringLiteral("name")),
                    object.value(QStringLiteral("status")).toString().toStdString(),
                    {},
                    Field(object, QStringLiteral("to"))};
        for (const QJsonValue what : object.value(QStringLiteral("differs")).toArray()) {
            entry.differs.push_back(what.toString().toStdString());
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<Entry> EntriesOfWindow(const VerifyTableModel& model) {
    std::vector<Entry> entries;
    for (int row = 0; row < model.rowCount(); ++row) {
        const VerifyRow& shown = model.ShownRow(row);
        entries.push_back(
            {shown.name, std::string(ResultWord(shown.result)), shown.differs, shown.to});
    }
    return entries;
}

// The working folder for a test's time.
class WorkingFolder {
public:
    explicit WorkingFolder(const fs::path& folder) : m_Before(fs::current_path()) {
        fs::current_path(folder);
    }
    ~WorkingFolder() { fs::current_path(m_Before); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    fs::path m_Before;
};

// A Chinese text in a language mode's form: Traditional converted.
QString InMode(const char* mode, const std::string& chinese) {
    return QString::fromStdString(std::string_view(mode) == "TAIWAN" ? ConvertToBig5(chinese)
                                                                     : chinese);
}

class VerifyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
        m_Folder = m_Scratch.path() / "down loads";
        fs::create_directories(m_Folder / "sub");
        const std::vector<std::pair<std::string, std::string>> files = {
            {"same.bin", "abc"},     {"changed.bin", "abc"}, {"gone.bin", "gone"},
            {"moved.bin", "moving"}, {"new\nline", "nl"},    {"bad\xff.bin", "ff"},
            {"sp ace.txt", "sp"},    {"locked.bin", "lk"},   {"sub/deep.txt", "deep"},
        };
        std::vector<std::string> args = {"sha256sum", "--"};
        std::vector<std::string> reportArgs = {test::ReportProgram(), "--"};
        for (const auto& [name, content] : files) {
            WriteFile(m_Folder / name, content);
            args.push_back(name);
            reportArgs.push_back(name);
        }
        // The lists: one written by sha256sum, a saved report by
        // varnel-report; both name a FIFO, which is never read.
        const test::RunResult sums = RunIn(m_Folder, args);
        ASSERT_EQ(sums.status, 0) << sums.err;
        WriteFile(m_Folder / "SHA256SUMS", sums.out + std::string(64, '0') + "  fifo\n");
        ASSERT_EQ(::mkfifo((m_Folder / "fifo").c_str(), 0600), 0);
        reportArgs.emplace_back("fifo");
        const test::RunResult report = RunIn(m_Folder, reportArgs);
        ASSERT_FALSE(report.out.empty()) << report.err;
        WriteFile(m_Folder / "report.txt", report.out);

        // What happened since: changed, gone, moved, new, locked.
        WriteFile(m_Folder / "changed.bin", std::string("abd"));
        fs::remove(m_Folder / "gone.bin");
        fs::rename(m_Folder / "moved.bin", m_Folder / "sub" / "moved here.bin");
        WriteFile(m_Folder / "sub" / "new.bin", std::string("new"));
        fs::permissions(m_Folder / "locked.bin", fs::perms::none);
        m_Root = ::geteuid() == 0;
    }
    void TearDown() override {
        window.reset();
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::nullopt);
    }

    void Make(const char* mode = "") {
        UiLanguage = mode;
        window = std::make_unique<VerifyWindow>(fs::path(VARNEL_PROGRAM_DIR));
    }
    template <typename T> T* Child(const char* name) {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    // Verifies the lists and waits for the run's end.
    void VerifyAndWait(std::vector<std::string> lists, bool findNew = false) {
        Child<QCheckBox>("FindNew")->setChecked(findNew);
        QSignalSpy ended(window.get(), &VerifyWindow::runEnded);
        window->Verify(std::move(lists));
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 120000));
        // The end comes both from the run and from the timer's turns: it is
        // shown once.
        QTest::qWait(120);
        EXPECT_EQ(ended.count(), 1);
    }
    std::string InFolder(const char* name) const { return (m_Folder / name).string(); }

    ScratchDir m_Scratch;
    fs::path m_Folder;
    bool m_Root = false;
    std::unique_ptr<VerifyWindow> window;
};

// Entry by entry, the window says what varnel-report says of the same list,
// checked and audited; a saved report's results also copy as
// varnel-report's text.
TEST_F(VerifyWindowTest, TheSameResultsAsVarnelReport) {
    const struct {
        const char* list;
        bool audit;
        std::vector<std::string> expectedStatuses; // of the changed, gone and moved entries
    } cases[] = {
        {"SHA256SUMS", false, {"FAILED", "FAILED open or read", "FAILED open or read"}},
        {"SHA256SUMS", true, {"FAILED", "MISSING", "MOVED"}},
        {"report.txt", false, {"FAILED", "FAILED open or read", "FAILED open or read"}},
        {"report.txt", true, {"DAMAGED", "MISSING", "MOVED"}},
    };
    Make();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.list) + (c.audit ? " --audit" : " --check"));
        ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder(c.list)}, c.audit));
        const test::RunResult json = RunIn(
            m_Folder, {test::ReportProgram(), c.audit ? "--audit" : "--check", "--json", c.list});
        const std::vector<Entry> theirs = EntriesOfJson(json.out);
        const std::vector<Entry> ours = EntriesOfWindow(window->Model());
        ASSERT_EQ(ours.size(), theirs.size()) << json.err;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            EXPECT_EQ(ours[i], theirs[i]) << "entry " << i;
        }
        EXPECT_EQ(window->ExitStatus(), json.status);

        // The cases the fixture was made for are there.
        std::map<std::string, Entry> byName;
        for (const Entry& entry : ours) {
            byName[entry.name] = entry;
        }
        const std::string changedStatus = byName["changed.bin"].status;
        EXPECT_TRUE(changedStatus == c.expectedStatuses[0] ||
                    (c.audit && changedStatus == "EDITED"))
            << changedStatus;
        EXPECT_EQ(byName["gone.bin"].status, c.expectedStatuses[1]);
        EXPECT_EQ(byName["moved.bin"].status, c.expectedStatuses[2]);
        if (c.audit) {
            EXPECT_EQ(byName["moved.bin"].to, "sub/moved here.bin");
            EXPECT_EQ(byName["sub/new.bin"].status, "NEW");
        }
        EXPECT_EQ(byName["fifo"].status, "FAILED open or read");
        EXPECT_EQ(byName["new\nline"].status, "OK");
        EXPECT_EQ(byName["bad\xff.bin"].status, "OK");
        // Running as root, a file without permissions is still read: that
        // case is left out.
        if (!m_Root) {
            EXPECT_EQ(byName["locked.bin"].status, "FAILED open or read");
        }

        // The results copy exactly as varnel-report writes them, in the
        // escape of the list's kind.
        const test::RunResult text =
            RunIn(m_Folder, {test::ReportProgram(), c.audit ? "--audit" : "--check", c.list});
        window->Copy_Click();
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), text.out);
    }
}

// A list that cannot be read is said in words, and the lists that can are
// verified all the same.
TEST_F(VerifyWindowTest, AListThatCannotBeReadIsSaidCalmly) {
    Make();
    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("nosuch.md5")}));
    EXPECT_EQ(window->Model().rowCount(), 0);
    EXPECT_EQ(window->ExitStatus(), 2);
    ASSERT_EQ(window->Messages().size(), 1U);
    EXPECT_NE(window->Messages().front().find("nosuch.md5"), std::string::npos);
    EXPECT_TRUE(Child<QLabel>("Messages")->toolTip().contains(u"nosuch.md5"));
    EXPECT_TRUE(Child<QLabel>("ProgressText")->text().contains(u"could not be read"));

    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("nosuch.md5"), InFolder("SHA256SUMS")}));
    EXPECT_GT(window->Model().rowCount(), 5);
    EXPECT_EQ(window->ExitStatus(), 2);
}

// Stop ends a run that waits on its list; the button then starts the same
// lists again; a drop replaces the run with the dropped lists.
TEST_F(VerifyWindowTest, StopVerifyAgainAndDrop) {
    Make();
    QPushButton* stop = Child<QPushButton>("Stop");
    EXPECT_FALSE(stop->isEnabled()) << "nothing to verify again yet";

    // A list from a pipe whose writer stays: the run waits for its next line.
    const fs::path pipe = m_Folder / "list.pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const std::string line =
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  same.bin\n";
    ASSERT_EQ(::write(writer, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    window->Verify({pipe.string()});
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->Model().rowCount() == 1; }, 60000));
    EXPECT_TRUE(window->IsRunning());
    EXPECT_EQ(stop->text(), u"Stop");
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 10000));
    EXPECT_EQ(stop->text(), u"Verify again");
    EXPECT_TRUE(Child<QLabel>("ProgressText")->text().startsWith(u"Stopped"));
    ::close(writer);

    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS")}));
    const int rows = window->Model().rowCount();
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(window->IsRunning());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 120000));
    EXPECT_EQ(window->Model().rowCount(), rows);

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(InFolder("report.txt")))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(window->Lists(), std::vector<std::string>{InFolder("report.txt")});
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 120000));
    EXPECT_GT(window->Model().rowCount(), 5);
}

// "Show only problems" filters the table and Copy takes the rows shown;
// "also find new files" runs the lists again as an audit.
TEST_F(VerifyWindowTest, OnlyProblemsCopyAndFindNew) {
    Make();
    window->show();
    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS")}));
    const VerifyTableModel& model = window->Model();
    const int all = model.rowCount();
    QTest::mouseClick(Child<QCheckBox>("OnlyProblems"), Qt::LeftButton);
    ASSERT_LT(model.rowCount(), all);
    std::string expected;
    for (int row = 0; row < model.rowCount(); ++row) {
        EXPECT_TRUE(IsProblem(model.ShownRow(row).status));
        expected += model.ShownRow(row).line + "\n";
    }
    QTest::mouseClick(Child<QPushButton>("Copy"), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected);

    QTest::mouseClick(Child<QCheckBox>("FindNew"), Qt::LeftButton);
    EXPECT_TRUE(window->IsRunning());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->IsRunning(); }, 120000));
    int added = 0;
    for (int row = 0; row < model.rowCount(); ++row) {
        added += model.ShownRow(row).status == VerifyStatus::New ? 1 : 0;
    }
    EXPECT_EQ(added, 2) << "the new file, and the list not audited";
    EXPECT_EQ(Child<QLabel>("CountNew")->text(), u"New 2");
}

// Tab reaches every control in order from the results, Enter presses the
// focused button, Escape closes; a screen reader gets names for the table,
// the counts and the progress.
TEST_F(VerifyWindowTest, KeyboardAndReaders) {
    Make();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 10000));
    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS")}));
    const char* order[] = {"Results", "OnlyProblems", "FindNew", "Open", "Copy", "Save", "Stop"};
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromLatin1(order[i]));
    }
    QApplication::clipboard()->clear();
    Child<QPushButton>("Copy")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(QGuiApplication::clipboard()->text().isEmpty());

    EXPECT_EQ(Child<QTableView>("Results")->accessibleName(), u"Verification results");
    EXPECT_TRUE(Child<QTableView>("Results")->currentIndex().isValid()) << "its focus is drawn";
    EXPECT_EQ(Child<QWidget>("Progress")->accessibleName(), u"Progress");
    QAccessibleInterface* counts = QAccessible::queryAccessibleInterface(Child<QLabel>("CountOk"));
    ASSERT_NE(counts, nullptr);
    EXPECT_TRUE(counts->text(QAccessible::Name).startsWith(u"OK "));

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(VerifyWindowTest, TextsFollowTheLanguageMode) {
    const struct {
        const char* mode;
        const char* title;
        const char* onlyProblems;
        const char* copy;
    } cases[] = {
        {"", "Varnel Verify", "Show only problems", "Copy results"},
        {"CHINESE", "Varnel 校验", "仅显示问题", "复制结果"},
        {"TAIWAN", "Varnel 校驗", "僅顯示問題", "複製結果"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Make(c.mode);
        EXPECT_EQ(window->windowTitle(), QString::fromUtf8(c.title));
        EXPECT_EQ(Child<QCheckBox>("OnlyProblems")->text(), QString::fromUtf8(c.onlyProblems));
        EXPECT_EQ(Child<QPushButton>("Copy")->text(), QString::fromUtf8(c.copy));
    }
}

// A list from a FIFO (or a pipe) takes its names from the working folder
// and is read once: its results stay, and the commands that would read it
// again are off, saying why; a list from a file turns them on again.
TEST_F(VerifyWindowTest, AListFromAPipeIsReadOnceWithNamesFromTheWorkingFolder) {
    const fs::path pipe = m_Scratch.path() / "sums.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::ifstream sums(m_Folder / "SHA256SUMS");
    std::ostringstream read;
    read << sums.rdbuf();
    const std::string list = read.str();
    const WorkingFolder working(m_Folder);
    std::thread writer([&] { std::ofstream(pipe) << list; });
    Make();
    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({pipe.string()}));
    writer.join();
    const test::RunResult json =
        RunIn(m_Folder, {test::ReportProgram(), "--check", "--json", "SHA256SUMS"});
    EXPECT_EQ(EntriesOfWindow(window->Model()), EntriesOfJson(json.out));

    auto* again = Child<QPushButton>("Stop");
    auto* findNew = Child<QCheckBox>("FindNew");
    EXPECT_TRUE(window->ListsReadOnce());
    EXPECT_FALSE(again->isEnabled());
    EXPECT_FALSE(findNew->isEnabled());
    EXPECT_TRUE(again->toolTip().contains(u"read only once")) << again->toolTip().toStdString();
    EXPECT_EQ(findNew->accessibleDescription(), again->toolTip());
    const int rows = window->Model().rowCount();
    window->Stop_Click();
    window->FindNew_Click();
    EXPECT_FALSE(window->IsRunning());
    EXPECT_EQ(window->Model().rowCount(), rows);

    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS")}));
    EXPECT_TRUE(again->isEnabled());
    EXPECT_TRUE(findNew->isEnabled());
}

// Every message about the lists stays, in a list under the status line that
// counts them, for a screen reader too; messages and the reasons of rows are
// in the window's language.
TEST_F(VerifyWindowTest, EveryMessageAndReasonInTheWindowsLanguage) {
    std::ifstream sums(m_Folder / "SHA256SUMS");
    std::string odd;
    std::string line;
    for (int number = 1; std::getline(sums, line); ++number) {
        odd += (number == 4 ? "not a checksum line\n" : "") + line + "\n";
    }
    WriteFile(m_Folder / "odd.sha256", odd);
    WriteFile(m_Folder / "list.sfv", std::string("same.bin 352441C2\n"));
    const std::string gone = std::generic_category().message(ENOENT);
    const std::string denied = std::generic_category().message(EACCES);
    const struct {
        const char* mode;
        std::string badLine, missing, special, locked, counted, listName;
    } cases[] = {
        {"", "line 4: improperly formatted checksum line", gone, "not a regular file, not read",
         denied, "2 messages about the lists", "Messages about the lists"},
        {"CHINESE", "第 4 行：校验行格式错误", "没有那个文件或文件夹", "不是普通文件，未读取",
         "权限不足", "关于清单的消息：2 条", "关于清单的消息"},
        {"TAIWAN", "第 4 行：校验行格式错误", "没有那个文件或文件夹", "不是普通文件，未读取",
         "权限不足", "关于清单的消息：2 条", "关于清单的消息"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Make(c.mode);
        window->show();
        ASSERT_NO_FATAL_FAILURE(VerifyAndWait(
            {InFolder("odd.sha256"), InFolder("nonexist.sha256"), InFolder("list.sfv")}));
        auto* list = Child<QListWidget>("MessageList");
        ASSERT_NE(list, nullptr);
        EXPECT_TRUE(list->isVisible());
        ASSERT_EQ(list->count(), 2);
        EXPECT_TRUE(
            list->item(0)->text().startsWith(QString::fromStdString(InFolder("odd.sha256"))));
        EXPECT_TRUE(list->item(0)->text().endsWith(InMode(c.mode, c.badLine)))
            << list->item(0)->text().toStdString();
        EXPECT_TRUE(list->item(1)->text().contains(u"nonexist.sha256"));
        EXPECT_TRUE(list->item(1)->text().endsWith(InMode(c.mode, c.missing)))
            << list->item(1)->text().toStdString();
        EXPECT_EQ(Child<QLabel>("Messages")->text(), InMode(c.mode, c.counted));

        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(list);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->text(QAccessible::Name), InMode(c.mode, c.listName));
        EXPECT_EQ(read->text(QAccessible::Description), InMode(c.mode, c.counted));
        ASSERT_EQ(read->childCount(), 2);
        EXPECT_EQ(read->child(1)->text(QAccessible::Name), list->item(1)->text());

        std::map<std::string, QString> reasons;
        const VerifyTableModel& model = window->Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            reasons[model.ShownRow(row).name] =
                model.data(model.index(row, VerifyTableModel::DiffersColumn)).toString();
        }
        EXPECT_EQ(reasons["fifo"], InMode(c.mode, c.special));
        if (!m_Root) {
            EXPECT_EQ(reasons["locked.bin"], InMode(c.mode, c.locked));
        }
    }
}

// The title names the list or counts the lists, the rows of several lists
// name their list, and the counts split as varnel-report's summary does
// (unreadable apart from failed), in each language mode.
TEST_F(VerifyWindowTest, TitleListColumnAndCountsInEachLanguageMode) {
    const struct {
        const char* mode;
        const char* oneList;
        const char* twoLists;
        const char* unreadable;
    } cases[] = {
        {"", "Varnel Verify - SHA256SUMS", "Varnel Verify - 2 lists", "Unreadable"},
        {"CHINESE", "Varnel 校验 - SHA256SUMS", "Varnel 校验 - 2 个清单", "无法读取"},
        {"TAIWAN", "Varnel 校驗 - SHA256SUMS", "Varnel 校驗 - 2 個清單", "無法讀取"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Make(c.mode);
        auto* table = Child<QTableView>("Results");
        ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS")}));
        EXPECT_EQ(window->windowTitle(), QString::fromUtf8(c.oneList));
        EXPECT_TRUE(table->isColumnHidden(VerifyTableModel::ListColumn));
        // The FIFO is unreadable; the locked file too, unless root reads it.
        auto* unreadable = Child<QLabel>("CountUnreadable");
        ASSERT_NE(unreadable, nullptr);
        EXPECT_EQ(unreadable->text(),
                  QString::fromUtf8(c.unreadable) + QString::fromLatin1(m_Root ? " 1" : " 2"));
        EXPECT_TRUE(Child<QLabel>("CountFailed")->text().endsWith(u" 1"));

        ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS"), InFolder("report.txt")}));
        EXPECT_EQ(window->windowTitle(), QString::fromUtf8(c.twoLists));
        EXPECT_FALSE(table->isColumnHidden(VerifyTableModel::ListColumn));
        const VerifyTableModel& model = window->Model();
        ASSERT_GT(model.rowCount(), 2);
        EXPECT_EQ(model.index(0, VerifyTableModel::ListColumn).data().toString(), u"SHA256SUMS");
        EXPECT_EQ(model.index(model.rowCount() - 1, VerifyTableModel::ListColumn).data().toString(),
                  u"report.txt");
    }
}

// A click on a header sorts by its column, a second the other way, a third
// back to the lists' order; Ctrl+C copies the selected rows as
// varnel-report writes them; Escape closes from the table.
TEST_F(VerifyWindowTest, HeaderSortsCtrlCCopiesTheSelectionEscapeCloses) {
    Make();
    window->show();
    ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder("SHA256SUMS")}));
    auto* table = Child<QTableView>("Results");
    const VerifyTableModel& model = window->Model();
    const auto names = [&model] {
        std::vector<std::string> shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            shown.push_back(model.ShownRow(row).name);
        }
        return shown;
    };
    const std::vector<std::string> listOrder = names();
    const auto clickHeader = [&](int column) {
        QHeaderView* header = table->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
        EXPECT_TRUE(QTest::qWaitFor([&model] { return !model.SortPending(); }, 20000));
    };
    clickHeader(VerifyTableModel::NameColumn);
    std::vector<std::string> sorted = listOrder;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(names(), sorted);
    clickHeader(VerifyTableModel::NameColumn);
    EXPECT_EQ(names(), std::vector<std::string>(sorted.rbegin(), sorted.rend()));
    clickHeader(VerifyTableModel::NameColumn);
    EXPECT_EQ(names(), listOrder);
    clickHeader(VerifyTableModel::StatusColumn);
    for (int row = 1; row < model.rowCount(); ++row) {
        EXPECT_LE(model.ShownRow(row - 1).status, model.ShownRow(row).status) << row;
    }

    table->setFocus(Qt::OtherFocusReason);
    table->selectionModel()->select(
        QItemSelection(model.index(2, 0), model.index(3, VerifyTableModel::ColumnCount - 1)),
        QItemSelectionModel::ClearAndSelect);
    QApplication::clipboard()->clear();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              model.ShownRow(2).line + "\n" + model.ShownRow(3).line + "\n");

    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

// The results open at the top, or at the first problem, never scrolled to
// the end.
TEST_F(VerifyWindowTest, OpensAtTheTopOrAtTheFirstProblem) {
    const std::string ok =
        "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  same.bin\n";
    std::string manyOk;
    for (int i = 0; i < 400; ++i) {
        manyOk += ok;
    }
    WriteFile(m_Folder / "ok.sha256", manyOk);
    WriteFile(m_Folder / "late.sha256", manyOk + std::string(64, '0') + "  changed.bin\n" + ok);
    const struct {
        const char* list;
        int current; // the row the view shows as current
    } cases[] = {{"ok.sha256", 0}, {"late.sha256", 400}};
    Make();
    window->show();
    auto* table = Child<QTableView>("Results");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        ASSERT_NO_FATAL_FAILURE(VerifyAndWait({InFolder(c.list)}));
        QApplication::processEvents();
        ASSERT_GT(table->verticalScrollBar()->maximum(), 0);
        EXPECT_EQ(table->currentIndex().row(), c.current);
        const QRect shown = table->visualRect(table->currentIndex());
        EXPECT_TRUE(table->viewport()->rect().intersects(shown));
        if (c.current == 0) {
            EXPECT_EQ(table->verticalScrollBar()->value(), 0);
        }
    }
}

// The open-file dialog names the kinds of entries in the window's language.
TEST_F(VerifyWindowTest, TheOpenDialogNamesFileTypesInTheWindowsLanguage) {
    const struct {
        const char* mode;
        std::string folder, text, plain;
    } cases[] = {
        {"", "Folder", "TXT File", "File"},
        {"CHINESE", "文件夹", "TXT 文件", "文件"},
        {"TAIWAN", "文件夹", "TXT 文件", "文件"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Make(c.mode);
        window->show();
        std::map<std::string, QString> types;
        QTimer look;
        look.setInterval(20);
        QObject::connect(&look, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            look.stop();
            dialog->setDirectory(QString::fromStdString(m_Folder.string()));
            const auto* files = dialog->findChild<QFileSystemModel*>();
            for (const char* name : {"sub", "report.txt", "SHA256SUMS"}) {
                const QString path = QString::fromStdString(InFolder(name));
                EXPECT_TRUE(QTest::qWaitFor(
                    [&] { return !files->index(path, 2).data().toString().isEmpty(); }, 20000))
                    << name;
                types[name] = files->index(path, 2).data().toString();
            }
            dialog->reject();
        });
        look.start();
        window->Open_Click();
        EXPECT_EQ(types["sub"], InMode(c.mode, c.folder));
        EXPECT_EQ(types["report.txt"], InMode(c.mode, c.text));
        EXPECT_EQ(types["SHA256SUMS"], InMode(c.mode, c.plain));
        EXPECT_TRUE(window->Lists().empty()) << "cancelled";
    }
}

// The main window's system menu asks for lists and opens the verify window
// on them; a cancelled dialog opens nothing.
TEST_F(VerifyWindowTest, TheMainWindowsMenuOpensIt) {
    UiLanguage.clear();
    Common_MD5_View main(fs::path(VARNEL_PROGRAM_DIR));
    auto scripted = std::make_unique<test::ScriptedDialogs>();
    test::ScriptedDialogs* dialogs = scripted.get();
    main.setDialogService(std::move(scripted));
    main.show();
    QMenu* menu = platform::PopupSystemMenu(&main, QPoint(100, 100));
    ASSERT_NE(menu, nullptr);
    QAction* item = menu->actions().last();
    EXPECT_EQ(item->text(), u"&Verify checksum list…");

    menu->setActiveAction(item);
    QTest::keyClick(menu, Qt::Key_Return); // cancelled: no answer scripted
    EXPECT_TRUE(QTest::qWaitFor([dialogs] { return dialogs->fileFilters.size() == 1; }));
    EXPECT_EQ(main.verifyWindow(), nullptr);

    dialogs->fileAnswers = {QString::fromStdString(InFolder("SHA256SUMS"))};
    main.VerifyLists_Click();
    VerifyWindow* opened = main.verifyWindow();
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_EQ(opened->Lists(), std::vector<std::string>{InFolder("SHA256SUMS")});
    EXPECT_TRUE(QTest::qWaitFor([opened] { return !opened->IsRunning(); }, 120000));
    EXPECT_TRUE(main.isVisible()) << "the main window stays";
}

} // namespace
} // namespace varnel
