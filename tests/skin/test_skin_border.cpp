// Skin_Border: docking, the drawing pass (checked pixel by pixel on rendered
// images), edge picking, the sizing press and the persisted properties.
#include "skin/skin_border.h"

#include "border_skin_fixture.h"
#include "platform/qt/units.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

using namespace varnel;

namespace {

const QRgb kBackground = qRgb(90, 126, 220);

QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
    const QPointF global = target->mapToGlobal(QPointF(local));
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void Move(QWidget* target, int x, int y) {
    SendMouse(target, QEvent::MouseMove, QPoint(x, y), Qt::NoButton);
}

// Press at (x, y), drag by delta with the button held, release.
void Drag(QWidget* target, QPoint at, QPoint delta) {
    SendMouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton);
    SendMouse(target, QEvent::MouseMove, at + delta, Qt::LeftButton);
    SendMouse(target, QEvent::MouseButtonRelease, at + delta, Qt::NoButton);
    QApplication::processEvents();
}

// A frameless owner window shown on the offscreen screen.
struct Owner {
    explicit Owner(QRect geometry) {
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(geometry);
        window.show();
    }
    QWidget window;
};

class SkinBorderTest : public ::testing::Test {
protected:
    void SetUp() override { SizingEnabled = false; }
    void TearDown() override { SizingEnabled = false; }
};

const QImage kLeftTop = test::PiecePicture(4, 30, 11);
const QImage kLeftMid = test::PiecePicture(4, 10, 12);
const QImage kRightTop = test::PiecePicture(5, 12, 13);
const QImage kRightMid = test::PiecePicture(5, 7, 14);
const QImage kLeftBot = test::PiecePicture(5, 6, 15);
const QImage kRightBot = test::PiecePicture(8, 6, 16);
const QImage kBottom = test::PiecePicture(3, 6, 17);

std::vector<std::pair<QString, QImage>> AllPieces() {
    return {{QStringLiteral("LEFTTOP"), kLeftTop},   {QStringLiteral("LEFTMID"), kLeftMid},
            {QStringLiteral("RIGHTTOP"), kRightTop}, {QStringLiteral("RIGHTMID"), kRightMid},
            {QStringLiteral("LEFTBOT"), kLeftBot},   {QStringLiteral("RIGHTBOT"), kRightBot},
            {QStringLiteral("BOTTOM"), kBottom}};
}

} // namespace

TEST_F(SkinBorderTest, LeftBorderTilesItsMiddlePieceUnderTheTopPiece) {
    test::SkinFixture skin(
        {{QStringLiteral("lefttop"), kLeftTop}, {QStringLiteral("LEFTMID"), kLeftMid}});
    Owner owner(QRect(100, 100, 200, 300));
    Skin_Border border(&owner.window);
    border.setBORDERTYPE(1);
    border.setPath(skin.path());

    EXPECT_EQ(border.width(), 4);
    EXPECT_EQ(border.height(), 300);
    EXPECT_EQ(border.geometry(), QRect(0, 0, 4, 300));
    const int tpp = platform::TwipsPerPixel(&border);
    EXPECT_EQ(platform::PixelsToTwips(border.width(), tpp), 4 * tpp);

    const QImage image = Render(border);
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 4; ++x) {
            const QRgb want = y < 30 ? kLeftTop.pixel(x, y) : kLeftMid.pixel(x, y % 10);
            ASSERT_EQ(image.pixel(x, y), want) << x << "," << y;
        }
    }
    // Every holder of the pass dropped its bitmap and surface.
}

