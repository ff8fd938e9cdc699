// Skin_clsBitmap: loading a BMP file, taking a picture, painting, an empty
// holder that paints nothing, and painting on screens of 1.25 to 2 device
// pixels per pixel.
#include "skin/skin_bitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>

using namespace varnel;

namespace {

void PutLE(QByteArray& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xFFu));
    }
}

// A 3 x 2, 24-bit Windows BMP written byte by byte from the file format
// (BITMAPFILEHEADER, BITMAPINFOHEADER, bottom-up BGR rows padded to 4 bytes),
// so the reader is checked against the format rather than against Qt's writer.
// Top row: red, green, blue; bottom row: white, black, (10, 20, 30).
QByteArray HandMadeBmp() {
    const unsigned char bottomUp[2][3][3] = {
        {{255, 255, 255}, {0, 0, 0}, {30, 20, 10}}, // y = 1, B G R
        {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}},    // y = 0
    };
    QByteArray bytes("BM");
    PutLE(bytes, 14 + 40 + 24, 4); // file size
    PutLE(bytes, 0, 4);            // reserved
    PutLE(bytes, 14 + 40, 4);      // offset of the pixels
    PutLE(bytes, 40, 4);           // header size
    PutLE(bytes, 3, 4);            // width
    PutLE(bytes, 2, 4);            // height, positive: bottom-up
    PutLE(bytes, 1, 2);            // planes
    PutLE(bytes, 24, 2);           // bits per pixel
    PutLE(bytes, 0, 4);            // BI_RGB
    PutLE(bytes, 24, 4);           // image size
    PutLE(bytes, 2835, 4);
    PutLE(bytes, 2835, 4);
    PutLE(bytes, 0, 4);
    PutLE(bytes, 0, 4);
    for (const auto& row : bottomUp) {
        for (const auto& pixel : row) {
            bytes.append(reinterpret_cast<const char*>(pixel), 3);
        }
        bytes.append(3, '\0'); // 9 bytes of pixels padded to 12
    }
    return bytes;
}

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

std::filesystem::path Native(const QString& path) {
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

QImage Canvas(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(qRgba(7, 8, 9, 255));
    return image;
}

} // namespace

TEST(SkinBitmap, LoadFileReadsABmpAtItsOwnSize) {
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("piece.bmp"), HandMadeBmp());
    Skin_clsBitmap holder;
    ASSERT_TRUE(holder.LoadFile(Native(path)));
    EXPECT_EQ(holder.Width(), 3);
    EXPECT_EQ(holder.Height(), 2);
    EXPECT_FALSE(holder.empty());

    QImage canvas = Canvas(10, 10);
    {
        QPainter painter(&canvas);
        holder.Paint(painter, 4, 5);
    }
    EXPECT_EQ(canvas.pixel(4, 5), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.pixel(5, 5), qRgb(0, 255, 0));
    EXPECT_EQ(canvas.pixel(6, 5), qRgb(0, 0, 255));
    EXPECT_EQ(canvas.pixel(4, 6), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(5, 6), qRgb(0, 0, 0));
    EXPECT_EQ(canvas.pixel(6, 6), qRgb(10, 20, 30));
    EXPECT_EQ(canvas.pixel(3, 5), qRgba(7, 8, 9, 255));
    EXPECT_EQ(canvas.pixel(7, 6), qRgba(7, 8, 9, 255));
    EXPECT_EQ(canvas.pixel(4, 7), qRgba(7, 8, 9, 255));
}

