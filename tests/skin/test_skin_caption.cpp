// Skin_Caption: persisted properties and change marks, the layout pass (read
// back from the drawn surface), the button row, and the mouse: hover, press,
// the window commands, double-click and dragging.
#include "skin/skin_caption.h"

#include "caption_skin_fixture.h"
#include "platform/qt/units.h"
#include "platform/qt/window_services.h"
#include "platform/qt/work_area.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using namespace varnel;
using platform::WorkArea;

namespace {

using Skin = test::CaptionSkin;

void SendMouse(QWidget* target, QEvent::Type type, QPointF local,
               Qt::MouseButtons buttons = Qt::NoButton) {
    const QPointF global = target->mapToGlobal(local);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void Move(QWidget* target, QPointF at) {
    SendMouse(target, QEvent::MouseMove, at);
}
void Press(QWidget* target, QPointF at) {
    SendMouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton);
}
void Release(QWidget* target, QPointF at) {
    SendMouse(target, QEvent::MouseButtonRelease, at);
}
// A click as the window system delivers it: a move to the place, press, release.
void Click(QWidget* target, QPointF at) {
    Move(target, at);
    Press(target, at);
    Release(target, at);
}
// Press, release, double click, release.
void DoubleClick(QWidget* target, QPointF at) {
    Click(target, at);
    SendMouse(target, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    Release(target, at);
}

// A frameless window 300 pixels wide with a caption docked along its top,
// loaded from a property bag holding the given style.
struct Framed {
    explicit Framed(std::int32_t style = 1, QRect geometry = QRect(100, 120, 300, 200)) {
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setWindowTitle(QStringLiteral("Varnel2012"));
        QPixmap icon(32, 32);
        icon.fill(Qt::red);
        window.setWindowIcon(QIcon(icon));
        window.setGeometry(geometry);
        caption = new Skin_Caption(&window);
        PropertyBag saved;
        saved.WriteProperty(QStringLiteral("Style"), style, std::int32_t{1});
        caption->UserControl_ReadProperties(saved);
        SkinFrame::For(&window)->setCaption(caption);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // Gives the caption the skin and paints it.
    void Use(const test::SkinFixture& file) {
        caption->setPath(file.path());
        caption->repaint();
    }

    QImage Surface() const { return caption->surface(); }

    QWidget window;
    Skin_Caption* caption = nullptr;
};

// Button places on a 300-pixel bar of the test skin: close 16, maximise 15,
// minimise 14 and stay-on-top 12 wide, 4 from the right, 2 apart, 6 down.
constexpr int kCloseX = 280;
constexpr int kMaxX = 263;
constexpr int kMinX = 247;
constexpr int kOnTopX = 233;
constexpr int kButtonY = 6;
constexpr double kInBand = 12; // a row inside the buttons' band

class SkinCaptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SizingEnabled = false;
        skin.WriteTo(file);
    }
    void TearDown() override { SizingEnabled = false; }

    Skin skin;
    test::SkinFixture file{{}};
};

} // namespace

// ------------------------------------------------------------- persistence

TEST_F(SkinCaptionTest, AnEmptyBagGivesTheDefaults) {
    QWidget owner;
    owner.setFont(QFont(QStringLiteral("DejaVu Serif"), 13));
    Skin_Caption caption(&owner);
    SizingEnabled = true;
    caption.UserControl_ReadProperties(PropertyBag());

    EXPECT_EQ(caption.Path(), QString());
    EXPECT_TRUE(caption.Movable());
    EXPECT_TRUE(caption.ShowIcon());
    EXPECT_TRUE(caption.ControlBox());
    EXPECT_FALSE(caption.ONTOP());
    EXPECT_FALSE(caption.SHOWONTOP());
    EXPECT_EQ(caption.Style(), 1);
    EXPECT_EQ(caption.Style2(), 0);
    EXPECT_EQ(caption.ForeColor(), Colour{0x00FFFFFF});
    EXPECT_EQ(caption.BackColor(), Colour{0x80000012});
    EXPECT_EQ(caption.Font().family, QStringLiteral("DejaVu Serif")); // the container's
    EXPECT_EQ(caption.MousePointer(), 99);
    EXPECT_FALSE(SizingEnabled);
    EXPECT_FALSE(platform::IsStaysOnTop(&owner));
}

TEST_F(SkinCaptionTest, FirstPlacementTakesTheContainersFontAndDocksAlongTheTop) {
    QWidget owner;
    owner.resize(240, 160);
    owner.setFont(QFont(QStringLiteral("DejaVu Serif"), 13));
    Skin_Caption caption(&owner);
    caption.resize(50, 27);
    caption.UserControl_InitProperties();
    EXPECT_EQ(caption.Font().family, QStringLiteral("DejaVu Serif"));
    EXPECT_EQ(SkinFrame::Find(&owner)->caption(), &caption);
    EXPECT_EQ(caption.geometry(), QRect(0, 0, 240, 27));
}

