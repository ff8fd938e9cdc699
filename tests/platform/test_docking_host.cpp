// Docking of child widgets to the edges of their owner.
#include "platform/docking_host.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

using varnel::platform::Align;
using varnel::platform::DockingHost;

namespace {

QWidget* Strip(QWidget* owner, int w, int h) {
    auto* child = new QWidget(owner);
    child->resize(w, h);
    child->show();
    return child;
}

} // namespace

// The frame of a skinned window: caption on top, borders left, right and
// bottom, docked in that order; the designed rectangles put the borders
// between caption and bottom and the bottom across the full width.
TEST(DockingHost, FrameOfCaptionAndThreeBorders) {
    QWidget owner;
    owner.resize(492, 339);
    owner.show();
    QWidget* caption = Strip(&owner, 10, 27);
    QWidget* left = Strip(&owner, 7, 10);
    QWidget* right = Strip(&owner, 6, 10);
    QWidget* bottom = Strip(&owner, 10, 5);
    DockingHost* host = DockingHost::For(&owner);
    host->setAlign(caption, Align::Top);
    host->setAlign(left, Align::Left);
    host->setAlign(right, Align::Right);
    host->setAlign(bottom, Align::Bottom);

    EXPECT_EQ(caption->geometry(), QRect(0, 0, 492, 27));
    EXPECT_EQ(left->geometry(), QRect(0, 27, 7, 339 - 27 - 5));
    EXPECT_EQ(right->geometry(), QRect(492 - 6, 27, 6, 339 - 27 - 5));
    EXPECT_EQ(bottom->geometry(), QRect(0, 339 - 5, 492, 5));
    EXPECT_EQ(host->clientArea(), QRect(7, 27, 492 - 13, 339 - 32));
    EXPECT_EQ(DockingHost::For(&owner), host);
    EXPECT_EQ(host->align(bottom), Align::Bottom);

    // The owner is resized: every strip follows, keeping its thickness.
    owner.resize(300, 200);
    QApplication::processEvents();
    EXPECT_EQ(caption->geometry(), QRect(0, 0, 300, 27));
    EXPECT_EQ(left->geometry(), QRect(0, 27, 7, 168));
    EXPECT_EQ(right->geometry(), QRect(294, 27, 6, 168));
    EXPECT_EQ(bottom->geometry(), QRect(0, 195, 300, 5));

    // A strip that changes its thickness pushes its neighbours.
    caption->resize(caption->width(), 40);
    QApplication::processEvents();
    EXPECT_EQ(left->geometry(), QRect(0, 40, 7, 155));
    EXPECT_EQ(right->geometry(), QRect(294, 40, 6, 155));

    // Hidden strips take no room.
    bottom->hide();
    QApplication::processEvents();
    EXPECT_EQ(left->geometry(), QRect(0, 40, 7, 160));
}

TEST(DockingHost, UndockingAndDeletedChildren) {
    QWidget owner;
    owner.resize(100, 100);
    owner.show();
    QWidget* a = Strip(&owner, 10, 10);
    QWidget* b = Strip(&owner, 20, 10);
    DockingHost* host = DockingHost::For(&owner);
    host->setAlign(a, Align::Left);
    host->setAlign(b, Align::Left);
    EXPECT_EQ(b->geometry(), QRect(10, 0, 20, 100));

    delete a;
    host->relayout();
    EXPECT_EQ(b->geometry(), QRect(0, 0, 20, 100));

    host->setAlign(b, Align::None);
    EXPECT_EQ(host->align(b), Align::None);
    owner.resize(50, 50);
    QApplication::processEvents();
    EXPECT_EQ(b->geometry(), QRect(0, 0, 20, 100)); // left where it was
    EXPECT_EQ(host->clientArea(), QRect(0, 0, 50, 50));

    // Only children of the owner can be docked.
    QWidget stranger;
    host->setAlign(&stranger, Align::Top);
    EXPECT_EQ(host->align(&stranger), Align::None);
}
