// The main window under a real X server with a window manager, driven with
// real pointer input: what moves, minimises or closes a window cannot be
// judged on the offscreen platform, where no window manager takes part.
#include "app/common_md5_view.h"
#include "app/program_windows_module.h"
#include "skin/skin_caption.h"
#include "tests/support/fault_fs.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

using namespace varnel;
using varnel::testing::DragWithPointer;
using varnel::testing::RunXdotool;
using varnel::testing::WaitFor;
using varnel::testing::XMapState;
using varnel::testing::XWindowGeometry;

namespace {

// The main window, frameless (no skin beside the test program) or in the
// default skin of the run-time tree.
class WindowUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        if (!varnel::testing::XSessionUnavailable().empty()) {
            GTEST_SKIP() << "no X server with a window manager: "
                         << varnel::testing::XSessionUnavailable();
        }
    }

    // Call through ASSERT_NO_FATAL_FAILURE: a failure here ends the test.
    void Show(bool skinned) {
        window = skinned
                     ? std::make_unique<Common_MD5_View>(std::filesystem::path(VARNEL_PROGRAM_DIR))
                     : std::make_unique<Common_MD5_View>();
        window->show();
        // Generous: the first window of a fresh server on a loaded machine
        // can be slow.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 30000))
            << varnel::testing::XDiagnostics();
        // The manager has placed the window once the server and Qt agree.
        ASSERT_TRUE(WaitFor(
            [&] { return XWindowGeometry(window->winId()).topLeft() == window->pos(); }, 30000));
    }

    QPoint XPosition() const { return XWindowGeometry(window->winId()).topLeft(); }

    // A point of the window on the screen, from where the X server has the
    // window: Qt's own idea of the window's screen position can lag behind
    // the window manager's placement.
    QPoint OnScreen(QPoint inWindow) const { return XPosition() + inWindow; }

    static bool MoveTo(QPoint at) {
        return !RunXdotool(
                    {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())})
                    .isNull();
    }

    static bool Click(int count) {
        return !RunXdotool({QStringLiteral("click"), QStringLiteral("--repeat"),
                            QString::number(count), QStringLiteral("--delay"), QStringLiteral("80"),
                            QStringLiteral("1")})
                    .isNull();
    }

    Skin_Caption* Caption() const {
        return window->findChild<Skin_Caption*>(QStringLiteral("Skin_Caption1"));
    }

    // The middle of a caption button, on the screen.
    QPoint ButtonCentre(CaptionButton button) const {
        // The row is known once the bar has been painted.
        EXPECT_TRUE(WaitFor([&] { return Caption()->ButtonRow().closeWidth > 0; }));
        const CaptionButtonRow row = Caption()->ButtonRow();
        const int x = static_cast<int>((row.Left(button) + row.Right(button)) / 2);
        return OnScreen(Caption()->mapTo(window.get(), QPoint(x, Caption()->height() / 2)));
    }

    void ExpectDragsMoveExactly(QPoint grab) {
        for (const QPoint travel :
             {QPoint(24, 24), QPoint(-37, 15), QPoint(90, -41), QPoint(3, 0)}) {
            const QPoint start = XPosition();
            ASSERT_TRUE(DragWithPointer(start + grab, travel));
            EXPECT_TRUE(WaitFor([&] { return XPosition() == start + travel; }, 3000))
                << "travel " << travel.x() << "," << travel.y() << ": from " << start.x() << ","
                << start.y() << " to " << XPosition().x() << "," << XPosition().y();
            EXPECT_TRUE(WaitFor([&] { return window->pos() == start + travel; }, 3000));
        }
    }

    std::unique_ptr<Common_MD5_View> window;
};

TEST_F(WindowUnderX, BodyDragMovesTheWindowByExactlyThePointersTravel) {
    ASSERT_NO_FATAL_FAILURE(Show(false));
    // The background's top left corner holds no control.
    ExpectDragsMoveExactly(QPoint(6, 6));
}

TEST_F(WindowUnderX, DoubleClickOnTheBodyStillClosesTheWindow) {
    ASSERT_NO_FATAL_FAILURE(Show(false));
    ASSERT_TRUE(MoveTo(XPosition() + QPoint(6, 6)));
    ASSERT_TRUE(Click(2));
    EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }, 3000));
}

TEST_F(WindowUnderX, CaptionDragMovesTheWindowByExactlyThePointersTravel) {
    ASSERT_NO_FATAL_FAILURE(Show(true));
    ASSERT_NE(Caption(), nullptr);
    ASSERT_TRUE(Caption()->isVisible());
    // Right of the caption text, left of the buttons.
    const CaptionButtonRow row = Caption()->ButtonRow();
    const QPoint grab(static_cast<int>(row.Left(CaptionButton::OnTop)) - 40,
                      Caption()->height() / 2);
    ASSERT_GT(grab.x(), 150);
    ExpectDragsMoveExactly(Caption()->mapTo(window.get(), grab));
}