TEST_F(SkinCaptionTest, SavedPropertiesLoadBackUnchanged) {
    const StdFont tahoma{QStringLiteral("Tahoma"), 8.25, false, false, false, false, 400, 0};
    const struct {
        const char* what;
        std::function<void(Skin_Caption&)> set;
    } cases[] = {
        {"defaults", [](Skin_Caption&) {}},
        {"main window's",
         [&](Skin_Caption& c) {
             c.setStyle(3);
             c.setFont(tahoma);
             c.setBackColor(Colour::FromRgb(90, 126, 220));
         }},
        {"every value changed",
         [&](Skin_Caption& c) {
             c.setPath(QStringLiteral("/opt/皮肤/Skin20.dll"));
             c.setMovable(false);
             c.setShowIcon(false);
             c.setControlBox(false);
             c.setONTOP(true);
             c.setSHOWONTOP(true);
             c.setStyle(70000);
             c.setFont(tahoma);
             c.setBackColor(Colour::FromRgb(1, 2, 3));
             c.setForeColor(Colour{0x80000005});
         }},
    };
    for (const auto& c : cases) {
        QWidget owner;
        Skin_Caption saved(&owner);
        saved.UserControl_ReadProperties(PropertyBag());
        c.set(saved);
        PropertyBag bag;
        saved.UserControl_WriteProperties(bag);

        QWidget otherOwner;
        Skin_Caption loaded(&otherOwner);
        loaded.UserControl_ReadProperties(bag);
        EXPECT_EQ(loaded.Path(), saved.Path()) << c.what;
        EXPECT_EQ(loaded.Movable(), saved.Movable()) << c.what;
        EXPECT_EQ(loaded.ShowIcon(), saved.ShowIcon()) << c.what;
        EXPECT_EQ(loaded.ControlBox(), saved.ControlBox()) << c.what;
        EXPECT_EQ(loaded.ONTOP(), saved.ONTOP()) << c.what;
        EXPECT_EQ(platform::IsStaysOnTop(&otherOwner), saved.ONTOP()) << c.what;
        EXPECT_EQ(loaded.SHOWONTOP(), saved.SHOWONTOP()) << c.what;
        EXPECT_EQ(loaded.Style(), saved.Style()) << c.what;
        EXPECT_EQ(loaded.Font().family, saved.Font().family) << c.what;
        EXPECT_EQ(loaded.Font().pointSize, saved.Font().pointSize) << c.what;
        EXPECT_EQ(loaded.BackColor(), saved.BackColor()) << c.what;
        EXPECT_EQ(loaded.ForeColor(), saved.ForeColor()) << c.what;
        EXPECT_EQ(loaded.MousePointer(), saved.Movable() ? 99 : 0) << c.what;
    }
}

TEST_F(SkinCaptionTest, SavingWritesTheKeysInOrderWithTheirKinds) {
    QWidget owner;
    Skin_Caption caption(&owner);
    caption.UserControl_ReadProperties(PropertyBag());
    PropertyBag defaults;
    caption.UserControl_WriteProperties(defaults);
    EXPECT_TRUE(defaults.isEmpty()); // values equal to their defaults are not stored

    caption.setPath(QStringLiteral("/x"));
    caption.setMovable(false);
    caption.setShowIcon(false);
    caption.setControlBox(false);
    caption.setONTOP(true);
    caption.setSHOWONTOP(true);
    caption.setStyle(3);
    caption.setFont(StdFont{QStringLiteral("Tahoma"), 8.25});
    caption.setBackColor(Colour{1});
    caption.setForeColor(Colour{2});
    caption.setStyle2(1);
    PropertyBag bag;
    caption.UserControl_WriteProperties(bag);
    EXPECT_EQ(bag.names(), QStringList({"Path", "Movable", "ShowIcon", "ControlBox", "ONTOP",
                                        "SHOWONTOP", "Style", "Font", "BackColor", "ForeColor"}));
    EXPECT_EQ(bag.kind(QStringLiteral("Style")), PropertyKind::Int32);
    EXPECT_EQ(bag.kind(QStringLiteral("Movable")), PropertyKind::Boolean);
    EXPECT_EQ(bag.kind(QStringLiteral("Font")), PropertyKind::Font);
    EXPECT_EQ(bag.kind(QStringLiteral("ForeColor")), PropertyKind::Colour);
}

