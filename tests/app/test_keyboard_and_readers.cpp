// What keyboard and screen-reader users meet in the main window: where the
// focus goes around a run, Enter on buttons, the focus drawn from the start,
// what the accessibility layer tells of the window and its caption, the
// progress the caption has room for, and the program's command line.

#include "app/command_line.h"
#include "app/common_md5_view.h"
#include "app/program_windows_module.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "report/run_progress.h"
#include "skin/skin_caption.h"
#include "tests/app/fake_services.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace varnel {
namespace {

using test::RecordingLinkOpener;
using test::ScriptedDialogs;

class KeyboardAndReaders : public ::testing::Test {
protected:
    void SetUp() override {
        detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
        ASSERT_TRUE(m_Temp.isValid());
        m_File = m_Temp.filePath(QStringLiteral("a.txt")).toStdString();
        std::ofstream(m_File) << "abc";
    }
    void TearDown() override {
        window.reset();
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::nullopt);
    }

    // The window in the language mode, skinned from the run-time tree.
    void Make(const char* mode = "") {
        UiLanguage = mode;
        window = std::make_unique<Common_MD5_View>(std::filesystem::path(VARNEL_PROGRAM_DIR));
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        window->setDialogService(std::move(scripted));
        window->setLinkOpener(std::make_unique<RecordingLinkOpener>(openedLinks));
    }
    void ShowActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 10000));
    }
    QPushButton* Button(int n) {
        return window->findChild<QPushButton*>(QStringLiteral("Command%1").arg(n));
    }
    Skin_Caption* Caption() {
        return window->findChild<Skin_Caption*>(QStringLiteral("Skin_Caption1"));
    }
    void Settle() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->IsReportRunning(); }, 120000));
    }
    int Blocks() const { return static_cast<int>(window->ReportText().count(u"文件名称：")); }

    QTemporaryDir m_Temp;
    std::string m_File;
    std::unique_ptr<Common_MD5_View> window;
    ScriptedDialogs* dialogs = nullptr;
    QStringList openedLinks;
};

// ----------------------------------------------------------------- focus

// Open from the keyboard, a path chosen, the block written: the focus is
// back on Open, so the next Space opens again instead of closing the window
// or (with Copy and Clear enabled) clearing the report.
TEST_F(KeyboardAndReaders, AfterAKeyboardOpenTheNextSpaceOpensAgain) {
    for (const bool copyClearEnabled : {false, true}) {
        SCOPED_TRACE(copyClearEnabled ? "Copy and Clear enabled" : "after start");
        Make();
        ASSERT_NO_FATAL_FAILURE(ShowActive());
        if (copyClearEnabled) {
            dialogs->fileAnswers = {QString::fromStdString(m_File)};
            QTest::mouseClick(Button(1), Qt::LeftButton);
            ASSERT_NO_FATAL_FAILURE(Settle());
        }
        Button(1)->setFocus(Qt::TabFocusReason);
        dialogs->fileAnswers = {QString::fromStdString(m_File)};
        QTest::keyClick(Button(1), Qt::Key_Space);
        ASSERT_NO_FATAL_FAILURE(Settle());
        const int blocks = Blocks();
        EXPECT_EQ(QApplication::focusWidget(), Button(1));
        const qsizetype asked = dialogs->fileFilters.size();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(Blocks(), blocks);
        EXPECT_EQ(dialogs->fileFilters.size(), asked + 1) << "the open-file dialog was not asked";
    }
}

