// The property bag's byte form (docs/skin-format.md): contents() writes it,
// FromContents() reads it back, refusing as a whole any input that is not a
// complete, valid bag within PropertyBagLimits.
#include "formats/property_bag.h"

#include "formats/byte_reader.h"
#include "formats/picture_codec.h"

#include <QDataStream>
#include <QIODevice>
#include <QSet>

#include <cmath>
#include <cstring>
#include <utility>

namespace varnel::formats {

namespace {

// The byte form: magic, format version, entry count, then per entry name,
// kind tag and value, all big-endian as QDataStream writes them at version
// Qt_6_0.
constexpr char kMagic[4] = {'V', 'N', 'P', 'B'};
constexpr std::uint16_t kFormatVersion = 1;

constexpr std::uint8_t kFontBold = 0x01;
constexpr std::uint8_t kFontItalic = 0x02;
constexpr std::uint8_t kFontUnderline = 0x04;
constexpr std::uint8_t kFontStrikethrough = 0x08;
constexpr std::uint8_t kFontKnownFlags = 0x0F;

} // namespace

QByteArray PropertyBag::contents() const {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out.setByteOrder(QDataStream::BigEndian);
    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
    out.writeRawData(kMagic, sizeof kMagic);
    out << kFormatVersion << static_cast<std::uint32_t>(m_Entries.size());
    for (const Entry& e : m_Entries) {
        const PropertyKind k = KindOf(e.value);
        out << e.name << static_cast<std::uint8_t>(k);
        switch (k) {
        case PropertyKind::Text:
            out << std::get<QString>(e.value);
            break;
        case PropertyKind::Int32:
            out << std::get<std::int32_t>(e.value);
            break;
        case PropertyKind::Int16:
            out << std::get<std::int16_t>(e.value);
            break;
        case PropertyKind::Boolean:
            out << static_cast<std::uint8_t>(std::get<bool>(e.value) ? 1 : 0);
            break;
        case PropertyKind::Colour:
            out << std::get<Colour>(e.value).value;
            break;
        case PropertyKind::Font: {
            const StdFont& f = std::get<StdFont>(e.value);
            std::uint8_t flags = 0;
            flags |= f.bold ? kFontBold : 0;
            flags |= f.italic ? kFontItalic : 0;
            flags |= f.underline ? kFontUnderline : 0;
            flags |= f.strikethrough ? kFontStrikethrough : 0;
            out << f.family << f.pointSize << flags << f.weight << f.charset;
            break;
        }
        case PropertyKind::Picture: {
            const QImage& image = std::get<QImage>(e.value);
            const QByteArray png = EncodePicture(image, m_PictureCompression);
            if (!image.isNull() && png.isEmpty()) {
                return {};
            }
            // An empty array stands for a null picture.
            out << static_cast<std::uint32_t>(png.size());
            out.writeRawData(png.constData(), static_cast<int>(png.size()));
            break;
        }
        }
    }
    if (out.status() != QDataStream::Ok) {
        return {};
    }
    return bytes;
}

std::optional<PropertyBag> PropertyBag::FromContents(const QByteArray& bytes) {
    if (bytes.size() > PropertyBagLimits::kMaxContents) {
        return std::nullopt;
    }
    ByteReader in(bytes);
    char magic[sizeof kMagic] = {};
    if (!in.raw(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        return std::nullopt;
    }
    if (in.u16() != kFormatVersion) {
        return std::nullopt;
    }
    const std::uint32_t count = in.u32();
    // Each entry takes at least 4 (name length) + 2 (one character) + 1 (kind)
    // + 1 (smallest value) bytes, so a count beyond that is a lie.
    if (!in.ok() || count > PropertyBagLimits::kMaxEntries || count > in.remaining() / 8) {
        return std::nullopt;
    }
    PropertyBag bag;
    bag.m_Entries.reserve(count);
    QSet<QString> seen; // case-folded names: each name once, whatever its case
    qsizetype pixels = 0;
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        QString name = in.string(PropertyBagLimits::kMaxNameChars);
        if (!in.ok() || name.isEmpty()) {
            return std::nullopt;
        }
        const QString folded = name.toCaseFolded();
        if (seen.contains(folded)) {
            return std::nullopt;
        }
        seen.insert(folded);
        const std::uint8_t tag = in.u8();
        PropertyValue value;
        switch (static_cast<PropertyKind>(tag)) {
        case PropertyKind::Text:
            value = in.string(PropertyBagLimits::kMaxTextChars);
            break;
        case PropertyKind::Int32:
            value = in.i32();
            break;
        case PropertyKind::Int16:
            value = in.i16();
            break;
        case PropertyKind::Boolean: {
            const std::uint8_t b = in.u8();
            if (b > 1) {
                in.fail();
            }
            value = b == 1;
            break;
        }
        case PropertyKind::Colour:
            value = Colour{in.u32()};
            break;
        case PropertyKind::Font: {
            StdFont f;
            f.family = in.string(PropertyBagLimits::kMaxTextChars);
            f.pointSize = in.f64();
            const std::uint8_t flags = in.u8();
            f.weight = in.i16();
            f.charset = in.i16();
            if (!std::isfinite(f.pointSize) || f.pointSize < 0.0 || f.pointSize > 16384.0 ||
                (flags & ~kFontKnownFlags) != 0) {
                in.fail();
            }
            f.bold = (flags & kFontBold) != 0;
            f.italic = (flags & kFontItalic) != 0;
            f.underline = (flags & kFontUnderline) != 0;
            f.strikethrough = (flags & kFontStrikethrough) != 0;
            value = std::move(f);
            break;
        }
        case PropertyKind::Picture: {
            const QByteArray png = in.bytes(PropertyBagLimits::kMaxPictureBytes);
            if (!in.ok()) {
                break;
            }
            std::optional<QImage> image =
                DecodePicture(png, PropertyBagLimits::kMaxPictureSide,
                              PropertyBagLimits::kMaxTotalPixels - pixels);
            if (!image) {
                return std::nullopt;
            }
            pixels += static_cast<qsizetype>(image->width()) * image->height();
            value = std::move(*image);
            break;
        }
        default:
            return std::nullopt;
        }
        if (!in.ok()) {
            return std::nullopt;
        }
        bag.m_Entries.push_back(Entry{std::move(name), std::move(value)});
    }
    if (!in.ok() || !in.atEnd()) {
        return std::nullopt;
    }
    return bag;
}

bool PropertyBag::setContents(const QByteArray& bytes) {
    std::optional<PropertyBag> bag = FromContents(bytes);
    m_Entries = bag ? std::move(bag->m_Entries) : std::vector<Entry>{};
    return bag.has_value();
}

} // namespace varnel::formats