TEST_F(SkinCaptionTest, WritesMarkTheirPropertyAndOnlySomeRepaint) {
    Framed framed;
    framed.Use(file);
    const struct {
        const char* mark;
        std::function<void(Skin_Caption&)> set;
        bool runsALayoutPass;
    } cases[] = {
        {"ControlBox", [](Skin_Caption& c) { c.setControlBox(false); }, false},
        {"Movable", [](Skin_Caption& c) { c.setMovable(false); }, false},
        {"ONTOP", [](Skin_Caption& c) { c.setONTOP(false); }, false},
        {"Path", [this](Skin_Caption& c) { c.setPath(file.path()); }, true},
        {"ShowIcon", [](Skin_Caption& c) { c.setShowIcon(true); }, false},
        {"SHOWONTOP", [](Skin_Caption& c) { c.setSHOWONTOP(false); }, false},
        {"Style", [](Skin_Caption& c) { c.setStyle(2); }, false},
        {"Style2", [](Skin_Caption& c) { c.setStyle2(7); }, false},
        {"Font",
         [](Skin_Caption& c) {
             c.setFont(StdFont{QStringLiteral("Tahoma"), 9});
         },
         true},
        {"BackColor", [](Skin_Caption& c) { c.setBackColor(Colour{5}); }, false},
        {"ForeColor", [](Skin_Caption& c) { c.setForeColor(Colour{6}); }, false},
    };
    for (const auto& c : cases) {
        // A layout pass shows in Style2: set from outside, it lasts until the
        // next pass.
        framed.caption->setStyle2(7);
        framed.caption->changeLog().clear();
        c.set(*framed.caption);
        EXPECT_EQ(framed.caption->changeLog().marked(), QStringList{QString::fromLatin1(c.mark)});
        EXPECT_EQ(framed.caption->Style2(), c.runsALayoutPass ? 0 : 7) << c.mark;
    }
}

TEST_F(SkinCaptionTest, OnTopMovesTheOwnerAtOnceAndTheImageAtTheNextPass) {
    Framed framed;
    framed.caption->setSHOWONTOP(true);
    framed.Use(file);
    ASSERT_TRUE(test::ShowsAt(framed.Surface(), skin.onTop1, kOnTopX, kButtonY));

    framed.caption->setONTOP(true);
    EXPECT_TRUE(platform::IsStaysOnTop(&framed.window));
    // The next layout pass draws ONTOP3.
    framed.caption->REDRAW();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return test::ShowsAt(framed.Surface(), skin.onTop3, kOnTopX, kButtonY); }));

    framed.caption->setONTOP(false);
    EXPECT_FALSE(platform::IsStaysOnTop(&framed.window));
}

TEST_F(SkinCaptionTest, FontIsTheControlsOwnNotTheCaptionTexts) {
    Framed framed;
    auto* label1 = framed.caption->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label1, nullptr);
    const QFont before = label1->font();
    framed.caption->setFont(StdFont{QStringLiteral("Tahoma"), 20, true, true});
    EXPECT_EQ(framed.caption->Font().family, QStringLiteral("Tahoma"));
    EXPECT_EQ(framed.caption->Font().pointSize, 20);
    EXPECT_EQ(label1->font(), before);
    EXPECT_FALSE(label1->font().italic());
    EXPECT_EQ(label1->font().pointSizeF(), 11.25);
    EXPECT_EQ(label1->font().weight(), QFont::Bold);
}

// ----------------------------------------------------------------- drawing

