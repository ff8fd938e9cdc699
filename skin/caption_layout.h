#pragma once

// The caption's geometry and button looks, as pure functions of a few
// numbers: where each window button sits on the bar, which button the
// pointer is over, and which skin picture a button shows in each state.
// Skin_Caption holds the pictures and the widget; these decide.

#include "skin/device_grid.h"
#include "skin/skin_value.h"

#include <cstdint>

namespace varnel {

// The caption's record of the window state (Style2).
enum class CaptionWindowState : std::int32_t {
    Normal = 0,          // normal or minimised, as far as the caption knows
    WorkArea = 1,        // maximised to the work area by the caption
    SystemMaximised = 2, // maximised by the system and not yet taken over
};

// Which window buttons act (Style); any other value acts as Fixed.
enum class CaptionStyle : std::int32_t {
    CloseOnly = 0,  // only the close button is drawn
    Sizable = 1,    // every button; the borders size the window
    Fixed = 2,      // every button
    NoMaximise = 3, // the maximise button is drawn but inert
    NoClose = 4,    // the close button is drawn but inert
};

// The window buttons, by the numbers the control records for them.
enum class CaptionButton : std::int32_t {
    Close = 0,
    Minimise = 1,
    MaxRestore = 2, // maximise, or restore while the caption has maximised the window
    OnTop = 3,
};

// The button row of the bar, right to left: close, maximise or restore,
// minimise, stay-on-top, each as wide as its current image, with iconSpace
// pixels between neighbours and fromRight pixels right of the close button.
// A button keeps its place whether or not the buttons to its right are drawn.
struct CaptionButtonRow {
    double surfaceWidth = 0; // pixels
    int fromRight = 0;
    int iconSpace = 0;
    int closeWidth = 0;
    int maxWidth = 0;
    int minWidth = 0;
    int onTopWidth = 0;

    // The exact left edge and the right edge (one past the last column).
    double Left(CaptionButton button) const;
    double Right(CaptionButton button) const;
    // Where the image is drawn: Left rounded to the nearest pixel, halves to even.
    int PlacedLeft(CaptionButton button) const;
    // The button's hit range: Left < x < Right, compared in single precision,
    // so the image's left-most column counts as outside. On a grid other
    // than one device pixel per pixel (the grid the bar was drawn on) the
    // edges are those of the image as drawn there (DeviceGrid::SnapX): the
    // hit range is the drawn image, less its left-most device column.
    bool Contains(CaptionButton button, float x, const DeviceGrid& grid = {}) const;
};

// What the pointer is over, for a move inside the band of the buttons.
enum class CaptionHover {
    Button, // a button that reacts under the style: it becomes the hot one
    Inert,  // a button that is drawn but does not react: nothing changes
    None,   // no button: the buttons show their normal pictures again
};
struct CaptionHoverAt {
    CaptionHover hover = CaptionHover::None;
    CaptionButton button = CaptionButton::Close; // for Button and Inert
};

// The button under x on row, judged by each button's hit range on grid,
// right to left, and whether it reacts under style (the stay-on-top button
// reacts while it is shown).
CaptionHoverAt HoverAt(const CaptionButtonRow& row, CaptionStyle style, bool showOnTop, float x,
                       const DeviceGrid& grid = {});

// How a button looks: at rest, under the pointer, or pressed.
enum class ButtonLook { Normal, Hot, Pressed };

// The picture of close, maximise/restore or minimise in a look (restore's
// pictures while the window is maximised to the work area). The stay-on-top
// button's picture follows its state instead (OnTopPicture).
SkinPicture ButtonPicture(CaptionButton button, ButtonLook look, bool maximized);
SkinPicture OnTopPicture(bool onTop);

// Which buttons the bar shows, for the left end of the row.
struct CaptionButtonsShown {
    bool controlBox = true; // the window buttons are drawn
    bool closeOnly = false; // only close of them (CaptionStyle::CloseOnly)
    bool showOnTop = false; // the stay-on-top button is drawn
};

// Where the row of drawn buttons begins: the left edge of its left-most
// button that has a picture, or the bar's right margin when none has.
int ButtonRowLeft(const CaptionButtonRow& row, const CaptionButtonsShown& shown);

} // namespace varnel
