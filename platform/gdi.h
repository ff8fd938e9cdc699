#pragma once

// A tiny GDI over QImage and QPainter: bitmaps and memory drawing surfaces
// (device contexts) are 32-bit handles in a per-process table, so the skin
// code can keep the handle discipline of the Windows calls it stands for
// (select into a surface, select back, delete) and tests can count what is
// alive. A handle that was deleted is gone: every call given it does nothing
// and reports failure. Handles are never 0 and are not reused while the
// process lives (until the 32-bit counter wraps).
//
// Surfaces come in three kinds:
//   - memory surfaces from CreateCompatibleDC, which hold one selected bitmap;
//   - painter surfaces (PainterDC) that wrap a QPainter, the destination of a
//     widget's paint event or of a QImage in tests;
//   - the screen surface from GetDC(0), which exists only to be handed to
//     CreateCompatibleDC and given back with ReleaseDC.
//
// All calls belong to the user-interface thread; the table is nevertheless
// guarded so that a stray call from elsewhere cannot corrupt it.

#include <cstdint>
#include <memory>

class QImage;
class QPainter;
class QPaintDevice;

namespace varnel::platform {

using HGDIOBJ = std::uint32_t;
using HBITMAP = std::uint32_t;
using HDC = std::uint32_t;

// Raster operation: copy the source as it is.
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020u;

// What GetObject tells of a bitmap.
struct BITMAP {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 0;
    std::uint16_t bmBitsPixel = 0;
};

// A new bitmap holding a copy of image; 0 for a null image. The caller owns
// the handle and deletes it with DeleteObject.
HBITMAP CreateBitmapFromImage(const QImage& image);

// A copy of the bitmap's pixels (a null image for an unknown handle).
QImage BitmapImage(HBITMAP bitmap);

// The screen surface, and its release.
HDC GetDC(std::uint32_t window);
int ReleaseDC(std::uint32_t window, HDC dc);

// A new memory surface holding the 1x1 stock bitmap; 0 when dc is neither 0
// (the screen) nor a live surface.
HDC CreateCompatibleDC(HDC dc);

// Selects a bitmap into a memory surface and returns the bitmap it held
// before; 0 on failure (unknown surface or bitmap, a surface that is not a
// memory surface, or a bitmap already selected into another surface).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Deletes a bitmap. Fails (false) for unknown handles and for a bitmap still
// selected into a surface, as the real call does; the stock bitmap is never
// deleted (true, nothing happens).
bool DeleteObject(HGDIOBJ object);

// Deletes a memory surface; its selected bitmap stays alive and free.
bool DeleteDC(HDC dc);

// Fills out with the bitmap's header; false for an unknown handle.
bool GetObject(HBITMAP bitmap, BITMAP& out);

// Copies w x h pixels from (sx, sy) of the bitmap selected into src to (x, y)
// of dest. Only SRCCOPY is known. dest may be a memory surface (its bitmap is
// changed) or a painter surface. Parts of the source rectangle outside the
// bitmap are not copied; copies falling past the destination are clipped.
bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, std::uint32_t rop);

// Live bitmaps (the stock bitmap not counted) and live memory surfaces.
int LiveBitmapCount();
int LiveMemoryDCCount();

// A destination surface over a QPainter (not owned), or over a paint device
// with a painter of its own, for the lifetime of the object.
class PainterDC {
public:
    explicit PainterDC(QPainter& painter);
    explicit PainterDC(QPaintDevice* device);
    ~PainterDC();
    PainterDC(const PainterDC&) = delete;
    PainterDC& operator=(const PainterDC&) = delete;

    HDC handle() const { return m_Handle; }

private:
    std::unique_ptr<QPainter> m_OwnPainter;
    HDC m_Handle = 0;
};

} // namespace varnel::platform