TEST_F(SkinCaptionTest, PaintsTheBarPiecesButtonsTextAndIcon) {
    Framed framed;
    framed.Use(file);
    const int tpp = platform::TwipsPerPixel(framed.caption);
    EXPECT_EQ(framed.caption->height(), 30);
    EXPECT_EQ(platform::PixelsToTwips(framed.caption->height(), tpp), 30 * tpp); // 450 at 15

    const QImage surface = framed.Surface();
    EXPECT_TRUE(test::ShowsAt(surface, skin.topLeft, 0, 0));
    EXPECT_TRUE(test::ShowsAt(surface, skin.topRight.copy(2, 0, 4, 30), 296, 0));
    // The middle piece repeats from the left edge under the other pieces.
    EXPECT_EQ(surface.pixel(21, 2), skin.topMid.pixel(21 % 3, 2));
    EXPECT_EQ(surface.pixel(200, 29), skin.topMid.pixel(200 % 3, 29));
    EXPECT_EQ(surface.pixel(kCloseX - 1, kButtonY), skin.topMid.pixel((kCloseX - 1) % 3, 6));
    EXPECT_TRUE(test::ShowsAt(surface, skin.close, kCloseX, kButtonY));
    EXPECT_TRUE(test::ShowsAt(surface, skin.max, kMaxX, kButtonY));
    EXPECT_TRUE(test::ShowsAt(surface, skin.min, kMinX, kButtonY));

    auto* label1 = framed.caption->findChild<QLabel*>(QStringLiteral("Label1"));
    auto* label2 = framed.caption->findChild<QLabel*>(QStringLiteral("Label2"));
    auto* image1 = framed.caption->findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_TRUE(label1 && label2 && image1);
    EXPECT_EQ(label1->text(), QStringLiteral("Varnel2012"));
    EXPECT_EQ(label2->text(), QStringLiteral("Varnel2012"));
    EXPECT_EQ(label1->pos(), QPoint(Skin::kXOffset + 17, Skin::kYOffset));
    EXPECT_EQ(label2->pos(), QPoint(Skin::kXOffset + 16, Skin::kYOffset - 1));
    EXPECT_EQ(label1->palette().color(QPalette::WindowText), Skin::kForeColor.toQColor());
    EXPECT_EQ(label2->palette().color(QPalette::WindowText), Skin::kBackColor.toQColor());
    EXPECT_EQ(framed.caption->ForeColor(), Skin::kForeColor);
    EXPECT_EQ(framed.caption->BackColor(), Skin::kBackColor);
    EXPECT_EQ(framed.window.palette().color(QPalette::Window), Skin::kParentBackColor.toQColor());
    EXPECT_EQ(image1->geometry(), QRect(Skin::kXOffset2, Skin::kYOffset + 2, 16, 16));
    EXPECT_FALSE(image1->pixmap().isNull());

    // The text follows the owner's title as it changes.
    framed.window.setWindowTitle(QStringLiteral("Varnel2012 - 41%"));
    EXPECT_EQ(label1->text(), QStringLiteral("Varnel2012 - 41%"));
    EXPECT_EQ(label2->text(), QStringLiteral("Varnel2012 - 41%"));
}

TEST_F(SkinCaptionTest, StyleControlBoxAndOnTopChooseTheButtonsDrawn) {
    const struct {
        std::int32_t style;
        bool controlBox;
        bool showOnTop;
        bool close, max, min, onTop;
    } cases[] = {
        {0, true, false, true, false, false, false},
        {1, true, false, true, true, true, false},
        {3, true, false, true, true, true, false},
        {4, true, false, true, true, true, false},
        {9, true, false, true, true, true, false},
        {1, false, false, false, false, false, false},
        {1, false, true, false, false, false, true},
        // With style 0 the stay-on-top button keeps the place it has beside
        // the maximise and minimise buttons.
        {0, true, true, true, false, false, true},
    };
    for (const auto& c : cases) {
        Framed framed(c.style);
        framed.caption->setControlBox(c.controlBox);
        framed.caption->setSHOWONTOP(c.showOnTop);
        framed.Use(file);
        const QImage surface = framed.Surface();
        const std::string what = "style " + std::to_string(c.style) +
                                 (c.controlBox ? " control box" : "") +
                                 (c.showOnTop ? " on-top button" : "");
        EXPECT_EQ(test::ShowsAt(surface, skin.close, kCloseX, kButtonY), c.close) << what;
        EXPECT_EQ(test::ShowsAt(surface, skin.max, kMaxX, kButtonY), c.max) << what;
        EXPECT_EQ(test::ShowsAt(surface, skin.min, kMinX, kButtonY), c.min) << what;
        EXPECT_EQ(test::ShowsAt(surface, skin.onTop1, kOnTopX, kButtonY), c.onTop) << what;
    }
}

TEST_F(SkinCaptionTest, MissingEntriesDrawNothingAndTakeNoRoom) {
    {
        // No maximise image: the minimise button moves right by its width.
        skin.WriteTo(file, {"MAX"});
        Framed framed;
        framed.Use(file);
        EXPECT_TRUE(test::ShowsAt(framed.Surface(), skin.close, kCloseX, kButtonY));
        EXPECT_TRUE(test::ShowsAt(framed.Surface(), skin.min, kCloseX - 2 - 2 - 14, kButtonY));
        EXPECT_EQ(framed.caption->ButtonRow().maxWidth, 0);
    }
    {
        // No middle piece: the pass ends and the bar shows the back colour.
        skin.WriteTo(file, {"TOPMID"});
        Framed framed;
        framed.Use(file);
        EXPECT_EQ(framed.Surface().pixel(150, 28), Skin::kBackColor.toQColor().rgb());
        EXPECT_TRUE(test::ShowsAt(framed.Surface(), skin.topRight.copy(2, 0, 4, 30), 296, 0));
    }
    {
        // No skin at all: the bar has no height.
        Framed framed;
        framed.caption->setPath(QStringLiteral("/nonexistent/Skins/Skin20.dll"));
        EXPECT_EQ(framed.caption->height(), 0);
    }
}