TEST_F(SkinBorderTest, RightBorderDocksRightAndUsesTheRightPieces) {
    test::SkinFixture skin(AllPieces());
    Owner owner(QRect(100, 100, 200, 50));
    Skin_Border border(&owner.window);
    border.setBORDERTYPE(2);
    border.setPath(skin.path());
    EXPECT_EQ(border.geometry(), QRect(195, 0, 5, 50));

    const QImage image = Render(border);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 5; ++x) {
            const QRgb want = y < 12 ? kRightTop.pixel(x, y) : kRightMid.pixel(x, y % 7);
            ASSERT_EQ(image.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST_F(SkinBorderTest, BottomBorderPutsTheCornersAtBothEnds) {
    test::SkinFixture skin(AllPieces());
    Owner owner(QRect(100, 100, 200, 120));
    Skin_Border border(&owner.window);
    border.setBORDERTYPE(3);
    border.setPath(skin.path());
    EXPECT_EQ(border.geometry(), QRect(0, 114, 200, 6)); // BOTTOM is 6 high

    const QImage image = Render(border);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 200; ++x) {
            QRgb want = kBottom.pixel(x % 3, y);
            if (x < 5) {
                want = kLeftBot.pixel(x, y);
            } else if (x >= 192) {
                want = kRightBot.pixel(x - 192, y); // 200 - 8
            }
            ASSERT_EQ(image.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST_F(SkinBorderTest, MissingPiecesAndSkinsGiveNoThickness) {
    Owner owner(QRect(0, 0, 100, 100));
    Skin_Border left(&owner.window);
    left.setBORDERTYPE(1);
    left.resize(9, left.height());
    left.setPath(QStringLiteral("/nonexistent/Skins/Skin20.dll"));
    EXPECT_EQ(left.width(), 0);

    // Only the middle piece: no top piece, so no width.
    test::SkinFixture onlyMiddle({{QStringLiteral("LEFTMID"), kLeftMid}});
    left.resize(9, left.height());
    left.setPath(onlyMiddle.path());
    EXPECT_EQ(left.width(), 0);

    // Bottom border without its repeated piece: no height, corners or not.
    test::SkinFixture corners(
        {{QStringLiteral("LEFTBOT"), kLeftBot}, {QStringLiteral("RIGHTBOT"), kRightBot}});
    Skin_Border bottom(&owner.window);
    bottom.setBORDERTYPE(3);
    bottom.setPath(corners.path());
    EXPECT_EQ(bottom.height(), 0);
}

TEST_F(SkinBorderTest, AMissingPieceIsNotPainted) {
    test::SkinFixture skin({{QStringLiteral("LEFTTOP"), kLeftTop}});
    Owner owner(QRect(0, 0, 50, 60));
    Skin_Border border(&owner.window);
    border.setBORDERTYPE(1);
    border.setPath(skin.path());
    const QImage image = Render(border);
    EXPECT_EQ(image.pixel(0, 29), kLeftTop.pixel(0, 29));
    EXPECT_EQ(image.pixel(0, 30), kBackground);
    EXPECT_EQ(image.pixel(3, 59), kBackground);
}

TEST_F(SkinBorderTest, AReplacedSkinIsShownAtTheNextRepaint) {
    test::SkinFixture skin(
        {{QStringLiteral("LEFTTOP"), kLeftTop}, {QStringLiteral("LEFTMID"), kLeftMid}});
    Owner owner(QRect(0, 0, 50, 60));
    Skin_Border border(&owner.window);
    border.setBORDERTYPE(1);
    border.setPath(skin.path());
    ASSERT_EQ(border.width(), 4);

    const QImage wideTop = test::PiecePicture(6, 20, 21);
    const QImage wideMid = test::PiecePicture(6, 9, 22);
    PropertyBag replaced;
    replaced.SetValue(QStringLiteral("LEFTTOP"), wideTop);
    replaced.SetValue(QStringLiteral("LEFTMID"), wideMid);
    skin.write(replaced);

    // The new version is decoded off the window's thread; the border then
    // takes its thickness and repaints.
    EXPECT_TRUE(QTest::qWaitFor([&] { return border.width() == 6; }));
    const QImage image = Render(border);
    EXPECT_EQ(image.pixel(5, 19), wideTop.pixel(5, 19));
    EXPECT_EQ(image.pixel(5, 20), wideMid.pixel(5, 2)); // row 20 of the tiling: 20 % 9
    EXPECT_EQ(image.pixel(2, 59), wideMid.pixel(2, 59 % 9));
}

TEST_F(SkinBorderTest, BottomBorderPicksCornersAndEdge) {
    Owner owner(QRect(100, 100, 200, 100));
    Skin_Border border(&owner.window);
    border.setBORDERTYPE(3);
    border.resize(border.width(), 6);
    SkinFrame::For(&owner.window)->relayout();
    ASSERT_EQ(border.width(), 200);
    SizingEnabled = true;

    const struct {
        int x;
        std::int16_t edge;
        Qt::CursorShape shape;
    } cases[] = {
        {0, 0, Qt::SizeBDiagCursor}, {10, 0, Qt::SizeBDiagCursor},  {11, 1, Qt::SizeVerCursor},
        {189, 1, Qt::SizeVerCursor}, {190, 2, Qt::SizeFDiagCursor}, {200, 2, Qt::SizeFDiagCursor},
        {100, 1, Qt::SizeVerCursor},
    };
    for (const auto& c : cases) {
        Move(&border, c.x, 3);
        EXPECT_EQ(border.BorderEdge(), c.edge) << "x = " << c.x;
        EXPECT_EQ(border.cursor().shape(), c.shape) << "x = " << c.x;
    }

    // Narrow border: the left test comes first.
    owner.window.resize(15, 100);
    QApplication::processEvents();
    ASSERT_EQ(border.width(), 15);
    Move(&border, 8, 3);
    EXPECT_EQ(border.BorderEdge(), 0);
    Move(&border, 11, 3);
    EXPECT_EQ(border.BorderEdge(), 2);
}

TEST_F(SkinBorderTest, SideBordersPickTheLowerCorner) {
    Owner owner(QRect(100, 100, 200, 300));
    Skin_Border left(&owner.window);
    left.setBORDERTYPE(1);
    Skin_Border right(&owner.window);
    right.setBORDERTYPE(2);
    ASSERT_EQ(left.height(), 300);
    SizingEnabled = true;

    Move(&left, 2, 289);
    EXPECT_EQ(left.BorderEdge(), 1);
    EXPECT_EQ(left.cursor().shape(), Qt::SizeHorCursor);
    Move(&left, 2, 290);
    EXPECT_EQ(left.BorderEdge(), 0);
    EXPECT_EQ(left.cursor().shape(), Qt::SizeBDiagCursor);
    Move(&left, 2, 300);
    EXPECT_EQ(left.BorderEdge(), 0);

    Move(&right, 2, 290);
    EXPECT_EQ(right.BorderEdge(), 2);
    EXPECT_EQ(right.cursor().shape(), Qt::SizeFDiagCursor);
    Move(&right, 2, 0);
    EXPECT_EQ(right.BorderEdge(), 1);
    EXPECT_EQ(right.cursor().shape(), Qt::SizeHorCursor);
}

TEST_F(SkinBorderTest, PressSizesTheOwnerFromThePickedEdge) {
    test::SkinFixture skin(AllPieces());
    Owner owner(QRect(100, 100, 200, 300));
    Skin_Border left(&owner.window);
    left.setBORDERTYPE(1);
    Skin_Border right(&owner.window);
    right.setBORDERTYPE(2);
    Skin_Border bottom(&owner.window);
    bottom.setBORDERTYPE(3);
    for (Skin_Border* b : {&left, &right, &bottom}) {
        b->setPath(skin.path());
    }
    SizingEnabled = true;

    // Left edge: the window grows to the left, its right edge stays.
    Move(&left, 1, 100);
    Drag(&left, QPoint(1, 100), QPoint(-30, 7));
    EXPECT_EQ(owner.window.geometry(), QRect(70, 100, 230, 300));

    // Lower-right corner of the bottom border: both sizes follow.
    Move(&bottom, bottom.width() - 3, 2);
    Drag(&bottom, QPoint(bottom.width() - 3, 2), QPoint(20, 15));
    EXPECT_EQ(owner.window.geometry(), QRect(70, 100, 250, 315));

    // The docked borders follow the new size.
    EXPECT_EQ(bottom.geometry(), QRect(0, 315 - 6, 250, 6));
    EXPECT_EQ(right.geometry(), QRect(250 - 5, 0, 5, 315 - 6));
    EXPECT_EQ(left.geometry(), QRect(0, 0, 4, 315 - 6));
}

TEST_F(SkinBorderTest, RightBorderPressBeforeAnyMovementDoesNothing) {
    Owner owner(QRect(100, 100, 200, 300));
    Skin_Border right(&owner.window);
    right.setBORDERTYPE(2);
    right.resize(5, right.height());
    SizingEnabled = true;
    ASSERT_EQ(right.BorderEdge(), 0); // edge 0 has no code on a right border
    SendMouse(&right, QEvent::MouseButtonPress, QPoint(2, 50), Qt::LeftButton);
    SendMouse(&owner.window, QEvent::MouseMove, QPoint(250, 50), Qt::LeftButton);
    SendMouse(&right, QEvent::MouseButtonRelease, QPoint(2, 50), Qt::NoButton);
    QApplication::processEvents();
    EXPECT_EQ(owner.window.geometry(), QRect(100, 100, 200, 300));
}

TEST_F(SkinBorderTest, NothingHappensWhileSizingIsDisabled) {
    Owner owner(QRect(100, 100, 200, 300));
    Skin_Border bottom(&owner.window);
    bottom.setBORDERTYPE(3);
    bottom.resize(bottom.width(), 6);
    SkinFrame::For(&owner.window)->relayout();

    Move(&bottom, 100, 3);
    EXPECT_EQ(bottom.BorderEdge(), 0);
    EXPECT_FALSE(bottom.testAttribute(Qt::WA_SetCursor));
    Drag(&bottom, QPoint(100, 3), QPoint(0, 40));
    EXPECT_EQ(owner.window.geometry(), QRect(100, 100, 200, 300));
}

TEST_F(SkinBorderTest, TypeZeroLeavesDockingAloneAndPaintsNothing) {
    test::SkinFixture skin(AllPieces());
    Owner owner(QRect(100, 100, 200, 300));
    Skin_Border border(&owner.window);
    border.setGeometry(10, 20, 30, 40);
    border.setBORDERTYPE(0);
    EXPECT_EQ(SkinFrame::Find(&owner.window), nullptr);
    border.setPath(skin.path());
    EXPECT_EQ(border.geometry(), QRect(10, 20, 30, 40));
    const QImage image = Render(border);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(image.pixel(x, y), kBackground) << x << "," << y;
        }
    }
    SizingEnabled = true;
    Move(&border, 1, 39);
    Drag(&border, QPoint(1, 39), QPoint(-20, 20));
    EXPECT_EQ(owner.window.geometry(), QRect(100, 100, 200, 300));

    // A docked border keeps its docking when set to 0.
    Skin_Border left(&owner.window);
    left.setBORDERTYPE(1);
    left.setBORDERTYPE(0);
    EXPECT_EQ(SkinFrame::Find(&owner.window)->border(FrameEdge::Left), &left);
}

TEST_F(SkinBorderTest, InADesignerTheBorderIsBackgroundAt100Twips) {
    test::SkinFixture skin(AllPieces());
    Owner owner(QRect(0, 0, 200, 300));
    Skin_Border left(&owner.window);
    left.show();
    left.setDesignMode(true);
    left.setBORDERTYPE(1);
    left.setPath(skin.path());
    left.resize(50, 100);
    const int thickness = platform::TwipsToPixels(100, platform::TwipsPerPixel(&left));
    EXPECT_EQ(left.width(), thickness);
    const QImage image = Render(left);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            ASSERT_EQ(image.pixel(x, y), kBackground) << x << "," << y;
        }
    }

    Skin_Border bottom(&owner.window);
    bottom.show();
    bottom.setDesignMode(true);
    bottom.setBORDERTYPE(3);
    bottom.resize(80, 33);
    EXPECT_EQ(bottom.height(), thickness);
}