// Enter and keypad Enter press the focused button, as Space does.
TEST_F(KeyboardAndReaders, EnterAndKeypadEnterPressTheFocusedButton) {
    Make();
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    for (const Case c :
         {Case{Qt::Key_Return, Qt::NoModifier}, Case{Qt::Key_Enter, Qt::KeypadModifier}}) {
        Button(1)->setFocus(Qt::TabFocusReason);
        const qsizetype asked = dialogs->fileFilters.size();
        QTest::keyClick(Button(1), c.key, c.modifiers);
        EXPECT_EQ(dialogs->fileFilters.size(), asked + 1) << c.key;

        Button(8)->setFocus(Qt::TabFocusReason);
        const qsizetype opened = openedLinks.size();
        QTest::keyClick(Button(8), c.key, c.modifiers);
        EXPECT_EQ(openedLinks.size(), opened + 1) << c.key;
    }
    // With a modifier, Enter is not a press.
    const qsizetype opened = openedLinks.size();
    QTest::keyClick(Button(8), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(openedLinks.size(), opened);
}

// The focus is drawn before any Tab: the focused Open button looks different
// from itself once the focus has moved on.
TEST_F(KeyboardAndReaders, FocusIsVisibleFromTheStart) {
    Make();
    ASSERT_NO_FATAL_FAILURE(ShowActive());
    ASSERT_EQ(QApplication::focusWidget(), Button(1)) << "the focus starts on Open";
    const QImage focused = Button(1)->grab().toImage();
    Button(8)->setFocus(Qt::OtherFocusReason);
    EXPECT_NE(focused, Button(1)->grab().toImage());
}

// ---------------------------------------------------------- screen readers

QAccessibleInterface* ChildWithRole(QAccessibleInterface* parent, QAccessible::Role role) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->role() == role) {
            return parent->child(i);
        }
    }
    return nullptr;
}

// The window is a frame; its caption a title bar holding the caption text
// once and the window buttons, each a button named in the window's language
// with a press action; hidden helpers are left out.
TEST_F(KeyboardAndReaders, TheWindowAndItsCaptionButtonsAreAccessible) {
    struct Mode {
        const char* mode;
        std::vector<QString> names; // minimise, maximise, close
        QString report;
        QString openDescription;
    };
    const Mode modes[] = {
        {"CHINESE",
         {QStringLiteral("最小化"), QStringLiteral("最大化"), QStringLiteral("关闭")},
         QStringLiteral("报告"),
         QStringLiteral("打开文件")},
        {"TAIWAN",
         {QStringLiteral("最小化"), QStringLiteral("最大化"), QStringLiteral("關閉")},
         QStringLiteral("報告"),
         QStringLiteral("打開文件")},
        {"",
         {QStringLiteral("Minimize"), QStringLiteral("Maximize"), QStringLiteral("Close")},
         QStringLiteral("Report"),
         QStringLiteral("Open File")},
    };
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.mode);
        Make(m.mode);
        window->show();
        QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window.get());
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->role(), QAccessible::Window);
        EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("Varnel2012"));

        QAccessibleInterface* bar = ChildWithRole(frame, QAccessible::TitleBar);
        ASSERT_NE(bar, nullptr);
        std::vector<QString> buttons;
        int texts = 0;
        for (int i = 0; i < bar->childCount(); ++i) {
            QAccessibleInterface* child = bar->child(i);
            if (child->role() == QAccessible::StaticText) {
                ++texts;
                continue;
            }
            EXPECT_EQ(child->role(), QAccessible::Button);
            const QAccessibleActionInterface* actions = child->actionInterface();
            ASSERT_NE(actions, nullptr);
            EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
            const QRect rect = child->rect();
            EXPECT_TRUE(
                QRect(Caption()->mapToGlobal(QPoint(0, 0)), Caption()->size()).contains(rect))
                << child->text(QAccessible::Name).toStdString();
            buttons.push_back(child->text(QAccessible::Name));
        }
        EXPECT_EQ(texts, 1) << "the caption text is told once";
        EXPECT_EQ(buttons, m.names);

        // Descriptions in the window's language before the pointer passes.
        EXPECT_EQ(QAccessible::queryAccessibleInterface(Button(1))->text(QAccessible::Description),
                  m.openDescription);
        QPlainTextEdit* report = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(report)->text(QAccessible::Name), m.report);
        // The hidden images are no part of what is read.
        for (int i = 0; i < frame->childCount(); ++i) {
            const QObject* object = frame->child(i)->object();
            EXPECT_FALSE(object != nullptr && object->objectName().startsWith(u"Image") &&
                         static_cast<const QWidget*>(object)->isHidden())
                << object->objectName().toStdString();
        }
    }
}