TEST_F(SkinCaptionTest, ASameSizeRewriteWithItsTimeSetBackIsDrawn) {
    Framed framed;
    framed.Use(file);
    ASSERT_TRUE(test::ShowsAt(framed.Surface(), skin.close, kCloseX, kButtonY));

    // The close and pressed-close pictures swapped: a file of the same
    // length, written over the old one in place (same inode), its
    // modification time then set back.
    Skin other = skin;
    std::swap(other.close, other.close2);
    test::SkinFixture scratch{{}};
    other.WriteTo(scratch);
    QFile source(scratch.path());
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    const std::filesystem::path path(QFile::encodeName(file.path()).toStdString());
    ASSERT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(bytes.size()));
    const auto before = std::filesystem::last_write_time(path);
    {
        std::ofstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.write(bytes.constData(), bytes.size());
    }
    std::filesystem::last_write_time(path, before);

    framed.Use(file);
    EXPECT_TRUE(test::ShowsAt(framed.Surface(), other.close, kCloseX, kButtonY));
}

TEST_F(SkinCaptionTest, DesignModeReadsNoSkinAndKeeps400Twips) {
    Framed framed;
    framed.caption->setDesignMode(true);
    framed.caption->setPath(file.path());
    const int tpp = platform::TwipsPerPixel(framed.caption);
    EXPECT_EQ(framed.caption->height(), platform::TwipsToPixels(400, tpp));
    EXPECT_EQ(framed.caption->ButtonRow().closeWidth, 0);
}

// ------------------------------------------------------------------- mouse

TEST_F(SkinCaptionTest, HoverPressAndReleaseShowTheImagesOfTheButton) {
    Framed framed(2);
    framed.Use(file);
    Skin_Caption* c = framed.caption;
    const struct {
        const char* what;
        std::function<void()> act;
        CaptionButton hot;
        bool over;
        const QImage* close;
        const QImage* max;
        const QImage* min;
    } steps[] = {
        {"on close",
         [&] {
             Move(c, {kCloseX + 5.0, kInBand});
         },
         CaptionButton::Close, true, &skin.close3, &skin.max, &skin.min},
        {"straight on to maximise",
         [&] {
             Move(c, {kMaxX + 5.0, kInBand});
         },
         CaptionButton::MaxRestore, true, &skin.close3, &skin.max3, &skin.min},
        {"press",
         [&] {
             Press(c, {kMaxX + 5.0, kInBand});
         },
         CaptionButton::MaxRestore, true, &skin.close3, &skin.max2, &skin.min},
        {"release elsewhere",
         [&] {
             Release(c, {kMaxX + 5.0, 40});
         },
         CaptionButton::MaxRestore, true, &skin.close3, &skin.max, &skin.min},
        {"band off the buttons",
         [&] {
             Move(c, {150, kInBand});
         },
         CaptionButton::MaxRestore, false, &skin.close, &skin.max, &skin.min},
        {"minimise",
         [&] {
             Move(c, {kMinX + 3.0, kInBand});
         },
         CaptionButton::Minimise, true, &skin.close, &skin.max, &skin.min3},
        {"minimise's left-most column",
         [&] {
             Move(c, {150, kInBand});
             Move(c, {kMinX, kInBand});
         },
         CaptionButton::Minimise, false, &skin.close, &skin.max, &skin.min},
        {"close's top row",
         [&] {
             Move(c, {kCloseX + 5.0, static_cast<double>(kButtonY)});
         },
         CaptionButton::Minimise, false, &skin.close, &skin.max, &skin.min},
        {"close, then up out of the band",
         [&] {
             Move(c, {kCloseX + 5.0, kInBand});
             Move(c, {kCloseX + 5.0, 2});
         },
         CaptionButton::Close, false, &skin.close, &skin.max, &skin.min},
        {"close, then off the control",
         [&] {
             Move(c, {kCloseX + 5.0, kInBand});
             QEvent leave(QEvent::Leave);
             QApplication::sendEvent(c, &leave);
         },
         CaptionButton::Close, false, &skin.close, &skin.max, &skin.min},
    };
    for (const auto& s : steps) {
        s.act();
        EXPECT_EQ(c->HotButton(), s.hot) << s.what;
        EXPECT_EQ(c->OverButton(), s.over) << s.what;
        EXPECT_TRUE(test::ShowsAt(c->surface(), *s.close, kCloseX, kButtonY)) << s.what;
        EXPECT_TRUE(test::ShowsAt(c->surface(), *s.max, kMaxX, kButtonY)) << s.what;
        EXPECT_TRUE(test::ShowsAt(c->surface(), *s.min, kMinX, kButtonY)) << s.what;
    }
    // A layout pass shows the normal images again.
    Move(c, {kCloseX + 5.0, kInBand});
    c->REDRAW();
    EXPECT_TRUE(test::ShowsAt(c->surface(), skin.close, kCloseX, kButtonY));
    EXPECT_TRUE(c->OverButton());
}

