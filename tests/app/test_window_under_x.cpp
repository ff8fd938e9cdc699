// The main window under a real X server with a window manager, driven with
// real pointer input: what moves or closes a window cannot be judged on the
// offscreen platform, where no window manager takes part.
#include "app/common_md5_view.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace varnel;
using varnel::testing::DragWithPointer;
using varnel::testing::WaitFor;
using varnel::testing::XWindowGeometry;

namespace {

class WindowUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        if (!varnel::testing::XSessionUnavailable().empty()) {
            GTEST_SKIP() << "no X server with a window manager: "
                         << varnel::testing::XSessionUnavailable();
        }
        window = std::make_unique<Common_MD5_View>();
        window->show();
        // Generous: the first window of a fresh server on a loaded machine is slow.
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 30000));
        // The manager has placed the window once the server and Qt agree.
        ASSERT_TRUE(WaitFor(
            [&] { return XWindowGeometry(window->winId()).topLeft() == window->pos(); }, 30000));
    }

    QPoint XPosition() const { return XWindowGeometry(window->winId()).topLeft(); }

    std::unique_ptr<Common_MD5_View> window;
};

TEST_F(WindowUnderX, BodyDragMovesTheWindowByExactlyThePointersTravel) {
    // The background's top left corner holds no control.
    const QPoint grab(6, 6);
    for (const QPoint travel : {QPoint(24, 24), QPoint(-37, 15), QPoint(90, -41), QPoint(3, 0)}) {
        const QPoint start = XPosition();
        ASSERT_TRUE(DragWithPointer(start + grab, travel));
        EXPECT_TRUE(WaitFor([&] { return XPosition() == start + travel; }, 3000))
            << "travel " << travel.x() << "," << travel.y() << ": from " << start.x() << ","
            << start.y() << " to " << XPosition().x() << "," << XPosition().y();
        EXPECT_TRUE(WaitFor([&] { return window->pos() == start + travel; }, 3000));
    }
}

TEST_F(WindowUnderX, DoubleClickOnTheBodyStillClosesTheWindow) {
    const QPoint at = XPosition() + QPoint(6, 6);
    ASSERT_FALSE(varnel::testing::RunXdotool(
                     {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                      QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                      QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")})
                     .isNull());
    EXPECT_TRUE(WaitFor([&] { return !window->isVisible(); }, 3000));
}

} // namespace