// The press action of a caption button does what its click does.
TEST_F(KeyboardAndReaders, PressingTheCloseButtonByItsActionCloses) {
    Make("CHINESE");
    window->show();
    QAccessibleInterface* bar =
        ChildWithRole(QAccessible::queryAccessibleInterface(window.get()), QAccessible::TitleBar);
    ASSERT_NE(bar, nullptr);
    QAccessibleInterface* close = bar->child(bar->childCount() - 1);
    ASSERT_NE(close, nullptr);
    ASSERT_EQ(close->text(QAccessible::Name), QStringLiteral("关闭"));
    QAccessibleActionInterface* actions = close->actionInterface();
    ASSERT_NE(actions, nullptr);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 10000));
}

// -------------------------------------------------------------- progress

// The caption shows the short form of a run's progress whole, and the whole
// title as its tool tip; the designed caption comes back at the end.
TEST_F(KeyboardAndReaders, TheCaptionShowsTheShortProgressWhole) {
    struct Mode {
        const char* mode;
        QString leftWord;
    };
    // The caption's progress follows the title's language form, which is
    // Chinese in the English mode too.
    const Mode modes[] = {{"CHINESE", QStringLiteral("剩余")},
                          {"TAIWAN", QStringLiteral("剩餘")},
                          {"", QStringLiteral("剩余")}};
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.mode);
        Make(m.mode);
        window->show();
        RunProgress progress;
        progress.filesDone = 3;
        progress.filesStarted = 4;
        progress.filesFound = 8;
        progress.walkEnded = true;
        progress.bytesDone = 5'700'000'000;
        progress.bytesKnown = 9'000'000'000;
        progress.filesSized = 4;
        progress.elapsed = std::chrono::seconds(51);
        emit window->Feed().progress(progress);
        const QString shown = Caption()->shownText();
        EXPECT_TRUE(shown.startsWith(QStringLiteral("3/8 · 5.7 GB · 112 MB/s · ")))
            << shown.toStdString();
        EXPECT_TRUE(shown.contains(m.leftWord)) << shown.toStdString();
        EXPECT_FALSE(shown.contains(QChar(0x2026))) << "cut: " << shown.toStdString();
        EXPECT_EQ(Caption()->toolTip(), window->windowTitle());
        EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Varnel2012 - ")));
    }
}

TEST(ProgressShortForms, FiguresWordsAndUnits) {
    using std::chrono::seconds;
    struct Case {
        ProgressFigures figures;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {{3, 8, 5'700'000'000, 112.4, seconds(14), false},
         "3/8 · 5.7 GB · 112 MB/s · 0:14 left",
         "3/8 · 5.7 GB · 112 MB/s · 剩余 0:14"},
        {{12, std::nullopt, 512, 0.0009, std::nullopt, true},
         "12 · 512 B · 900 B/s · finding files",
         "12 · 512 B · 900 B/s · 查找文件中"},
        {{0, 1, 0, 0, std::nullopt, false}, "0/1 · 0 B · 0 B/s", "0/1 · 0 B · 0 B/s"},
        {{40'000, 40'000, 999'600, 9.96, seconds(3725), false},
         "40000/40000 · 1.0 MB · 10 MB/s · 1:02:05 left",
         "40000/40000 · 1.0 MB · 10 MB/s · 剩余 1:02:05"},
        {{1, 2, 12'345'678'901'234, 1234.0, seconds(0), false},
         "1/2 · 12 TB · 1.2 GB/s · 0:00 left",
         "1/2 · 12 TB · 1.2 GB/s · 剩余 0:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgressShortEnglish(c.figures), c.english);
        EXPECT_EQ(ProgressShortChinese(c.figures), c.chinese);
    }
}

// ----------------------------------------------------------- command line

// A file named on the command line that does not exist is told as the
// open-file dialog tells a typed name that does not exist, and gets no
// block; the files that exist are reported.
TEST_F(KeyboardAndReaders, AMissingFileOnTheCommandLineIsToldNotReported) {
    Make();
    const std::string missing = m_Temp.filePath(QStringLiteral("gone.exe")).toStdString();
    Main(window, {missing, m_File});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !dialogs->notFound.isEmpty(); }, 10000));
    ASSERT_NO_FATAL_FAILURE(Settle());
    EXPECT_EQ(dialogs->notFound, QStringList{QString::fromStdString(missing)});
    EXPECT_EQ(Blocks(), 1);
    EXPECT_FALSE(window->ReportText().contains(QString::fromStdString(missing)));
    // The words are the dialog's own.
    EXPECT_TRUE(platform::FileNotFoundText(QStringLiteral("x")).contains(u"File not found."));
}