TEST_F(WindowUnderX, CaptionButtonsMinimiseAndClose) {
    ASSERT_NO_FATAL_FAILURE(Show(true));
    ASSERT_NE(Caption(), nullptr);
    struct Step {
        CaptionButton button;
        const char* what;
        std::function<bool()> done;
    };
    const Step steps[] = {
        {CaptionButton::Minimise, "minimise", [&] { return window->isMinimized(); }},
        {CaptionButton::Close, "close", [&] { return !window->isVisible(); }},
    };
    for (const Step& step : steps) {
        if (window->isMinimized()) {
            window->showNormal();
            window->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 10000));
        }
        // The button is found by the pointer's movement, as a user's hover:
        // come from the bar's middle so the pointer does move onto it.
        const QPoint centre = ButtonCentre(step.button);
        ASSERT_TRUE(MoveTo(OnScreen(Caption()->mapTo(window.get(), Caption()->rect().center()))));
        ASSERT_TRUE(MoveTo(centre)) << step.what;
        ASSERT_TRUE(WaitFor([&] {
            return Caption()->OverButton() && Caption()->HotButton() == step.button;
        })) << step.what
            << " at " << centre.x() << "," << centre.y() << " window " << window->pos().x() << ","
            << window->pos().y() << " caption " << Caption()->width() << "x" << Caption()->height()
            << " visible " << Caption()->isVisible() << " hot "
            << static_cast<int>(Caption()->HotButton()) << " over " << Caption()->OverButton()
            << " pointer " << RunXdotool({QStringLiteral("getmouselocation")}).toStdString() << "\n"
            << varnel::testing::XDiagnostics();
        ASSERT_TRUE(Click(1)) << step.what;
        EXPECT_TRUE(WaitFor(step.done, 5000)) << step.what;
    }
}

// Started with a file, the window's focus is on Open once the file has been
// reported, not on Clear: Space then opens, it does not clear the report.
TEST_F(WindowUnderX, StartedWithAFileTheFocusIsOnOpen) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile file(folder.filePath(QStringLiteral("named.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("named on the command line");
    file.close();
    window = std::make_unique<Common_MD5_View>();
    Main(window, {QFile::encodeName(file.fileName()).toStdString()});
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 30000))
        << varnel::testing::XDiagnostics();
    ASSERT_TRUE(
        WaitFor([&] { return window->ReportText().contains(u"MD5") && !window->IsReportRunning(); },
                30000));
    auto* open = window->findChild<QWidget*>(QStringLiteral("Command1"));
    EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == open; }, 5000))
        << "the focus is on "
        << (QApplication::focusWidget() != nullptr
                ? QApplication::focusWidget()->objectName().toStdString()
                : std::string("nothing"));
}

// What a tiling, snapping or keyboard sizing asks for: the window keeps the
// size it was given, skinned or not, smaller or larger.
TEST_F(WindowUnderX, TheWindowManagersSizingLeavesTheGivenSize) {
    for (const bool skinned : {false, true}) {
        ASSERT_NO_FATAL_FAILURE(Show(skinned));
        const QSize given = window->size();
        const QString id = QString::number(window->winId());
        for (const QSize asked : {QSize(900, 650), QSize(300, 200), QSize(given.width() + 40, 0)}) {
            ASSERT_FALSE(
                RunXdotool({QStringLiteral("windowsize"), id, QString::number(asked.width()),
                            QString::number(asked.height())})
                    .isNull());
            // Whatever the manager does, it has done it within this time.
            WaitFor([&] { return XWindowGeometry(window->winId()).size() != given; }, 1000);
            EXPECT_EQ(XWindowGeometry(window->winId()).size(), given)
                << (skinned ? "skinned" : "frameless") << ", asked " << asked.width() << "x"
                << asked.height();
            EXPECT_EQ(window->size(), given);
        }
        window.reset();
    }
}

// A maximise by the system is still taken over by the caption, which fills
// the work area; the manager's sizing then leaves that size.
TEST_F(WindowUnderX, ASystemMaximiseStillFillsTheWorkArea) {
    ASSERT_NO_FATAL_FAILURE(Show(true));
    ASSERT_NE(Caption(), nullptr);
    const QRect area = window->screen()->availableGeometry();
    window->setWindowState(Qt::WindowMaximized);
    EXPECT_TRUE(WaitFor(
        [&] {
            return Caption()->MaximizedToWorkArea() &&
                   XWindowGeometry(window->winId()).size() == area.size();
        },
        5000))
        << "X has " << XWindowGeometry(window->winId()).width() << "x"
        << XWindowGeometry(window->winId()).height() << ", the work area is " << area.width() << "x"
        << area.height();
    ASSERT_FALSE(RunXdotool({QStringLiteral("windowsize"), QString::number(window->winId()),
                             QStringLiteral("300"), QStringLiteral("200")})
                     .isNull());
    WaitFor([&] { return XWindowGeometry(window->winId()).size() != area.size(); }, 1500);
    EXPECT_EQ(XWindowGeometry(window->winId()).size(), area.size());
}

