#pragma once

// Skin_clsBitmap: the holder of one skin picture, ready to be copied onto a
// control. The holder shares the pixmap it was given or loaded (pixmaps are
// shared by reference); a further load, or destroying the holder, lets go.
//
// On a painter that scales (a screen of 1.25, 1.5 or 2 device pixels per
// pixel) the picture is drawn on whole device pixels from a copy resampled
// by area to the device size of its rectangle (device_grid.h), made once per
// picture and size and kept in the process's pixmap cache.

#include <QPixmap>
#include <QRect>

#include <cstdint>
#include <filesystem>

class QPainter;

namespace varnel {

class Skin_clsBitmap {
public:
    // Lets go of what the holder has, then loads a Windows BMP file at its
    // own size. False when the path names no readable BMP (missing, not a
    // regular file, another image format, damaged).
    bool LoadFile(const std::filesystem::path& fileName);

    // Lets go of what the holder has, then takes bitmap. False for a null
    // pixmap, which leaves the holder empty.
    bool LoadResource(const QPixmap& bitmap);

    // Size in pixels of the picture held; 0 when the holder is empty.
    std::int32_t Width() const { return m_Bitmap.width(); }
    std::int32_t Height() const { return m_Bitmap.height(); }

    // The picture to copy from; a null pixmap when the holder is empty.
    const QPixmap& hdc() const { return m_Bitmap; }
    bool empty() const { return m_Bitmap.isNull(); }

    // Copies the whole picture to dest with its top left corner at (x, y).
    // An empty holder copies nothing.
    void Paint(QPainter& dest, std::int32_t x, std::int32_t y) const;

    // Repeats the picture across area from its top left corner; copies past
    // the area are clipped. On a scaling painter the copies repeat on whole
    // device pixels, so no seam shows between them; along a side where area
    // is exactly as long as the picture, the picture fills it exactly.
    void PaintTiled(QPainter& dest, const QRect& area) const;

private:
    QPixmap m_Bitmap;
};

} // namespace varnel