// The started window's focus is on Open once the files named have been
// reported, never on Clear.
TEST_F(KeyboardAndReaders, StartedWithAFileTheFocusIsOnOpen) {
    Make();
    Main(window, {m_File});
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 10000));
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return Blocks() == 1 && !window->IsReportRunning(); }, 30000));
    EXPECT_EQ(QApplication::focusWidget(), Button(1));
}

TEST(WindowCommandLine, OptionsAndPaths) {
    using Action = WindowCommandLine::Action;
    struct Case {
        std::vector<std::string_view> args;
        Action action;
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {{}, Action::Report, {}},
        {{"a", "/b c"}, Action::Report, {"a", "/b c"}},
        {{"--help"}, Action::Help, {}},
        {{"-h", "x"}, Action::Help, {"x"}},
        {{"--version"}, Action::Version, {}},
        {{"--version", "--help"}, Action::Version, {}},
        {{"--", "--help", "-"}, Action::Report, {"--help", "-"}},
        {{"-"}, Action::Report, {"-"}},
        {{"--verbose"}, Action::Wrong, {}},
        {{"a", "-x"}, Action::Wrong, {"a"}},
        // --verify: every path is a list; none is a usage error.
        {{"--verify", "SHA256SUMS", "b.md5"}, Action::Verify, {"SHA256SUMS", "b.md5"}},
        {{"a.txt", "--verify"}, Action::Verify, {"a.txt"}},
        {{"--verify", "--", "-list", "--help"}, Action::Verify, {"-list", "--help"}},
        {{"--verify"}, Action::Wrong, {}},
        {{"--verify", "--"}, Action::Wrong, {}},
        {{"--verify", "--help"}, Action::Help, {}},
        {{"--version", "--verify", "a"}, Action::Version, {"a"}},
        {{"--verify", "-x", "a"}, Action::Wrong, {}},
    };
    for (const Case& c : cases) {
        const WindowCommandLine command = ParseWindowCommandLine(c.args);
        EXPECT_EQ(command.action, c.action) << (c.args.empty() ? "(none)" : c.args.front());
        EXPECT_EQ(command.paths, c.paths);
    }
}

// The real program answers --help and --version on standard output and ends
// without a window; an unknown option is a usage error.
TEST(WindowCommandLine, TheProgramAnswersOnTheTerminal) {
    struct Case {
        const char* arg;
        int status;
        const char* out; // what standard output begins with
    };
    const Case cases[] = {
        {"--help", 0, "usage: varnel [FILE...]"},
        {"--version", 0, "varnel "},
        {"--no-such-option", 2, ""},
        {"--verify", 2, ""}, // no list named
    };
    for (const Case& c : cases) {
        QProcess program;
        program.start(QStringLiteral(VARNEL_PROGRAM_DIR "/Varnel"), {QString::fromLatin1(c.arg)});
        ASSERT_TRUE(program.waitForStarted(10000));
        if (!program.waitForFinished(60000)) {
            program.kill();
            program.waitForFinished();
            ADD_FAILURE() << c.arg << ": the program did not end (it opened its window)";
            continue;
        }
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.arg;
        EXPECT_EQ(program.exitCode(), c.status) << c.arg;
        const QByteArray out = program.readAllStandardOutput();
        EXPECT_TRUE(out.startsWith(c.out)) << c.arg << ": " << out.toStdString();
        if (c.status != 0) {
            EXPECT_TRUE(out.isEmpty());
            EXPECT_TRUE(program.readAllStandardError().contains(c.arg)) << c.arg;
        }
    }
}

} // namespace
} // namespace varnel
