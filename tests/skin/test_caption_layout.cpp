// The caption's geometry and button looks, without a window: where the
// buttons sit, what the pointer is over, which picture each look shows.

#include "skin/caption_layout.h"

#include <gtest/gtest.h>

namespace varnel {
namespace {

TEST(CaptionButtonRowTest, PlacesAndHitRanges) {
    const CaptionButtonRow row{300, 4, 2, 16, 15, 14, 12};
    const struct {
        CaptionButton button;
        int placed;
        float firstInside;
        float lastInside;
    } cases[] = {
        {CaptionButton::Close, 280, 280.5f, 295.5f},
        {CaptionButton::MaxRestore, 263, 263.5f, 277.5f},
        {CaptionButton::Minimise, 247, 247.5f, 260.5f},
        {CaptionButton::OnTop, 233, 233.5f, 244.5f},
    };
    for (const auto& c : cases) {
        const int b = static_cast<int>(c.button);
        EXPECT_EQ(row.PlacedLeft(c.button), c.placed) << b;
        // The image's left-most column and the first column right of it are
        // outside; everything between is inside.
        EXPECT_FALSE(row.Contains(c.button, static_cast<float>(c.placed))) << b;
        EXPECT_TRUE(row.Contains(c.button, c.firstInside)) << b;
        EXPECT_TRUE(row.Contains(c.button, c.lastInside)) << b;
        EXPECT_FALSE(row.Contains(c.button, c.lastInside + 0.5f)) << b;
    }

    // Halves round to the even neighbour.
    const struct {
        double surfaceWidth;
        int closeLeft;
    } halves[] = {{100.5, 80}, {101.5, 82}, {100.4, 80}, {100.6, 81}, {-0.5, -20}};
    for (const auto& h : halves) {
        const CaptionButtonRow r{h.surfaceWidth, 4, 2, 16, 15, 14, 12};
        EXPECT_EQ(r.PlacedLeft(CaptionButton::Close), h.closeLeft) << h.surfaceWidth;
    }

    // Compared in single precision: above 2^24 neighbouring whole numbers
    // meet, and a point inside by double arithmetic falls on the edge.
    const CaptionButtonRow wide{16777219.0, 0, 0, 3, 0, 0, 0};
    EXPECT_FALSE(wide.Contains(CaptionButton::Close, 16777217.0f));
}

// What a move inside the band finds, for each style: a reacting button, an
// inert one (nothing changes), or none.
TEST(CaptionLayoutTest, HoverFollowsTheStyle) {
    const CaptionButtonRow row{300, 4, 2, 16, 15, 14, 12};
    constexpr float kClose = 288, kMax = 270, kMin = 254, kOnTop = 239, kNone = 100, kGap = 279;
    const CaptionHover B = CaptionHover::Button, I = CaptionHover::Inert, N = CaptionHover::None;
    const struct {
        CaptionStyle style;
        bool showOnTop;
        float x;
        CaptionHover hover;
        CaptionButton button;
    } cases[] = {
        {CaptionStyle::Sizable, false, kClose, B, CaptionButton::Close},
        {CaptionStyle::NoClose, false, kClose, I, CaptionButton::Close},
        {CaptionStyle::Fixed, false, kMax, B, CaptionButton::MaxRestore},
        {CaptionStyle::NoMaximise, false, kMax, I, CaptionButton::MaxRestore},
        {CaptionStyle::CloseOnly, false, kMax, I, CaptionButton::MaxRestore},
        {CaptionStyle::NoMaximise, false, kMin, B, CaptionButton::Minimise},
        {CaptionStyle::CloseOnly, false, kMin, I, CaptionButton::Minimise},
        {CaptionStyle::Sizable, true, kOnTop, B, CaptionButton::OnTop},
        {CaptionStyle::Sizable, false, kOnTop, I, CaptionButton::OnTop},
        {CaptionStyle::Sizable, true, kNone, N, CaptionButton::Close},
        {CaptionStyle::Sizable, true, kGap, N, CaptionButton::Close},
    };
    for (const auto& c : cases) {
        const CaptionHoverAt at = HoverAt(row, c.style, c.showOnTop, c.x);
        EXPECT_EQ(at.hover, c.hover) << c.x << " style " << static_cast<int>(c.style);
        if (c.hover != CaptionHover::None) {
            EXPECT_EQ(at.button, c.button) << c.x;
        }
    }
}

TEST(CaptionLayoutTest, EachLookHasItsPicture) {
    using enum ButtonLook;
    const struct {
        CaptionButton button;
        ButtonLook look;
        bool maximized;
        SkinPicture picture;
    } cases[] = {
        {CaptionButton::Close, Normal, false, SkinPicture::Close},
        {CaptionButton::Close, Hot, true, SkinPicture::Close3},
        {CaptionButton::Close, Pressed, false, SkinPicture::Close2},
        {CaptionButton::MaxRestore, Normal, false, SkinPicture::Max},
        {CaptionButton::MaxRestore, Hot, false, SkinPicture::Max3},
        {CaptionButton::MaxRestore, Pressed, false, SkinPicture::Max2},
        {CaptionButton::MaxRestore, Normal, true, SkinPicture::Res1},
        {CaptionButton::MaxRestore, Hot, true, SkinPicture::Res2},
        {CaptionButton::MaxRestore, Pressed, true, SkinPicture::Res3},
        {CaptionButton::Minimise, Normal, true, SkinPicture::Min},
        {CaptionButton::Minimise, Hot, false, SkinPicture::Min3},
        {CaptionButton::Minimise, Pressed, false, SkinPicture::Min2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ButtonPicture(c.button, c.look, c.maximized), c.picture)
            << static_cast<int>(c.button) << " look " << static_cast<int>(c.look);
    }
    EXPECT_EQ(OnTopPicture(true), SkinPicture::OnTop3);
    EXPECT_EQ(OnTopPicture(false), SkinPicture::OnTop1);
}

// The row begins at its left-most drawn button with a picture; a button
// without one takes no room of the text.
TEST(CaptionLayoutTest, TheRowBeginsAtItsLeftMostDrawnButton) {
    const struct {
        CaptionButtonRow row;
        CaptionButtonsShown shown;
        int left;
    } cases[] = {
        {{300, 4, 2, 16, 15, 14, 12}, {true, false, true}, 233},
        {{300, 4, 2, 16, 15, 14, 12}, {true, false, false}, 247},
        {{300, 4, 2, 16, 15, 0, 12}, {true, false, false}, 263},
        {{300, 4, 2, 16, 15, 14, 12}, {true, true, false}, 280},
        {{300, 4, 2, 16, 15, 14, 0}, {true, false, true}, 247},
        {{300, 4, 2, 16, 15, 14, 12}, {false, false, false}, 296},
        {{300, 4, 2, 0, 0, 0, 0}, {true, false, false}, 296},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ButtonRowLeft(c.row, c.shown), c.left)
            << c.shown.controlBox << c.shown.closeOnly << c.shown.showOnTop;
    }
}

} // namespace
} // namespace varnel
