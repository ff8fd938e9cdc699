// The main window and the about window under a real Wayland compositor
// (sway), driven with the real pointer: a Wayland client cannot place its
// window, so a drag must hand the move to the compositor, the window must
// follow the pointer's whole travel, and a double click on the body must
// still reach the window.
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
#include <utility>
#include <vector>

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

    // A left-button drag in even steps, slow enough that the window sees each
    // step before the next (the machine may be loaded). The press comes once
    // the window has the pointer (sway takes a press on a window that has not
    // had the pointer yet for a press on its decoration, and moves the window
    // itself), and the steps once the window has seen the press, as a hand
    // does not move before the window can have answered the press.
    static bool Drag(QWidget* window, QPoint from, QPoint travel, int steps) {
        MouseSeen seen(window);
        const auto xdotool = [](const QStringList& args) {
            return !RunXdotool(args, 30000).isNull();
        };
        const auto moveTo = [](QPoint at) {
            return QStringList{QStringLiteral("mousemove"), QString::number(at.x()),
                               QString::number(at.y()), QStringLiteral("sleep"),
                               QStringLiteral("0.05")};
        };
        for (int attempt = 0; attempt < 5 && !seen.moved; ++attempt) {
            seen.moved = false;
            if (!xdotool(moveTo(from + QPoint(3, 3)) + moveTo(from))) {
                return false;
            }
            WaitFor([&] { return seen.moved; }, 2000);
        }
        EXPECT_TRUE(seen.moved) << "the window never had the pointer";
        if (!xdotool({QStringLiteral("mousedown"), QStringLiteral("1")})) {
            return false;
        }
        EXPECT_TRUE(WaitFor([&] { return seen.pressed; }, 10000)) << "the press never arrived";
        QStringList args{QStringLiteral("sleep"), QStringLiteral("0.2")};
        for (int step = 1; step <= steps; ++step) {
            args << moveTo(from + travel * step / steps);
        }
        args << QStringLiteral("sleep") << QStringLiteral("0.2") << QStringLiteral("mouseup")
             << QStringLiteral("1");
        return xdotool(args);
    }

    // Tells whether the pointer has moved over a window and whether a press
    // has reached it.
    struct MouseSeen : QObject {
        explicit MouseSeen(QWidget* window) : m_Window(window) { qApp->installEventFilter(this); }
        ~MouseSeen() override { qApp->removeEventFilter(this); }
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == m_Window) {
                moved = moved || event->type() == QEvent::MouseMove;
                pressed = pressed || event->type() == QEvent::MouseButtonPress;
            }
            return false;
        }
        QWidget* m_Window;
        bool moved = false;
        bool pressed = false;
    };

    // Drags at grab (a point of the window) by each travel in the given
    // number of steps; the window follows the pointer's whole travel, the
    // first step (within and just past the drag threshold) included.
    using Drags = std::vector<std::pair<QPoint, int>>; // travel, steps

    static void ExpectDragsMove(QWidget* window, QPoint grab, const Drags& drags) {
        for (const auto& drag : drags) {
            const QPoint travel = drag.first;
            const int steps = drag.second;
            const QPoint start = Placed(window).topLeft();
            ASSERT_TRUE(Drag(window, start + grab, travel, steps));
            EXPECT_TRUE(
                WaitFor([&] { return Near(Placed(window).topLeft(), start + travel); }, 3000))
                << "travel " << travel.x() << "," << travel.y() << " in " << steps
                << " steps: from " << start.x() << "," << start.y() << " to " << Placed(window).x()
                << "," << Placed(window).y();
        }
    }

    // A double click; held, each press lasts long enough to reach the window
    // before its release does, so the press hands a move to the compositor
    // and the second click must still reach the window.
    static bool DoubleClickAt(QPoint at, bool held) {
        QStringList args{QStringLiteral("mousemove"), QString::number(at.x()),
                         QString::number(at.y()), QStringLiteral("sleep"), QStringLiteral("0.2")};
        if (held) {
            for (int click = 0; click < 2; ++click) {
                args << QStringLiteral("mousedown") << QStringLiteral("1")
                     << QStringLiteral("sleep") << QStringLiteral("0.1")
                     << QStringLiteral("mouseup") << QStringLiteral("1") << QStringLiteral("sleep")
                     << QStringLiteral("0.05");
            }
        } else {
            args << QStringLiteral("click") << QStringLiteral("--repeat") << QStringLiteral("2")
                 << QStringLiteral("--delay") << QStringLiteral("80") << QStringLiteral("1");
        }
        return !RunXdotool(args).isNull();
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
        Drags drags;
    } grabs[] = {
        {"caption",
         CaptionGrab(&window),
         {{QPoint(90, 60), 8}, {QPoint(60, 40), 12}, {QPoint(-30, -50), 12}}},
        {"body",
         BodyPoint(&window, CaptionOf(&window)),
         {{QPoint(-50, 40), 8}, {QPoint(-45, 30), 12}, {QPoint(90, -41), 12}}},
    };
    for (const auto& g : grabs) {
        SCOPED_TRACE(g.what);
        ASSERT_GE(g.grab.x(), 0);
        ExpectDragsMove(&window, g.grab, g.drags);
    }
    ASSERT_TRUE(DoubleClickAt(Placed(&window).topLeft() + grabs[1].grab, true));
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
        Drags drags;
    } grabs[] = {
        {"caption", CaptionGrab(&about), {{QPoint(70, -40), 8}, {QPoint(60, 40), 12}}},
        {"frame", onFrame, {{QPoint(-45, 30), 12}, {QPoint(90, -41), 8}}},
    };
    for (const auto& g : grabs) {
        SCOPED_TRACE(g.what);
        ExpectDragsMove(&about, g.grab, g.drags);
    }
    ASSERT_TRUE(DoubleClickAt(Placed(&about).topLeft() + onFrame, false));
    EXPECT_TRUE(WaitFor([&] { return !about.isVisible(); }, 5000));
}

} // namespace
