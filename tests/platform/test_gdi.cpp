// The tiny GDI: handle discipline (select, select back, delete), counting of
// live objects, and pixel-exact SRCCOPY copies.
#include "platform/gdi.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace varnel::platform;

namespace {

// Every pixel different, alpha included, so a shifted, blended or mirrored
// copy shows.
QImage Pattern(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgba(x * 7 % 256, y * 11 % 256, (x + y) % 256, 255));
        }
    }
    return image;
}

QImage Filled(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    return image;
}

// A memory surface holding a new bitmap made from image.
struct Surface {
    explicit Surface(const QImage& image)
        : bitmap(CreateBitmapFromImage(image)), dc(CreateCompatibleDC(0)),
          previous(SelectObject(dc, bitmap)) {}
    ~Surface() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    HBITMAP bitmap;
    HDC dc;
    HGDIOBJ previous;
};

} // namespace

TEST(Gdi, SelectReturnsPreviousAndDeleteWaitsForSelectBack) {
    const int bitmaps = LiveBitmapCount();
    const int surfaces = LiveMemoryDCCount();

    const HBITMAP bitmap = CreateBitmapFromImage(Pattern(5, 3));
    ASSERT_NE(bitmap, 0u);
    const HDC dc = CreateCompatibleDC(0);
    ASSERT_NE(dc, 0u);
    EXPECT_EQ(LiveBitmapCount(), bitmaps + 1);
    EXPECT_EQ(LiveMemoryDCCount(), surfaces + 1);

    const HGDIOBJ stock = SelectObject(dc, bitmap);
    EXPECT_NE(stock, 0u);
    EXPECT_NE(stock, bitmap);

    BITMAP header;
    ASSERT_TRUE(GetObject(bitmap, header));
    EXPECT_EQ(header.bmWidth, 5);
    EXPECT_EQ(header.bmHeight, 3);

    // Still selected: the bitmap cannot be deleted, nor selected elsewhere.
    EXPECT_FALSE(DeleteObject(bitmap));
    const HDC other = CreateCompatibleDC(0);
    EXPECT_EQ(SelectObject(other, bitmap), 0u);
    EXPECT_TRUE(DeleteDC(other));

    EXPECT_EQ(SelectObject(dc, stock), bitmap);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(LiveBitmapCount(), bitmaps);
    EXPECT_EQ(LiveMemoryDCCount(), surfaces);

    // Deleted handles are gone: every use fails and changes nothing.
    EXPECT_FALSE(GetObject(bitmap, header));
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_FALSE(DeleteDC(dc));
    const HDC fresh = CreateCompatibleDC(0);
    EXPECT_EQ(SelectObject(fresh, bitmap), 0u);
    EXPECT_EQ(SelectObject(dc, stock), 0u);
    DeleteDC(fresh);
    EXPECT_EQ(LiveBitmapCount(), bitmaps);
    EXPECT_EQ(LiveMemoryDCCount(), surfaces);
}

