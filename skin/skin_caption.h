#pragma once

// Skin_Caption: the reusable control that takes the place of a window's title
// bar. It paints the bar from the skin store (three bar pieces, the window
// buttons), shows the owning window's icon and caption text, and carries out
// what the user does with the mouse on it: the buttons (close, minimise,
// maximise or restore, stay-on-top), double-click maximise, and moving the
// window by dragging the bar. It knows nothing of the window that embeds it:
// the owner is its parent widget, read and written through its title, icon,
// palette, window state and geometry.
//
// Make-up, front to back:
//   Label1  the caption text in the front colour, at (XOFFSET + 17, YOFFSET)
//   Label2  the same text in the back colour, one pixel left and up: a shadow
//   Image1  the window's icon, 16 x 16, at (XOFFSET2, YOFFSET + 2)
//
// Style (which window buttons act):
//   Style  min/max drawn  max reacts  double-click  close reacts  resize allows sizing
//   0      no             no          no            yes           no
//   1      yes            yes         yes           yes           yes
//   2      yes            yes         yes           yes           no
//   3      yes            no          no            yes           no
//   4      yes            yes         yes           no            no
// Any other value acts as 2. The minimise button reacts whenever it is drawn.
//
// Drawing: a layout pass (when the path, the size or the skin file changes,
// and on REDRAW) takes the decoded skin value (skin_value.h) into the
// picture holders and layout values; a repaint only copies the held pictures.
// The mouse handlers change the buttons' images between layout passes; the
// next layout pass shows their normal images again. The caption text is
// clipped before the button row, with an ellipsis.
// On a screen of more than one device pixel per pixel (1.25, 1.5, 2) the
// pictures are drawn on whole device pixels (skin_bitmap.h, device_grid.h),
// and the pointer is judged on the device pixels of the last paint: a
// button reacts exactly where it shows, at every scale.
//
// Press, release and click act on the button the last pointer movement found
// the pointer over. That hover ends when the pointer moves into the band of
// the buttons but off every button, out of the band, or off the control; so
// a click away from the buttons never acts on one.
//
// Maximising (the button, a double-click on the bar) and restoring, moving
// and the work area are the window's frame's (SkinFrame): on X11 the owner
// covers the desktop work area while its window state stays normal, and
// restoring gives back the exact bounds it had; a maximise by the system is
// taken over the same way.

#include "formats/property_bag.h"

#include "skin/caption_layout.h"
#include "skin/device_grid.h"
#include "skin/skin_bitmap.h"
#include "skin/skin_value.h"

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class QLabel;
class QPainter;

namespace varnel {

namespace platform {
class WorkAreaSource;
} // namespace platform

class SkinFrame;
class SkinSource;
class SkinValue;
class Skin_clsOnTop;

class Skin_Caption : public QWidget {
public:
    // Initialize: makes the stay-on-top object.
    explicit Skin_Caption(QWidget* parent = nullptr);
    // Terminate: releases the picture holders.
    ~Skin_Caption() override;

    using QWidget::setFont;
    using QWidget::setStyle;

    // Properties. Each write stores the value and marks the property changed;
    // only the writes of ONTOP, Path and Font have an effect at once.
    bool ControlBox() const { return m_ControlBox; }
    void setControlBox(bool value);
    bool Movable() const { return m_Movable; }
    void setMovable(bool value);
    // Writing True puts the owner into the topmost band at once, False takes
    // it out; the stay-on-top image follows at the next layout pass.
    bool ONTOP() const { return m_ONTOP; }
    void setONTOP(bool value);
    // The full path of the skin file. Writing runs a layout pass.
    QString Path() const { return m_Path; }
    void setPath(const QString& value);
    bool ShowIcon() const { return m_ShowIcon; }
    void setShowIcon(bool value);
    bool SHOWONTOP() const { return m_SHOWONTOP; }
    void setSHOWONTOP(bool value);
    std::int32_t Style() const { return m_Style; }
    void setStyle(std::int32_t value);
    // The control's record of the window state: 0 normal or minimised, 1
    // maximised to the work area by this control, 2 maximised by the system
    // and not yet taken over. Every layout pass sets it again; not saved.
    std::int32_t Style2() const { return static_cast<std::int32_t>(m_Style2); }
    void setStyle2(std::int32_t value);

