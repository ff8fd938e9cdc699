#pragma once

// The picture codec of the property bag: pictures are stored as PNG, which is
// lossless (docs/skin-format.md, "Pictures"). Decoding is guarded for
// outside bytes: a picture's size is checked against the caller's limits
// from its header before any pixel is decoded, and only the chunks that make
// its pixels reach the decoder.

#include <QByteArray>
#include <QImage>

#include <optional>

namespace varnel::formats {

// The image as PNG bytes at a zlib level: -1 zlib's default, 0 (stored, no
// compression) to 9; levels above 9 count as 9. Empty for a null image and
// when the image cannot be encoded.
QByteArray EncodePicture(const QImage& image, int compression);

// The PNG reduced to the chunks that make its pixels (IHDR, PLTE, tRNS, IDAT,
// IEND), each copied as it is, CRC included, after the 8 bytes of the
// signature (taken as they are; the caller checks them); nothing when a
// chunk's length runs past the end or no IEND closes it. Bytes after IEND are
// dropped.
std::optional<QByteArray> PixelChunksOnly(const QByteArray& png);

// The picture held in stored PNG bytes: a null image for no bytes; nothing
// when the bytes are not a PNG, its header claims no pixels, more than maxSide
// in either direction or more than pixelBudget pixels in all, or it does not
// decode to the size its header claims.
std::optional<QImage> DecodePicture(const QByteArray& stored, int maxSide, qsizetype pixelBudget);

} // namespace varnel::formats