TEST_F(SkinBorderTest, PropertiesRoundTripWithTheirKeysAndDefaults) {
    Owner owner(QRect(0, 0, 200, 300));
    Skin_Border fresh(&owner.window);
    EXPECT_EQ(fresh.BORDERTYPE(), 0);
    EXPECT_EQ(fresh.Path(), QString());
    PropertyBag empty;
    fresh.UserControl_WriteProperties(empty);
    EXPECT_TRUE(empty.isEmpty()); // defaults are not stored

    Skin_Border border(&owner.window);
    border.setBORDERTYPE(3);
    border.setPath(QStringLiteral("/opt/Varnel/Skins/Skin20.dll"));
    EXPECT_EQ(border.changeLog().marked(),
              QStringList({QStringLiteral("BORDERTYPE"), QStringLiteral("Path")}));
    PropertyBag bag;
    border.UserControl_WriteProperties(bag);
    ASSERT_EQ(bag.size(), 2u);
    EXPECT_EQ(bag.entries()[0].name, QStringLiteral("BORDERTYPE"));
    EXPECT_EQ(bag.kind(QStringLiteral("BORDERTYPE")), PropertyKind::Int32);
    EXPECT_EQ(bag.entries()[1].name, QStringLiteral("Path"));
    EXPECT_EQ(bag.kind(QStringLiteral("Path")), PropertyKind::Text);

    // Reading takes the type without docking and marks nothing.
    QWidget other;
    Skin_Border loaded(&other);
    loaded.setGeometry(3, 4, 5, 6);
    loaded.UserControl_ReadProperties(bag);
    EXPECT_EQ(loaded.BORDERTYPE(), 3);
    EXPECT_EQ(loaded.Path(), QStringLiteral("/opt/Varnel/Skins/Skin20.dll"));
    EXPECT_EQ(SkinFrame::Find(&other), nullptr);
    EXPECT_EQ(loaded.geometry(), QRect(3, 4, 5, 6));
    EXPECT_TRUE(loaded.changeLog().marked().isEmpty());

    // The byte form carries them too.
    const std::optional<PropertyBag> copy = PropertyBag::FromContents(bag.contents());
    ASSERT_TRUE(copy.has_value());
    Skin_Border fromBytes;
    fromBytes.UserControl_ReadProperties(*copy);
    EXPECT_EQ(fromBytes.BORDERTYPE(), 3);

    // An empty bag gives the defaults back.
    loaded.UserControl_ReadProperties(PropertyBag());
    EXPECT_EQ(loaded.BORDERTYPE(), 0);
    EXPECT_EQ(loaded.Path(), QString());
}
