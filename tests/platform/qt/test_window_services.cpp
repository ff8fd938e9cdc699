// Stays-on-top switching and the press-and-drag fallback that moves or sizes
// a window when no window manager runs the system loop (offscreen here).
#include "platform/qt/window_services.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

using namespace varnel::platform;

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
    const QPointF local = target->mapFromGlobal(QPointF(global));
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

} // namespace

TEST(WindowServices, StaysOnTopKeepsPlaceSizeAndVisibility) {
    QWidget window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.setGeometry(123, 87, 321, 213);
    window.show();
    const QRect before = window.geometry();

    SetStaysOnTop(&window, true);
    EXPECT_TRUE(IsStaysOnTop(&window));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.geometry(), before);

    SetStaysOnTop(&window, false);
    EXPECT_FALSE(IsStaysOnTop(&window));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.geometry(), before);

    // A child widget stands for its window.
    auto* child = new QWidget(&window);
    SetStaysOnTop(child, true);
    EXPECT_TRUE(IsStaysOnTop(&window));
    EXPECT_EQ(window.geometry(), before);

    SetStaysOnTop(nullptr, true);
    EXPECT_FALSE(IsStaysOnTop(nullptr));
}

TEST(WindowServices, StaysOnTopLeavesAHiddenWindowHidden) {
    QWidget window;
    window.resize(200, 100);
    SetStaysOnTop(&window, true);
    EXPECT_TRUE(IsStaysOnTop(&window));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.size(), QSize(200, 100));
}

TEST(WindowServices, ResizeFromLeftEdgeFollowsTheMouseUntilRelease) {
    QWidget window;
    window.setGeometry(200, 100, 300, 200);
    window.show();
    const QPoint press(201, 150);
    ASSERT_EQ(BeginSystemResize(&window, Qt::LeftEdge, press), DragStart::Manual);

    SendMouse(&window, QEvent::MouseMove, press + QPoint(-40, 25), Qt::LeftButton);
    EXPECT_EQ(window.geometry(), QRect(160, 100, 340, 200)); // the right edge stays

    SendMouse(&window, QEvent::MouseMove, press + QPoint(30, 0), Qt::LeftButton);
    EXPECT_EQ(window.geometry(), QRect(230, 100, 270, 200));

    SendMouse(&window, QEvent::MouseButtonRelease, press + QPoint(30, 0), Qt::NoButton);
    QApplication::processEvents();
    SendMouse(&window, QEvent::MouseMove, press + QPoint(-100, 0), Qt::NoButton);
    EXPECT_EQ(window.geometry(), QRect(230, 100, 270, 200));
}

TEST(WindowServices, ResizeFromCornerRespectsMinimumSize) {
    QWidget window;
    window.setMinimumSize(50, 40);
    window.setGeometry(10, 10, 200, 200);
    window.show();
    const QPoint press(209, 209);
    ASSERT_EQ(BeginSystemResize(&window, Qt::BottomEdge | Qt::RightEdge, press), DragStart::Manual);
    SendMouse(&window, QEvent::MouseMove, press + QPoint(15, 20), Qt::LeftButton);
    EXPECT_EQ(window.geometry(), QRect(10, 10, 215, 220));
    SendMouse(&window, QEvent::MouseMove, press + QPoint(-500, -500), Qt::LeftButton);
    EXPECT_EQ(window.geometry(), QRect(10, 10, 50, 40));
    SendMouse(&window, QEvent::MouseButtonRelease, press, Qt::NoButton);
}

TEST(WindowServices, MoveFollowsTheMouse) {
    QWidget window;
    window.setGeometry(50, 60, 100, 80);
    window.show();
    auto* child = new QWidget(&window);
    const QPoint start = window.pos(); // the frame's corner, outside the client area
    const QPoint press(70, 70);
    ASSERT_EQ(BeginSystemMove(child, press), DragStart::Manual);
    SendMouse(child, QEvent::MouseMove, press + QPoint(12, -5), Qt::LeftButton);
    EXPECT_EQ(window.pos(), start + QPoint(12, -5));
    EXPECT_EQ(window.geometry().topLeft(), QPoint(62, 55));
    EXPECT_EQ(window.size(), QSize(100, 80));
    SendMouse(child, QEvent::MouseButtonRelease, press + QPoint(12, -5), Qt::NoButton);
}

TEST(WindowServices, NothingToDrag) {
    EXPECT_EQ(BeginSystemMove(nullptr, QPoint()), DragStart::None);
    QWidget window;
    EXPECT_EQ(BeginSystemResize(&window, Qt::Edges(), QPoint()), DragStart::None);
}
