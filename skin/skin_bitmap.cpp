#include "skin/skin_bitmap.h"

#include "platform/os/file.h"
#include "skin/device_grid.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>
#include <QString>

#include <algorithm>
#include <cmath>
#include <optional>
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

// picture at a device size: itself at its own size, else its copy resampled
// by area, made once and then found in the pixmap cache (keyed by the
// picture's data, so every holder of the same picture shares it).
QPixmap AtDeviceSize(const QPixmap& picture, QSize size) {
    if (picture.size() == size && picture.devicePixelRatio() == 1.0) {
        return picture;
    }
    const QString key = QStringLiteral("varnel-skin-picture/%1/%2x%3")
                            .arg(picture.cacheKey())
                            .arg(size.width())
                            .arg(size.height());
    QPixmap scaled;
    if (!QPixmapCache::find(key, &scaled)) {
        scaled = QPixmap::fromImage(ScaleByArea(picture.toImage(), size));
        QPixmapCache::insert(key, scaled);
    }
    return scaled;
}

// Runs draw with painter's coordinates set to the device's own pixels.
template <typename Draw> void OnDevicePixels(QPainter& painter, Draw draw) {
    painter.save();
    painter.setViewTransformEnabled(false);
    painter.setWorldTransform(QTransform());
    // What is left maps logical to device pixels: undo it.
    painter.setWorldTransform(painter.deviceTransform().inverted());
    draw();
    painter.restore();
}

// The length in device pixels of a copy of a picture side that repeats:
// at least one pixel.
int RepeatLength(int logical, double scale) {
    return std::max(1, static_cast<int>(std::lround(logical * scale)));
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
    if (m_Bitmap.isNull()) {
        return;
    }
    const std::optional<DeviceGrid> grid = DeviceGrid::Of(dest);
    if (!grid || grid->Whole()) {
        dest.drawPixmap(x, y, m_Bitmap);
        return;
    }
    const QRect device = grid->DeviceRect(QRect(x, y, Width(), Height()));
    if (device.isEmpty()) {
        return;
    }
    const QPixmap scaled = AtDeviceSize(m_Bitmap, device.size());
    OnDevicePixels(dest, [&] { dest.drawPixmap(device.topLeft(), scaled); });
}

void Skin_clsBitmap::PaintTiled(QPainter& dest, const QRect& area) const {
    if (m_Bitmap.isNull() || area.isEmpty()) {
        return;
    }
    const std::optional<DeviceGrid> grid = DeviceGrid::Of(dest);
    if (!grid || grid->Whole()) {
        dest.drawTiledPixmap(area, m_Bitmap);
        return;
    }
    const QRect device = grid->DeviceRect(area);
    if (device.isEmpty()) {
        return;
    }
    const QSize tile(area.width() == Width() ? device.width() : RepeatLength(Width(), grid->scale),
                     area.height() == Height() ? device.height()
                                               : RepeatLength(Height(), grid->scale));
    const QPixmap scaled = AtDeviceSize(m_Bitmap, tile);
    OnDevicePixels(dest, [&] { dest.drawTiledPixmap(device, scaled); });
}

} // namespace varnel