// On screens of 1 to 2 device pixels per pixel the pointer finds a button on
// exactly the device pixels its image is drawn on, less its left-most column
// and top row as at one device pixel per pixel: across the row of buttons
// and down the band. The bar's pieces leave no gap for the background.
TEST_F(SkinCaptionTest, ButtonsReactWhereTheyAreDrawnAtEveryScale) {
    Framed framed;
    framed.Use(file);
    Skin_Caption* c = framed.caption;
    constexpr int kNone = -1;
    // The fixture's pictures carry their tag in the red channel.
    const auto drawnAt = [](const QImage& surface, int x, int y) {
        if (x < 0 || y < 0) {
            return kNone;
        }
        switch (qRed(surface.pixel(x, y))) {
        case 40:
            return static_cast<int>(CaptionButton::Close);
        case 50:
            return static_cast<int>(CaptionButton::MaxRestore);
        case 70:
            return static_cast<int>(CaptionButton::Minimise);
        default:
            return kNone;
        }
    };
    const auto hoverAt = [&](QPointF at) {
        Move(c, at);
        return c->OverButton() ? static_cast<int>(c->HotButton()) : kNone;
    };
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        Move(c, {1, 1}); // off the band: every button shows its normal image
        const QImage surface = c->surface(scale);
        ASSERT_EQ(surface.width(), static_cast<int>(std::ceil(300 * scale)));

        // The pointer on device pixel x of the row is at x / scale.
        const int row = static_cast<int>(kInBand * scale);
        for (int x = 0; x < surface.width(); ++x) {
            const int drawn = drawnAt(surface, x, row);
            const int expected = drawn == drawnAt(surface, x - 1, row) ? drawn : kNone;
            EXPECT_EQ(hoverAt({x / scale, kInBand}), expected)
                << "scale " << scale << ", device column " << x;
        }
        const int column = static_cast<int>((kCloseX + 8) * scale);
        for (int y = 0; y < surface.height(); ++y) {
            const int drawn = drawnAt(surface, column, y);
            const int expected = drawn == drawnAt(surface, column, y - 1) ? drawn : kNone;
            EXPECT_EQ(hoverAt({kCloseX + 8.0, y / scale}), expected)
                << "scale " << scale << ", device row " << y;
        }

        int background = 0;
        for (int y = 0; y < surface.height(); ++y) {
            for (int x = 0; x < surface.width(); ++x) {
                background +=
                    qRed(surface.pixel(x, y)) == Skin::kBackColor.toQColor().red() ? 1 : 0;
            }
        }
        EXPECT_EQ(background, 0) << "scale " << scale;
    }
}

TEST_F(SkinCaptionTest, StylesDecideWhichButtonsReact) {
    const struct {
        std::int32_t style;
        bool closeReacts, maxReacts, minReacts;
    } cases[] = {
        {0, true, false, false}, {1, true, true, true},  {2, true, true, true},
        {3, true, false, true},  {4, false, true, true}, {-5, true, true, true},
    };
    for (const auto& c : cases) {
        Framed framed(c.style);
        framed.Use(file);
        Skin_Caption* caption = framed.caption;
        const auto reacts = [&](int x) {
            Move(caption, {150, kInBand});
            Move(caption, {x + 5.0, kInBand});
            return caption->OverButton();
        };
        EXPECT_EQ(reacts(kCloseX), c.closeReacts) << c.style;
        EXPECT_EQ(reacts(kMaxX), c.maxReacts) << c.style;
        EXPECT_EQ(reacts(kMinX), c.minReacts) << c.style;
    }
}

TEST_F(SkinCaptionTest, ClickCommands) {
    {
        Framed framed(1);
        framed.Use(file);
        Click(framed.caption, {kCloseX + 5.0, kInBand});
        EXPECT_FALSE(framed.window.isVisible());
    }
    {
        Framed framed(4);
        framed.Use(file);
        Click(framed.caption, {kCloseX + 5.0, kInBand});
        EXPECT_TRUE(framed.window.isVisible());
    }
    {
        // A press on a button and a release off the bar is no click.
        Framed framed(1);
        framed.Use(file);
        Move(framed.caption, {kCloseX + 5.0, kInBand});
        Press(framed.caption, {kCloseX + 5.0, kInBand});
        Release(framed.caption, {kCloseX + 5.0, 45});
        EXPECT_TRUE(framed.window.isVisible());
    }
    {
        Framed framed(3);
        framed.Use(file);
        framed.caption->setStyle2(2);
        Click(framed.caption, {kMinX + 5.0, kInBand});
        EXPECT_TRUE(framed.window.windowState().testFlag(Qt::WindowMinimized));
        EXPECT_EQ(framed.caption->Style2(), 0);
    }
    {
        Framed framed(1);
        framed.caption->setSHOWONTOP(true);
        framed.Use(file);
        Click(framed.caption, {kOnTopX + 5.0, kInBand});
        EXPECT_TRUE(framed.caption->ONTOP());
        EXPECT_TRUE(platform::IsStaysOnTop(&framed.window));
        EXPECT_TRUE(test::ShowsAt(framed.Surface(), skin.onTop3, kOnTopX, kButtonY));
        framed.caption->changeLog().clear();
        Click(framed.caption, {kOnTopX + 5.0, kInBand});
        EXPECT_FALSE(framed.caption->ONTOP());
        EXPECT_FALSE(platform::IsStaysOnTop(&framed.window));
        EXPECT_TRUE(test::ShowsAt(framed.Surface(), skin.onTop1, kOnTopX, kButtonY));
        EXPECT_TRUE(framed.caption->changeLog().marked().isEmpty());
    }
}

