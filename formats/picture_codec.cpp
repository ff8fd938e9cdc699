#include "formats/picture_codec.h"

#include "formats/byte_reader.h"

#include <QBuffer>
#include <QByteArrayView>
#include <QImageReader>
#include <QImageWriter>
#include <QSize>

#include <cstdint>
#include <cstring>

namespace varnel::formats {

namespace {

// Working-memory cap for decoding one picture (Qt counts it in MiB); a
// 4096 x 4096 ARGB picture needs 64 MiB.
constexpr int kPictureAllocationLimitMiB = 80;

// Width and height from a PNG's header chunk, read before any decoding so
// that a picture claiming huge dimensions is refused without allocating.
bool PngHeaderSize(const QByteArray& png, std::uint32_t& width, std::uint32_t& height) {
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 33 || std::memcmp(png.constData(), kSignature, 8) != 0 ||
        std::memcmp(png.constData() + 12, "IHDR", 4) != 0) {
        return false;
    }
    const QByteArray size = png.mid(16, 8);
    ByteReader r(size);
    width = r.u32();
    height = r.u32();
    return r.ok();
}

} // namespace

QByteArray EncodePicture(const QImage& image, int compression) {
    if (image.isNull()) {
        return {};
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (compression >= 0) {
        // Qt's PNG writer maps quality 100..0 onto zlib levels 0..9.
        const int level = compression > 9 ? 9 : compression;
        writer.setQuality(100 - (level * 91 + 8) / 9);
    }
    if (!writer.write(image)) {
        return {};
    }
    return png;
}

// libpng allocates a chunk's claimed length before reading it, and inflates
// compressed text and colour profile chunks without a bound of its own: a
// picture is only ever its pixels here, so those chunks are never handed to
// it.
std::optional<QByteArray> PixelChunksOnly(const QByteArray& png) {
    QByteArray out = png.left(8); // the signature, checked by the caller
    ByteReader in(png);
    in.skip(8);
    for (;;) {
        const std::size_t start = in.position();
        const std::uint32_t length = in.u32();
        char type[4] = {};
        in.raw(type, sizeof type);
        if (!in.ok() || !in.skip(std::size_t{length} + 4)) { // data and CRC
            return std::nullopt;
        }
        const QByteArrayView name(type, sizeof type);
        if (name == "IHDR" || name == "PLTE" || name == "tRNS" || name == "IDAT" ||
            name == "IEND") {
            out.append(png.constData() + start, static_cast<qsizetype>(in.position() - start));
        }
        if (name == "IEND") {
            return out;
        }
    }
}

std::optional<QImage> DecodePicture(const QByteArray& stored, int maxSide, qsizetype pixelBudget) {
    if (stored.isEmpty()) {
        return QImage();
    }
    const std::optional<QByteArray> pixels = PixelChunksOnly(stored);
    if (!pixels) {
        return std::nullopt;
    }
    const QByteArray& png = *pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!PngHeaderSize(png, width, height) || width == 0 || height == 0 ||
        width > static_cast<std::uint32_t>(maxSide) ||
        height > static_cast<std::uint32_t>(maxSide) ||
        static_cast<qsizetype>(width) * static_cast<qsizetype>(height) > pixelBudget) {
        return std::nullopt;
    }
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAllocationLimit(kPictureAllocationLimitMiB);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.width() != static_cast<int>(width) || size.height() != static_cast<int>(height)) {
        return std::nullopt;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.size() != size) {
        return std::nullopt;
    }
    return image;
}

} // namespace varnel::formats
