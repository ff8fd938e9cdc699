#include "formats/picture_codec.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace {

using varnel::formats::DecodePicture;
using varnel::formats::EncodePicture;
using varnel::formats::PixelChunksOnly;

const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

// One chunk: length, type, data and a CRC field. The CRC is a marker, not a
// checksum: PixelChunksOnly copies it and never looks at it.
QByteArray Chunk(const char* type, const QByteArray& data = {}) {
    char length[4];
    qToBigEndian(static_cast<std::uint32_t>(data.size()), length);
    return QByteArray(length, 4) + QByteArray(type, 4) + data + QByteArray("CRC!", 4);
}

QByteArray Chunks(std::initializer_list<const char*> types) {
    QByteArray out;
    for (const char* type : types) {
        out += Chunk(type, QByteArray(type) + "-data");
    }
    return out;
}

TEST(PictureCodecTest, OnlyTheChunksThatMakePixelsAreKept) {
    const struct {
        const char* what;
        QByteArray png;
        std::optional<QByteArray> kept;
    } cases[] = {
        {"pixels only", kSignature + Chunks({"IHDR", "IDAT", "IEND"}),
         kSignature + Chunks({"IHDR", "IDAT", "IEND"})},
        {"palette and transparency", kSignature + Chunks({"IHDR", "PLTE", "tRNS", "IDAT", "IEND"}),
         kSignature + Chunks({"IHDR", "PLTE", "tRNS", "IDAT", "IEND"})},
        {"text, profile, gamma dropped",
         kSignature + Chunks({"IHDR", "tEXt", "zTXt", "iCCP", "IDAT", "gAMA", "IDAT", "IEND"}),
         kSignature + Chunks({"IHDR", "IDAT", "IDAT", "IEND"})},
        {"bytes after IEND dropped", kSignature + Chunks({"IHDR", "IDAT", "IEND"}) + "tail",
         kSignature + Chunks({"IHDR", "IDAT", "IEND"})},
        {"no IEND", kSignature + Chunks({"IHDR", "IDAT"}), std::nullopt},
        {"a chunk cut short", (kSignature + Chunks({"IHDR", "IDAT", "IEND"})).chopped(1),
         std::nullopt},
        {"a length past the end",
         kSignature + Chunk("IHDR") + QByteArray("\x7F\xFF\xFF\xFFtEXt", 8) + Chunk("IEND"),
         std::nullopt},
        {"signature alone", kSignature, std::nullopt},
        {"shorter than a signature", QByteArray("\x89PNG", 4), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PixelChunksOnly(c.png), c.kept) << c.what;
    }
}

TEST(PictureCodecTest, DecodingKeepsToTheSideAndPixelLimits) {
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QByteArray png = EncodePicture(image, 0);
    ASSERT_FALSE(png.isEmpty());
    const struct {
        const char* what;
        int maxSide;
        qsizetype pixelBudget;
        bool decoded;
    } cases[] = {
        {"within both", 4, 12, true},
        {"wider than the side limit", 3, 12, false},
        {"one pixel over the budget", 4, 11, false},
    };
    for (const auto& c : cases) {
        const std::optional<QImage> decoded = DecodePicture(png, c.maxSide, c.pixelBudget);
        ASSERT_EQ(decoded.has_value(), c.decoded) << c.what;
        if (decoded) {
            EXPECT_EQ(decoded->convertToFormat(QImage::Format_RGB32), image) << c.what;
        }
    }
    // No bytes stand for a null picture, and a null picture has no bytes.
    const std::optional<QImage> none = DecodePicture(QByteArray(), 4, 12);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->isNull());
    EXPECT_TRUE(EncodePicture(QImage(), 9).isEmpty());
}

} // namespace