TEST(SkinBitmap, LoadFileRefusesWhatIsNoReadableBmp) {
    QTemporaryDir dir;
    QByteArray png;
    {
        QImage image(2, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    const QByteArray bmp = HandMadeBmp();
    const QString fifo = dir.filePath(QStringLiteral("pipe.bmp"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString cases[] = {
        dir.filePath(QStringLiteral("missing.bmp")),
        dir.path(),
        fifo, // must not block waiting for a writer
        WriteFile(dir, QStringLiteral("png.bmp"), png),
        WriteFile(dir, QStringLiteral("empty.bmp"), QByteArray()),
        WriteFile(dir, QStringLiteral("short.bmp"), bmp.left(40)),
        WriteFile(dir, QStringLiteral("text.bmp"), QByteArray("BM not really a bitmap")),
    };

    // A full holder is emptied by every failed load.
    const QString good = WriteFile(dir, QStringLiteral("good.bmp"), bmp);
    for (const QString& path : cases) {
        Skin_clsBitmap holder;
        ASSERT_TRUE(holder.LoadFile(Native(good)));
        EXPECT_FALSE(holder.LoadFile(Native(path))) << path.toStdString();
        EXPECT_TRUE(holder.empty());
        EXPECT_EQ(holder.Width(), 0);
        EXPECT_EQ(holder.Height(), 0);
    }
}

TEST(SkinBitmap, ANullPictureEmptiesTheHolderWhichThenPaintsNothing) {
    Skin_clsBitmap holder;
    QPixmap picture(5, 7);
    picture.fill(QColor(1, 200, 3));
    ASSERT_TRUE(holder.LoadResource(picture));
    EXPECT_EQ(holder.Width(), 5);
    EXPECT_EQ(holder.Height(), 7);
    EXPECT_FALSE(holder.LoadResource(QPixmap()));
    EXPECT_TRUE(holder.empty());
    EXPECT_EQ(holder.Width(), 0);
    EXPECT_EQ(holder.Height(), 0);

    QImage canvas = Canvas(4, 4);
    const QImage untouched = canvas.copy();
    {
        QPainter painter(&canvas);
        holder.Paint(painter, 0, 0);
    }
    EXPECT_EQ(canvas, untouched);
}

// ------------------------------------------------------- scaled painters

namespace {

// A window glyph like the maximise button's: white strokes on black, a top
// bar two pixels thick, the sides and the bottom one pixel.
QPixmap WindowGlyph() {
    QImage image(21, 17, QImage::Format_RGB32);
    image.fill(Qt::black);
    for (int x = 0; x < image.width(); ++x) {
        for (const int y : {0, 1, image.height() - 1}) {
            image.setPixel(x, y, qRgb(255, 255, 255));
        }
    }
    for (int y = 0; y < image.height(); ++y) {
        image.setPixel(0, y, qRgb(255, 255, 255));
        image.setPixel(image.width() - 1, y, qRgb(255, 255, 255));
    }
    return QPixmap::fromImage(image);
}

// How much of a device pixel is white (the glyph's ink on the black canvas).
double Ink(const QImage& canvas, int x, int y) {
    return qRed(canvas.pixel(x, y)) / 255.0;
}

} // namespace

// The glyph drawn on a screen of several pixel densities, at even and odd
// places: each stroke keeps its thickness times the scale (so the top bar
// stays twice the sides), and at whole scales every device pixel is all ink
// or none.
TEST(SkinBitmap, StrokesKeepTheirThicknessOnScaledPainters) {
    Skin_clsBitmap glyph;
    ASSERT_TRUE(glyph.LoadResource(WindowGlyph()));
    const int w = glyph.Width();
    const int h = glyph.Height();
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        for (const QPoint at : {QPoint(0, 0), QPoint(1, 1), QPoint(3, 2), QPoint(4, 7)}) {
            const QString where =
                QStringLiteral("scale %1 at %2,%3").arg(scale).arg(at.x()).arg(at.y());
            const int side = static_cast<int>(std::ceil((at.x() + w + 2) * scale));
            const int tall = static_cast<int>(std::ceil((at.y() + h + 2) * scale));
            QImage canvas(side, tall, QImage::Format_RGB32);
            canvas.fill(Qt::black);
            canvas.setDevicePixelRatio(scale);
            {
                QPainter painter(&canvas);
                glyph.Paint(painter, at.x(), at.y());
            }
            // A device column through the middle of the glyph, and a device
            // row through the middle of its sides.
            const int column = static_cast<int>((at.x() + w / 2.0) * scale);
            const int row = static_cast<int>((at.y() + h / 2.0) * scale);
            double top = 0;
            double bottom = 0;
            for (int y = 0; y < tall; ++y) {
                (y < row ? top : bottom) += Ink(canvas, column, y);
            }
            double left = 0;
            double right = 0;
            for (int x = 0; x < side; ++x) {
                (x < column ? left : right) += Ink(canvas, x, row);
            }
            // Rounding the glyph's edges to device pixels stretches it by at
            // most one device pixel over its length.
            const auto near = [&](double ink, int stroke) {
                return std::abs(ink - stroke * scale) <= 0.1 * stroke + 0.02;
            };
            EXPECT_TRUE(near(top, 2)) << where.toStdString() << " top " << top;
            EXPECT_TRUE(near(bottom, 1)) << where.toStdString() << " bottom " << bottom;
            EXPECT_TRUE(near(left, 1)) << where.toStdString() << " left " << left;
            EXPECT_TRUE(near(right, 1)) << where.toStdString() << " right " << right;

            if (scale == std::floor(scale)) {
                int partial = 0;
                for (int y = 0; y < tall; ++y) {
                    for (int x = 0; x < side; ++x) {
                        const int red = qRed(canvas.pixel(x, y));
                        partial += red != 0 && red != 255 ? 1 : 0;
                    }
                }
                EXPECT_EQ(partial, 0) << where.toStdString();
                // Whole device pixels from the place scaled exactly.
                EXPECT_EQ(
                    Ink(canvas, static_cast<int>(at.x() * scale), static_cast<int>(at.y() * scale)),
                    1.0)
                    << where.toStdString();
                EXPECT_EQ(Ink(canvas, static_cast<int>(at.x() * scale) - 1,
                              static_cast<int>(at.y() * scale)),
                          0.0)
                    << where.toStdString();
            }
        }
    }
}

// Tiles repeat on whole device pixels: no seam of the canvas shows between
// copies, and a tile as tall as the area fills exactly its height.
TEST(SkinBitmap, TilesCoverTheirAreaOnScaledPainters) {
    QImage piece(3, 5, QImage::Format_RGB32);
    piece.fill(qRgb(200, 10, 10));
    piece.setPixel(1, 2, qRgb(10, 200, 10));
    Skin_clsBitmap tile;
    ASSERT_TRUE(tile.LoadResource(QPixmap::fromImage(piece)));
    for (const double scale : {1.0, 1.25, 1.5, 2.0}) {
        const QRect area(1, 2, 40, 5);
        QImage canvas(static_cast<int>(std::ceil(45 * scale)),
                      static_cast<int>(std::ceil(10 * scale)), QImage::Format_RGB32);
        canvas.fill(Qt::black);
        canvas.setDevicePixelRatio(scale);
        {
            QPainter painter(&canvas);
            tile.PaintTiled(painter, area);
        }
        const QRect device(QPoint(static_cast<int>(std::lround(area.left() * scale)),
                                  static_cast<int>(std::lround(area.top() * scale))),
                           QPoint(static_cast<int>(std::lround((area.right() + 1) * scale)) - 1,
                                  static_cast<int>(std::lround((area.bottom() + 1) * scale)) - 1));
        int uncovered = 0;
        int outside = 0;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                const bool black = canvas.pixel(x, y) == qRgb(0, 0, 0);
                if (device.contains(x, y)) {
                    uncovered += black ? 1 : 0;
                } else {
                    outside += black ? 0 : 1;
                }
            }
        }
        EXPECT_EQ(uncovered, 0) << scale;
        EXPECT_EQ(outside, 0) << scale;
    }
}