    // Repaints the control now (the paint handling runs the layout pass).
    void REDRAW();

    // The control's own font: not the caption text's, which keeps its design
    // font; used for the message of a failed work-area query. Writing runs a
    // layout pass.
    StdFont Font() const;
    void setFont(const StdFont& value);

    // The colours of the caption text's back copy (BackColor) and front copy
    // (ForeColor). Each repaint sets both again from the skin's colours.
    Colour BackColor() const { return m_Label2Colour; }
    void setBackColor(Colour value);
    Colour ForeColor() const { return m_Label1Colour; }
    void setForeColor(Colour value);

    // First placement in a designer: the container's font, docked along the
    // top edge of the owner at its full width.
    void UserControl_InitProperties();
    // The persisted properties, with their keys, kinds and defaults:
    //   "Path" text "", "Movable" True, "Style" integer 1, "ShowIcon" True,
    //   "ControlBox" True, "ONTOP" False, "SHOWONTOP" False, "Font" (the
    //   container's font), "BackColor" &H80000012, "ForeColor" &H00FFFFFF.
    // Reading also makes SizingEnabled False and applies ONTOP to the owner.
    void UserControl_ReadProperties(const PropertyBag& propBag);
    void UserControl_WriteProperties(PropertyBag& propBag) const;

    // The properties marked changed, for a host that saves them.
    PropertyChangeLog& changeLog() { return m_Changes; }

    // A control edited in a window designer: it reads no skin and keeps a
    // height of 400 twips.
    bool designMode() const { return m_DesignMode; }
    void setDesignMode(bool designMode);

    // Where the desktop work area comes from (the screen by default); the
    // owner's frame keeps it.
    void setWorkAreaSource(std::unique_ptr<platform::WorkAreaSource> source);

    // State, for hosts and tests.
    bool MaximizedToWorkArea() const { return Maximized(); }
    CaptionButton HotButton() const { return m_HotButton; }
    bool OverButton() const { return m_OverButton; }
    // The pointer setting: 99 (custom) while Movable was read True, else 0.
    std::int32_t MousePointer() const { return m_MousePointer; }
    // The button row as the current button images place it.
    CaptionButtonRow ButtonRow() const;
    // Whether the bar draws the button, whether it reacts under the style,
    // and where it is drawn (control coordinates).
    bool ButtonShown(CaptionButton button) const;
    bool ButtonReacts(CaptionButton button) const;
    QRect ButtonRect(CaptionButton button) const;
    // What a click on the button does, for a user who presses it without
    // the mouse (a screen reader's press action). Nothing for a button that
    // is not shown or does not react.
    void PressButton(CaptionButton button);
    // What the surface shows now, hover and pressed images included, without
    // the caption text and icon, on a device of ratio device pixels per
    // pixel (the image has that ratio). Like every paint, it sets the grid
    // the pointer is judged on.
    QImage surface(qreal ratio = 1.0) const;
    // The caption text as shown (clipped before the buttons).
    QString shownText() const;
    // A short text the bar shows in place of the owner's title (the short
    // form of a long title), or an empty one to show the title itself.
    // Whenever the bar shows less than the whole title, the whole title is
    // the bar's tool tip.
    void setShortTitle(const QString& text);
    QString shortTitle() const { return m_ShortTitle; }

    // The label font: "Trebuchet MS" bold 11.25 pt, with families after it
    // that have the glyphs it lacks.
    static QFont CaptionTextFont();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The size of the window's icon on the caption.
    static constexpr int kCaptionIconSize = 16;
    // Sets a label's text colour; a label that has it already is left alone.
    static void SetLabelColour(QLabel* label, Colour colour);

