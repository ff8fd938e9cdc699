#pragma once

// Skin_Border: a user control that replaces one edge of a window's frame. It
// docks itself to the left, right or bottom edge of its owner, paints itself
// from the pictures of the skin store on every repaint, and lets the user
// resize the owning window by dragging it while SizingEnabled is True, handing
// the drag to the window system's own sizing loop.
//
// Border types (BORDERTYPE):
//   1  left edge    pieces "LEFTTOP" (A) and "LEFTMID" (B); thickness = A's width
//   2  right edge   pieces "RIGHTTOP" (A) and "RIGHTMID" (B); thickness = A's width
//   3  bottom edge  pieces "LEFTBOT" (A), "RIGHTBOT" (B), "BOTTOM" (C); thickness = C's height
//   other          no docking change, no pieces, nothing painted
//
// The control measures itself in pixels; the owner may read its thickness in
// twips through platform::PixelsToTwips and the screen's twips per pixel.

#include "formats/property_bag.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class QPainter;

namespace varnel {

class SkinSource;

class Skin_Border : public QWidget {
public:
    explicit Skin_Border(QWidget* parent = nullptr);

    // The border type. Writing 1, 2 or 3 docks the control to the matching
    // edge of its owner; every write marks "BORDERTYPE" changed. Writing does
    // not repaint.
    std::int32_t BORDERTYPE() const { return m_BorderType; }
    void setBORDERTYPE(std::int32_t value);

    // The full path of the skin file. Writing marks "Path" changed and runs
    // the drawing pass at once (the thickness follows the new skin; the
    // pictures are painted by the repaint that is scheduled).
    QString Path() const { return m_SkinPath; }
    void setPath(const QString& value);

    // Asks the control to repaint itself; the repaint runs the drawing pass.
    void REDRAW();

    // Which part of the border the pointer was last over while sizing was
    // allowed: 0 lower-left corner, 1 straight edge, 2 lower-right corner.
    std::int16_t BorderEdge() const { return m_BorderEdge; }

    // A control being edited in a window designer rather than running in a
    // live window: it reads no skin, paints only its background and keeps a
    // thickness of 100 twips.
    bool designMode() const { return m_DesignMode; }
    void setDesignMode(bool designMode);

    // The persisted properties: "BORDERTYPE" (32-bit integer, default 0) and
    // "Path" (text, default empty). Reading sets the type without docking.
    void UserControl_ReadProperties(const PropertyBag& propBag);
    void UserControl_WriteProperties(PropertyBag& propBag) const;

    // The properties marked changed, for a host that saves them.
    PropertyChangeLog& changeLog() { return m_Changes; }

    // The background shown wherever no picture is drawn: RGB(90, 126, 220).
    static QColor backgroundColour();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UserControl_MouseDown(QPoint globalPos);
    void UserControl_MouseMove(int x, int y);
    void UserControl_MouseUp();
    void UserControl_Paint(QPainter& painter);
    void UserControl_Resize();

    // The drawing pass: reads the store, loads the pieces, sets the
    // thickness, and paints when a painter is given.
    void DrawBorder(QPainter* painter);
    void SetThickness(int pixels);
    void UseSource();

    std::int32_t m_BorderType = 0;
    std::int16_t m_BorderEdge = 0;
    QString m_SkinPath;
    QPointer<SkinSource> m_Source;
    bool m_DesignMode = false;
    bool m_Painting = false;
    int m_WantedThickness = 0; // pixels, from the latest drawing pass
    PropertyChangeLog m_Changes;
};

} // namespace varnel
