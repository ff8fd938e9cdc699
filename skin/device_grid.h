#pragma once

// Skin pictures on screens of any pixel density. A window scaled by 1.25 or
// 1.5 puts a logical pixel on a fraction of device pixels: copied with the
// nearest source pixel for each device pixel, a one-pixel stroke of a picture
// becomes one device pixel here and two there, so a glyph's bars come out
// uneven. Instead each picture is drawn into a rectangle of whole device
// pixels (its logical edges rounded to the nearest device pixel edge) from a
// copy resampled to exactly that size by area: every device pixel is the
// average of the source area it covers. At a whole scale that copies each
// source pixel onto a square of whole device pixels, as crisp as the source;
// at a fractional one every stroke keeps the same amount of ink, sharp where
// it covers whole device pixels and shaded only where it ends inside one.
//
// Hit tests follow the same rounding (SnapX, SnapY): a picture reacts exactly
// where it is drawn.

#include <QImage>
#include <QRect>
#include <QSize>

#include <optional>

class QPainter;

namespace varnel {

// How the logical pixels of a surface fall on the device pixels it is painted
// on: device = scale * logical + origin.
struct DeviceGrid {
    double scale = 1.0;   // device pixels per logical pixel
    double originX = 0.0; // device position of the surface's logical origin
    double originY = 0.0;

    // The grid of painter's current coordinates; none when they are rotated,
    // sheared, mirrored or scaled unevenly, where no grid applies.
    static std::optional<DeviceGrid> Of(const QPainter& painter);

    // One device pixel per logical pixel: pictures are drawn as they are.
    bool Whole() const;

    // The device pixel edge a logical edge lands on: the nearest one, halves
    // up (as Qt rounds the rectangles it fills and clips).
    int DeviceX(double x) const;
    int DeviceY(double y) const;
    // A logical rectangle's edges on the device.
    QRect DeviceRect(const QRect& logical) const;

    // The logical position of the device edge that x (or y) lands on: the
    // edge a picture drawn from there shows. Exactly x on a whole grid.
    double SnapX(double x) const;
    double SnapY(double y) const;
};

// picture resampled to size by area (see above). Works in premultiplied
// colour, so transparent pixels lend no colour to their neighbours; a picture
// of one colour stays exactly that colour. A null image for a null picture or
// an empty size.
QImage ScaleByArea(const QImage& picture, QSize size);

} // namespace varnel