    // Event procedures.
    void UserControl_Paint(QPainter& painter);
    void UserControl_Resize();
    void UserControl_MouseMove(float x, float y);
    void UserControl_MouseDown();
    void UserControl_MouseUp();
    void UserControl_Click();
    void UserControl_DblClick();

    // The layout pass: takes the skin's present value into the holders and
    // layout values, sets the height and takes over a system maximise.
    void DrawCaption();
    void TakeOverSystemMaximise();
    void DragWindow();
    void UseSource(const QString& path);

    // Loads the named image of a button into its holder, to be shown
    // without a layout pass.
    void ShowButtonImage(CaptionButton button, SkinPicture entry);
    // The close, maximise or restore and minimise buttons' normal images; the
    // pointer is over no button.
    void ShowNormalButtons();
    // Writes the failed work-area query's message onto the bar.
    void WriteWorkAreaFailure();
    // Places the caption text (and the message) before the button row.
    void LayoutText();
    void SetCaptionText();
    void SetHeight(int pixels);
    const Skin_clsBitmap* Holder(CaptionButton button) const;
    Skin_clsBitmap* Holder(CaptionButton button);
    Skin_clsOnTop& OnTop();
    CaptionStyle StyleValue() const;
    bool Maximized() const;
    // The left edge of the leftmost button drawn: the caption text ends
    // before it.
    int ButtonRowLeft() const;
    // The device pixels the pointer is judged on: those of the last paint,
    // else those the control's window would paint it on.
    DeviceGrid HitGrid() const;
    SkinFrame* Frame() const;

    // Constituents.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image1 = nullptr;

    // State.
    QPointer<SkinSource> m_Source;
    std::shared_ptr<const SkinValue> m_SkinStore; // the value of the last layout pass
    QString m_Path;
    QString m_ShortTitle;
    std::unique_ptr<Skin_clsOnTop> m_OnTop;
    Skin_clsBitmap m_TopLeft;
    Skin_clsBitmap m_TopMid;
    Skin_clsBitmap m_TopRight;
    Skin_clsBitmap m_CloseImage;
    Skin_clsBitmap m_MaxImage;
    Skin_clsBitmap m_MinImage;
    Skin_clsBitmap m_OnTopImage;
    bool m_Movable = false;
    bool m_ONTOP = false;
    std::int16_t m_XOffset2 = 0;
    std::int16_t m_XOffset = 0;
    std::int16_t m_YOffset = 0;
    bool m_SHOWONTOP = false;
    std::int16_t m_FromTop = 0;
    std::int16_t m_FromRight = 0;
    std::int16_t m_IconSpace = 0;
    bool m_ShowIcon = false;
    bool m_ControlBox = false;
    CaptionButton m_HotButton = CaptionButton::Close;
    bool m_OverButton = false;
    CaptionWindowState m_Style2 = CaptionWindowState::Normal;
    std::int32_t m_Style = 0;

    // The control's own colours (the skin's FORECOLOR and BackColor once
    // read) and its constituent labels' colours.
    Colour m_OwnForeColour;
    Colour m_OwnBackColour;
    Colour m_Label1Colour;
    Colour m_Label2Colour;
    std::int32_t m_MousePointer = 0;

    qint64 m_IconKey = 0;        // the owner's icon that Image1 shows
    qreal m_IconRatio = 1.0;     // the pixel density Image1's picture was made for
    bool m_MessageShown = false; // the failed query's message, until the next layout pass
    bool m_DesignMode = false;
    std::optional<DeviceGrid> m_PaintedGrid; // the device pixels of the last paint
    bool m_PressedHere = false;              // a press on the surface, waiting for its release
    QPoint m_PressGlobal;
    PropertyChangeLog m_Changes;
};

} // namespace varnel