TEST_F(SkinCaptionTest, ControlBoxOffMakesTheButtonsInertAndTheBarADragHandle) {
    Framed framed(1);
    framed.caption->setControlBox(false);
    framed.Use(file);
    const QPoint start = framed.window.pos();
    Move(framed.caption, {kCloseX + 5.0, kInBand});
    EXPECT_FALSE(framed.caption->OverButton());
    Press(framed.caption, {kCloseX + 5.0, kInBand});
    SendMouse(framed.caption, QEvent::MouseMove, {kCloseX - 15.0, kInBand + 20}, Qt::LeftButton);
    Release(framed.caption, {kCloseX - 15.0, kInBand + 20});
    EXPECT_TRUE(framed.window.isVisible());
    EXPECT_EQ(framed.window.pos(), start + QPoint(-20, 20));
}

TEST_F(SkinCaptionTest, TheCaptionTextForwardsAtOneOneAndTheIconIgnoresTheMouse) {
    // With the buttons' band starting at row 0, row 1 is inside it: moving
    // over the text ends a hover, and a press on the text drags the window.
    PropertyBag bag = skin.Bag();
    bag.SetValue(QStringLiteral("FROMTOP"), std::int16_t{0});
    file.write(bag);
    Framed framed(1);
    framed.Use(file);
    auto* label1 = framed.caption->findChild<QLabel*>(QStringLiteral("Label1"));
    auto* image1 = framed.caption->findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_TRUE(label1 && image1);

    Move(framed.caption, {kCloseX + 5.0, kInBand});
    ASSERT_TRUE(framed.caption->OverButton());
    Move(label1, {30, 8});
    EXPECT_FALSE(framed.caption->OverButton());

    const QPoint start = framed.window.pos();
    Press(image1, {8, 8});
    SendMouse(image1, QEvent::MouseMove, {30, 30}, Qt::LeftButton);
    Release(image1, {30, 30});
    EXPECT_EQ(framed.window.pos(), start);

    Press(label1, {30, 8});
    SendMouse(label1, QEvent::MouseMove, {40, 20}, Qt::LeftButton);
    Release(label1, {40, 20});
    EXPECT_EQ(framed.window.pos(), start + QPoint(10, 12));
}

// --------------------------------------------------------------- work area

TEST_F(SkinCaptionTest, MaximisePlacesAndSizesTheWindowByTheWorkArea) {
    const int tpp = platform::TwipsPerPixel();
    ASSERT_EQ(tpp, 15);
    const QRect start(100, 120, 300, 200);
    const struct {
        WorkArea area;
        QRect maximised; // pixels
    } cases[] = {
        {{0, 0, 1024, 740}, {0, 0, 1024, 740}},
        {{60, 0, 1024, 768}, {60, 0, 964, 768}}, // 900, 0, 14460, 11520 twips
        {{0, 40, 800, 600}, {0, 40, 800, 560}},
        {{-200, 0, 800, 600}, {0, 0, 1000, 600}},
        {{-200, -30, 800, 600}, {100, 120, 1000, 630}}, // no placing rule holds
    };
    for (const auto& c : cases) {
        for (const bool byDoubleClick : {false, true}) {
            Framed framed(1, start);
            framed.caption->setWorkAreaSource(std::make_unique<platform::FixedWorkArea>(c.area));
            framed.Use(file);
            if (byDoubleClick) {
                DoubleClick(framed.caption, {150, kInBand});
            } else {
                Click(framed.caption, {kMaxX + 5.0, kInBand});
            }
            const std::string what = std::to_string(c.area.left) + "," +
                                     std::to_string(c.area.top) +
                                     (byDoubleClick ? " double-click" : " button");
            EXPECT_EQ(framed.window.geometry(), c.maximised) << what;
            EXPECT_TRUE(framed.caption->MaximizedToWorkArea()) << what;
            EXPECT_FALSE(framed.window.windowState().testFlag(Qt::WindowMaximized)) << what;
            EXPECT_FALSE(SizingEnabled) << what;
            framed.caption->repaint();
            EXPECT_EQ(framed.caption->Style2(), 1) << what;
            EXPECT_TRUE(test::ShowsAt(
                framed.Surface(), skin.res1,
                framed.caption->ButtonRow().PlacedLeft(CaptionButton::MaxRestore), kButtonY))
                << what;
        }
    }
}