// Starts the real program with args, waits for its window and closes it as
// a user does (the window manager's close key, pressed again if a busy
// machine let the window manager miss the activation). Returns how long the
// program ran on after its window left the screen, or -1 when it still ran
// 15 s later (it is then killed). A normal exit is checked here.
qint64 LingerAfterClose(const QStringList& args) {
    QProcess program;
    program.start(QStringLiteral(VARNEL_PROGRAM_DIR "/Varnel"), args);
    EXPECT_TRUE(program.waitForStarted(10000));
    QString window;
    EXPECT_TRUE(WaitFor(
        [&] {
            window = RunXdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), QString::number(program.processId())})
                         .section(QLatin1Char('\n'), 0, 0)
                         .trimmed();
            return !window.isEmpty();
        },
        30000));
    const unsigned long id = window.toULong();
    EXPECT_TRUE(WaitFor([&] { return XMapState(id) == QLatin1String("IsViewable"); }, 10000));
    EXPECT_TRUE(WaitFor(
        [&] {
            RunXdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
            RunXdotool({QStringLiteral("key"), QStringLiteral("alt+F4")});
            return WaitFor([&] { return XMapState(id) != QLatin1String("IsViewable"); }, 2000);
        },
        20000));
    QElapsedTimer sinceClosed;
    sinceClosed.start();
    const bool ended = WaitFor([&] { return program.state() == QProcess::NotRunning; }, 15000);
    const qint64 lingered = sinceClosed.elapsed();
    if (!ended) {
        program.kill();
        program.waitForFinished();
        return -1;
    }
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    return lingered;
}

// The program ends as soon as its window has closed, even when it closes
// during a folder report still walking a large tree of folders that hold no
// files. Measured from the window leaving the screen to the process's end,
// on the real program.
TEST(ProgramUnderX, EndsPromptlyOnceItsWindowHasClosed) {
    if (!varnel::testing::XSessionUnavailable().empty()) {
        GTEST_SKIP() << "no X server with a window manager: "
                     << varnel::testing::XSessionUnavailable();
    }
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid());
    QFile first(tree.path() + QStringLiteral("/first.txt"));
    ASSERT_TRUE(first.open(QIODevice::WriteOnly));
    first.write("reported first");
    first.close();
    // Tens of thousands of folders: a walk that goes on after the stop takes
    // seconds.
    const std::filesystem::path root(QFile::encodeName(tree.path()).toStdString());
    for (int i = 0; i < 300; ++i) {
        const std::filesystem::path outer = root / ("d" + std::to_string(i));
        ASSERT_TRUE(std::filesystem::create_directory(outer));
        for (int j = 0; j < 300; ++j) {
            std::filesystem::create_directory(outer / ("e" + std::to_string(j)));
        }
    }
    const qint64 lingered = LingerAfterClose({tree.path()});
    // Removed here at once: QTemporaryDir takes minutes over so many folders.
    std::error_code error;
    for (int i = 0; i < 300; ++i) {
        std::filesystem::remove_all(root / ("d" + std::to_string(i)), error);
    }
    ASSERT_NE(lingered, -1) << "the program still runs 15 s after its window closed";
    EXPECT_LT(lingered, 500) << "the program ended " << lingered << " ms after its window closed";
}

// The same while a read of the report does not return (a FUSE read that
// waits, as on a hung network mount): the abandoned read is not waited for.
TEST(ProgramUnderX, EndsPromptlyWhileAReadOfItsReportBlocks) {
    if (!varnel::testing::XSessionUnavailable().empty()) {
        GTEST_SKIP() << "no X server with a window manager: "
                     << varnel::testing::XSessionUnavailable();
    }
    if (const std::string& why = varnel::test::FaultFs::SkipReason(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    varnel::test::FaultFs fs;
    ASSERT_TRUE(fs.Live()) << fs.Error();
    const qint64 lingered =
        LingerAfterClose({QString::fromStdString((fs.Path() / "blocking").string())});
    fs.Release();
    ASSERT_NE(lingered, -1) << "the program still runs 15 s after its window closed";
    EXPECT_LT(lingered, 1500) << "the program ended " << lingered << " ms after its window closed";
}

// The verify window too, while the read of its list does not return (a FIFO
// that no writer opens).
TEST(ProgramUnderX, TheVerifyWindowEndsPromptlyWhileItsListBlocks) {
    if (!varnel::testing::XSessionUnavailable().empty()) {
        GTEST_SKIP() << "no X server with a window manager: "
                     << varnel::testing::XSessionUnavailable();
    }
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString list = folder.filePath(QStringLiteral("SHA256SUMS"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(list).constData(), 0600), 0);
    const qint64 lingered = LingerAfterClose({QStringLiteral("--verify"), list});
    ASSERT_NE(lingered, -1) << "the program still runs 15 s after its window closed";
    EXPECT_LT(lingered, 1500) << "the program ended " << lingered << " ms after its window closed";
}

} // namespace
