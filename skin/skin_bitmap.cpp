#include "skin/skin_bitmap.h"

#include "platform/os/file.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPainter>

#include <string>

namespace varnel {

namespace {

// The largest bitmap file read: far above any skin picture, small enough
// that a huge file named .bmp costs nothing.
constexpr std::uint64_t kMaxBitmapBytes = 256u << 20;

// Reads a BMP file and nothing else. The file is opened read-only through the
// platform, which never blocks on a FIFO or device; anything that is not a
// regular file is refused before a byte is read.
QImage ReadBmp(const std::filesystem::path& path) {
    std::string bytes;
    try {
        bytes = platform::ReadWholeFile(path, kMaxBitmapBytes);
    } catch (const platform::FileError&) {
        return {};
    }
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    // Only the BMP reader: a PNG or JPEG under a .bmp name is no bitmap file.
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

bool Skin_clsBitmap::LoadFile(const std::filesystem::path& fileName) {
    const QImage image = ReadBmp(fileName);
    return LoadResource(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
}

bool Skin_clsBitmap::LoadResource(const QPixmap& bitmap) {
    m_Bitmap = bitmap;
    return !m_Bitmap.isNull();
}

void Skin_clsBitmap::Paint(QPainter& dest, std::int32_t x, std::int32_t y) const {
    if (!m_Bitmap.isNull()) {
        dest.drawPixmap(x, y, m_Bitmap);
    }
}

} // namespace varnel