TEST_F(SkinCaptionTest, RestoringGivesBackTheExactBounds) {
    const QRect start(37, 51, 313, 207);
    for (const bool byDoubleClick : {false, true}) {
        Framed framed(1, start);
        framed.caption->setWorkAreaSource(
            std::make_unique<platform::FixedWorkArea>(WorkArea{60, 0, 1024, 768}));
        framed.Use(file);
        const auto act = [&] {
            if (byDoubleClick) {
                DoubleClick(framed.caption, {150, kInBand});
            } else {
                const double x = framed.caption->ButtonRow().PlacedLeft(CaptionButton::MaxRestore);
                Move(framed.caption, {150, kInBand});
                Click(framed.caption, {x + 5.0, kInBand});
            }
        };
        act();
        ASSERT_NE(framed.window.geometry(), start);
        // While maximised, dragging the bar does not move the window.
        const QPoint maximisedAt = framed.window.pos();
        Move(framed.caption, {150, kInBand});
        Press(framed.caption, {150, kInBand});
        SendMouse(framed.caption, QEvent::MouseMove, {190, 40}, Qt::LeftButton);
        Release(framed.caption, {190, 40});
        EXPECT_EQ(framed.window.pos(), maximisedAt);

        act();
        EXPECT_EQ(framed.window.geometry(), start) << byDoubleClick;
        EXPECT_FALSE(framed.caption->MaximizedToWorkArea());
        SizingEnabled = false;
        framed.caption->resize(framed.caption->width() + 1, framed.caption->height());
        EXPECT_TRUE(SizingEnabled); // style 1 allows sizing again once restored
    }
}

TEST_F(SkinCaptionTest, AFailedWorkAreaQueryWritesTheMessageAndMovesNothing) {
    Framed framed(1);
    framed.caption->setWorkAreaSource(std::make_unique<platform::FixedWorkArea>(std::nullopt));
    framed.Use(file);
    const QRect before = framed.window.geometry();
    const QImage clean = framed.Surface();
    Click(framed.caption, {kMaxX + 5.0, kInBand});
    EXPECT_EQ(framed.window.geometry(), before);
    EXPECT_TRUE(framed.caption->MaximizedToWorkArea());
    // The text is written in the fore colour after the caption text.
    auto* label1 = framed.caption->findChild<QLabel*>(QStringLiteral("Label1"));
    ASSERT_NE(label1, nullptr);
    const QRect free(label1->geometry().right() + 1, 0, kMinX - label1->geometry().right() - 1, 30);
    const auto changedPixels = [&](const QImage& image) {
        int changed = 0;
        for (int y = free.top(); y <= free.bottom(); ++y) {
            for (int x = free.left(); x <= free.right(); ++x) {
                changed += image.pixel(x, y) != clean.pixel(x, y) ? 1 : 0;
            }
        }
        return changed;
    };
    const int changed = changedPixels(framed.Surface());
    EXPECT_GT(changed, 40);
    // Written once, whatever fails again, and gone at the next repaint.
    Click(framed.caption, {kMaxX + 5.0, kInBand});
    EXPECT_EQ(changedPixels(framed.Surface()), changed);
    framed.caption->REDRAW();
    EXPECT_EQ(changedPixels(framed.Surface()), 0);
}

TEST_F(SkinCaptionTest, ASystemMaximiseIsTakenOver) {
    Framed framed(2, QRect(40, 50, 300, 200));
    framed.caption->setWorkAreaSource(
        std::make_unique<platform::FixedWorkArea>(WorkArea{0, 24, 700, 500}));
    framed.Use(file);
    framed.window.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return framed.caption->MaximizedToWorkArea(); }));
    EXPECT_FALSE(framed.window.windowState().testFlag(Qt::WindowMaximized));
    EXPECT_EQ(framed.window.geometry(), QRect(0, 24, 700, 476));
    EXPECT_EQ(framed.caption->Style2(), 1);
    EXPECT_FALSE(SizingEnabled);

    DoubleClick(framed.caption, {150, kInBand});
    EXPECT_EQ(framed.window.geometry(), QRect(40, 50, 300, 200));
}
