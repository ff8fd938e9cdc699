// The main window and the about window under a real Wayland compositor
// (sway), driven with the real pointer: a Wayland client cannot place its
// window, so a drag must hand the move to the compositor, and a double click
// on the body must still reach the window.
#include "about/common_about_form.h"
#include "app/common_md5_view.h"
#include "skin/skin_caption.h"
#include "tests/support/wayland_session.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QGroupBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

using namespace varnel;
using varnel::testing::RunXdotool;
using varnel::testing::SwayWindowGeometry;
using varnel::testing::WaitFor;

namespace {

const std::filesystem::path kProgram(VARNEL_PROGRAM_DIR);

// Where sway has the window.
QRect Placed(const QWidget* window) {
    return SwayWindowGeometry(window->windowTitle());
}

bool Near(QPoint a, QPoint b) {
    return std::abs(a.x() - b.x()) <= 2 && std::abs(a.y() - b.y()) <= 2;
}

// A point of the window's own background (no control under it), searched
// from the top left of the area below the caption.
QPoint BodyPoint(QWidget* window, const QWidget* caption) {
    const int top = caption != nullptr && caption->isVisible() ? caption->height() : 0;
    for (int y = top + 4; y < window->height(); y += 3) {
        for (int x = 8; x < window->width(); x += 3) {
            if (window->childAt(x, y) == nullptr) {
                return {x, y};
            }
        }
    }
    return {-1, -1};
}

class WindowsUnderWayland : public ::testing::Test {
protected:
    void SetUp() override {
        if (!varnel::testing::WaylandSessionUnavailable().empty()) {
            GTEST_SKIP() << "no Wayland compositor: "
                         << varnel::testing::WaylandSessionUnavailable();
        }
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("wayland"));
    }

    // Shows window and waits until sway has placed it.
    static void ShowPlaced(QWidget* window) {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 30000));
        ASSERT_TRUE(WaitFor([&] { return !Placed(window).isEmpty(); }, 10000))
            << varnel::testing::SwayDiagnostics();
    }

    // A left-button drag in twelve even steps, slow enough that the window
    // sees each step before the next (the machine may be loaded).
    static bool Drag(QPoint from, QPoint travel) {
        QStringList args{QStringLiteral("mousemove"), QString::number(from.x()),
                         QString::number(from.y()),   QStringLiteral("mousedown"),
                         QStringLiteral("1"),         QStringLiteral("sleep"),
                         QStringLiteral("0.2")};
        for (int step = 1; step <= kSteps; ++step) {
            const QPoint at = from + travel * step / kSteps;
            args << QStringLiteral("mousemove") << QString::number(at.x())
                 << QString::number(at.y()) << QStringLiteral("sleep") << QStringLiteral("0.08");
        }
        args << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup")
             << QStringLiteral("1");
        return !RunXdotool(args, 30000).isNull();
    }

    // Drags at grab (a point of the window) by several travels. The window
    // hands the move to sway once the pointer has passed the drag threshold
    // (so that a click stays a click); from there sway moves it by the
    // pointer's travel. The drag's steps are known, so is the step that
    // passes the threshold; sway may take the hand-over one step later, or,
    // on a busy machine, anchor it at the press (the whole travel).
    static void ExpectDragsMove(QWidget* window, QPoint grab) {
        for (const QPoint travel :
             {QPoint(60, 40), QPoint(-45, 30), QPoint(90, -41), QPoint(-30, -50)}) {
            int threshold = 1;
            while (threshold < kSteps && (travel * threshold / kSteps).manhattanLength() <
                                             QApplication::startDragDistance()) {
                ++threshold;
            }
            const QPoint start = Placed(window).topLeft();
            ASSERT_TRUE(Drag(start + grab, travel));
            const auto movedByTheTravelAfterStep = [&](int step) {
                return Near(Placed(window).topLeft(), start + travel - travel * step / kSteps);
            };
            EXPECT_TRUE(WaitFor(
                [&] {
                    return movedByTheTravelAfterStep(threshold) ||
                           movedByTheTravelAfterStep(threshold + 1) || movedByTheTravelAfterStep(0);
                },
                3000))
                << "travel " << travel.x() << "," << travel.y() << ": from " << start.x() << ","
                << start.y() << " to " << Placed(window).x() << "," << Placed(window).y()
                << ", handed over at step " << threshold;
        }
    }

    static constexpr int kSteps = 12;

    static bool DoubleClickAt(QPoint at) {
        return !RunXdotool({QStringLiteral("mousemove"), QString::number(at.x()),
                            QString::number(at.y()), QStringLiteral("sleep"), QStringLiteral("0.2"),
                            QStringLiteral("click"), QStringLiteral("--repeat"),
                            QStringLiteral("2"), QStringLiteral("--delay"), QStringLiteral("80"),
                            QStringLiteral("1")})
                    .isNull();
    }

    static Skin_Caption* CaptionOf(const QWidget* window) {
        return window->findChild<Skin_Caption*>(QStringLiteral("Skin_Caption1"));
    }

    // A point of the caption left of its buttons and right of its text.
    static QPoint CaptionGrab(QWidget* window) {
        Skin_Caption* caption = CaptionOf(window);
        EXPECT_TRUE(WaitFor([&] { return caption->ButtonRow().closeWidth > 0; }));
        const CaptionButtonRow row = caption->ButtonRow();
        const int x = static_cast<int>(row.Left(CaptionButton::OnTop)) - 30;
        return caption->mapTo(window, QPoint(x, caption->height() / 2));
    }
};

TEST_F(WindowsUnderWayland, MainWindowMovesByCaptionAndBodyAndClosesOnADoubleClick) {
    Common_MD5_View window(kProgram);
    ASSERT_NO_FATAL_FAILURE(ShowPlaced(&window));
    ASSERT_NE(CaptionOf(&window), nullptr);
    ASSERT_TRUE(CaptionOf(&window)->isVisible());

    const struct {
        const char* what;
        QPoint grab;
    } grabs[] = {
        {"caption", CaptionGrab(&window)},
        {"body", BodyPoint(&window, CaptionOf(&window))},
    };
    for (const auto& g : grabs) {
        SCOPED_TRACE(g.what);
        ASSERT_GE(g.grab.x(), 0);
        ExpectDragsMove(&window, g.grab);
    }
    ASSERT_TRUE(DoubleClickAt(Placed(&window).topLeft() + grabs[1].grab));
    EXPECT_TRUE(WaitFor([&] { return !window.isVisible(); }, 5000));
}

TEST_F(WindowsUnderWayland, AboutWindowMovesByCaptionAndFrameAndClosesOnADoubleClick) {
    QWidget owner;
    Common_About_Form about(&owner, kProgram);
    ASSERT_NO_FATAL_FAILURE(ShowPlaced(&about));
    auto* frame = about.findChild<QGroupBox*>(QStringLiteral("Frame1"));
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(CaptionOf(&about), nullptr);

    // The frame's own background: its top left inside the border.
    const QPoint onFrame = frame->mapTo(&about, QPoint(4, 4));
    ASSERT_EQ(about.childAt(onFrame), frame);
    const struct {
        const char* what;
        QPoint grab;
    } grabs[] = {
        {"caption", CaptionGrab(&about)},
        {"frame", onFrame},
    };
    for (const auto& g : grabs) {
        SCOPED_TRACE(g.what);
        ExpectDragsMove(&about, g.grab);
    }
    ASSERT_TRUE(DoubleClickAt(Placed(&about).topLeft() + onFrame));
    EXPECT_TRUE(WaitFor([&] { return !about.isVisible(); }, 5000));
}

} // namespace