TEST(Gdi, HandlesAreNotConfusedAcrossKinds) {
    const HBITMAP bitmap = CreateBitmapFromImage(Pattern(2, 2));
    const HDC dc = CreateCompatibleDC(0);
    EXPECT_FALSE(DeleteDC(bitmap));
    EXPECT_FALSE(DeleteObject(dc));
    EXPECT_EQ(SelectObject(bitmap, dc), 0u);
    EXPECT_EQ(CreateCompatibleDC(bitmap), 0u);
    EXPECT_EQ(CreateBitmapFromImage(QImage()), 0u);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(Gdi, DeletingASurfaceFreesItsBitmap) {
    const int bitmaps = LiveBitmapCount();
    const HBITMAP bitmap = CreateBitmapFromImage(Pattern(2, 2));
    const HDC dc = CreateCompatibleDC(0);
    ASSERT_NE(SelectObject(dc, bitmap), 0u);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(LiveBitmapCount(), bitmaps);
}

TEST(Gdi, SrcCopyOntoPainterIsPixelExact) {
    const QImage source = Pattern(6, 4);
    Surface surface(source);
    const QRgb background = qRgba(1, 2, 3, 255);
    QImage dest = Filled(20, 10, background);
    {
        QPainter painter(&dest);
        PainterDC dc(painter);
        ASSERT_TRUE(BitBlt(dc.handle(), 7, 3, 4, 3, surface.dc, 1, 1, SRCCOPY));
    }
    for (int y = 0; y < dest.height(); ++y) {
        for (int x = 0; x < dest.width(); ++x) {
            const bool inside = x >= 7 && x < 11 && y >= 3 && y < 6;
            const QRgb want = inside ? source.pixel(x - 7 + 1, y - 3 + 1) : background;
            ASSERT_EQ(dest.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST(Gdi, SrcCopyReplacesRatherThanBlends) {
    QImage source(2, 1, QImage::Format_ARGB32);
    source.setPixel(0, 0, qRgba(0, 0, 0, 0));     // fully transparent
    source.setPixel(1, 0, qRgba(255, 0, 0, 255)); // opaque red
    Surface surface(source);
    QImage dest = Filled(2, 1, qRgba(0, 255, 0, 255));
    {
        PainterDC dc(&dest);
        ASSERT_TRUE(BitBlt(dc.handle(), 0, 0, 2, 1, surface.dc, 0, 0, SRCCOPY));
    }
    EXPECT_EQ(qAlpha(dest.pixel(0, 0)), 0);
    EXPECT_EQ(dest.pixel(1, 0), qRgba(255, 0, 0, 255));
}

TEST(Gdi, SourceOutsideTheBitmapIsNotCopied) {
    const QImage source = Pattern(4, 4);
    Surface surface(source);
    const QRgb background = qRgba(9, 9, 9, 255);
    QImage dest = Filled(10, 10, background);
    {
        PainterDC dc(&dest);
        // Source rectangle (-2,-1)..(3,3): only (0,0)..(3,3) of the bitmap
        // exists; it lands shifted by (2,1) from (5,5).
        ASSERT_TRUE(BitBlt(dc.handle(), 5, 5, 6, 5, surface.dc, -2, -1, SRCCOPY));
    }
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 7 && x < 11 && y >= 6 && y < 10;
            const QRgb want = inside ? source.pixel(x - 7, y - 6) : background;
            ASSERT_EQ(dest.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST(Gdi, CopyBetweenMemorySurfaces) {
    const QImage source = Pattern(3, 3);
    Surface from(source);
    Surface to(Filled(5, 5, qRgba(0, 0, 0, 255)));
    ASSERT_TRUE(BitBlt(to.dc, 2, 2, 3, 3, from.dc, 0, 0, SRCCOPY));
    const QImage result = BitmapImage(to.bitmap);
    EXPECT_EQ(result.pixel(2, 2), source.pixel(0, 0));
    EXPECT_EQ(result.pixel(4, 4), source.pixel(2, 2));
    EXPECT_EQ(result.pixel(1, 1), qRgba(0, 0, 0, 255));
}

TEST(Gdi, RefusedCopiesDrawNothing) {
    Surface surface(Pattern(3, 3));
    const QRgb background = qRgba(4, 5, 6, 255);
    QImage dest = Filled(4, 4, background);
    {
        PainterDC dc(&dest);
        EXPECT_FALSE(BitBlt(dc.handle(), 0, 0, 3, 3, surface.dc, 0, 0, 0x00EE0086u)); // SRCPAINT
        EXPECT_FALSE(BitBlt(dc.handle(), 0, 0, 0, 3, surface.dc, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(dc.handle(), 0, 0, 3, 3, 0, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(dc.handle(), 0, 0, 3, 3, surface.bitmap, 0, 0, SRCCOPY));
    }
    EXPECT_EQ(dest, Filled(4, 4, background));
    // A painter surface ends with its object: copies to it are refused.
    HDC stale = 0;
    {
        PainterDC dc(&dest);
        stale = dc.handle();
    }
    EXPECT_FALSE(BitBlt(stale, 0, 0, 3, 3, surface.dc, 0, 0, SRCCOPY));
}
