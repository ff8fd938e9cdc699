// Skin_clsBitmap: loading a BMP file, taking a picture, painting, and an
// empty holder that paints nothing.
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
