#include "platform/formats/property_bag.h"

#include <QBuffer>
#include <QColor>
#include <QDataStream>
#include <QFont>
#include <QImageReader>
#include <QImageWriter>
#include <QPalette>
#include <QSet>

#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace varnel::platform {

namespace {

// The byte form (docs/skin-format.md): magic, format version, entry count,
// then per entry name, kind tag and value, all big-endian as QDataStream
// writes them at version Qt_6_0.
constexpr char kMagic[4] = {'V', 'N', 'P', 'B'};
constexpr std::uint16_t kFormatVersion = 1;
constexpr std::uint32_t kNullLength = 0xFFFFFFFFu; // QDataStream's null string / array

constexpr std::uint8_t kFontBold = 0x01;
constexpr std::uint8_t kFontItalic = 0x02;
constexpr std::uint8_t kFontUnderline = 0x04;
constexpr std::uint8_t kFontStrikethrough = 0x08;
constexpr std::uint8_t kFontKnownFlags = 0x0F;

// Working-memory cap for decoding one picture (Qt counts it in MiB); a
// 4096 x 4096 ARGB picture needs 64 MiB.
constexpr int kPictureAllocationLimitMiB = 80;

// A bounds-checked big-endian reader over bytes held in memory. Every read
// checks what is left first, so lengths from the input never drive an
// allocation larger than the input itself.
class ByteReader {
public:
    explicit ByteReader(const QByteArray& bytes)
        : m_Data(reinterpret_cast<const unsigned char*>(bytes.constData())),
          m_Size(static_cast<std::size_t>(bytes.size())) {}
    // The reader keeps a pointer into the bytes: never let it outlive them.
    explicit ByteReader(QByteArray&&) = delete;

    bool ok() const { return m_Ok; }
    bool atEnd() const { return m_Pos == m_Size; }
    std::size_t remaining() const { return m_Size - m_Pos; }
    std::size_t position() const { return m_Pos; }
    bool skip(std::size_t n) {
        if (!m_Ok || n > remaining()) {
            m_Ok = false;
            return false;
        }
        m_Pos += n;
        return true;
    }
    void fail() { m_Ok = false; }

    bool raw(void* out, std::size_t n) {
        if (!m_Ok || n > remaining()) {
            m_Ok = false;
            return false;
        }
        std::memcpy(out, m_Data + m_Pos, n);
        m_Pos += n;
        return true;
    }

    std::uint64_t unsignedBE(std::size_t n) {
        unsigned char buf[8] = {};
        if (!raw(buf, n)) {
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            v = (v << 8) | buf[i];
        }
        return v;
    }
    std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedBE(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedBE(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(unsignedBE(4)); }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64() {
        const std::uint64_t bits = unsignedBE(8);
        double d = 0;
        static_assert(sizeof d == sizeof bits);
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    // A QDataStream QString: byte length (even) then UTF-16BE; the null
    // marker reads as an empty string. Longer than maxChars fails.
    QString string(qsizetype maxChars) {
        const std::uint32_t bytes = u32();
        if (!m_Ok || bytes == kNullLength) {
            return {};
        }
        if ((bytes % 2) != 0 || bytes / 2 > static_cast<std::uint64_t>(maxChars) ||
            bytes > remaining()) {
            m_Ok = false;
            return {};
        }
        QString s(static_cast<qsizetype>(bytes / 2), Qt::Uninitialized);
        char16_t* out = reinterpret_cast<char16_t*>(s.data());
        for (std::uint32_t i = 0; i < bytes / 2; ++i) {
            out[i] = static_cast<char16_t>((m_Data[m_Pos] << 8) | m_Data[m_Pos + 1]);
            m_Pos += 2;
        }
        return s;
    }

    // A QDataStream QByteArray: length then bytes; the null marker reads as
    // an empty array.
    QByteArray bytes(qsizetype maxBytes) {
        const std::uint32_t n = u32();
        if (!m_Ok || n == kNullLength) {
            return {};
        }
        if (n > static_cast<std::uint64_t>(maxBytes) || n > remaining()) {
            m_Ok = false;
            return {};
        }
        QByteArray b(reinterpret_cast<const char*>(m_Data + m_Pos), static_cast<qsizetype>(n));
        m_Pos += n;
        return b;
    }

private:
    const unsigned char* m_Data;
    std::size_t m_Size;
    std::size_t m_Pos = 0;
    bool m_Ok = true;
};

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

// The PNG reduced to the chunks that make its pixels (IHDR, PLTE, tRNS, IDAT,
// IEND), each copied as it is, CRC included; nothing when a chunk's length
// runs past the end or no IEND closes it. libpng allocates a chunk's claimed
// length before reading it, and inflates compressed text and colour profile
// chunks without a bound of its own: a picture is only ever its pixels here,
// so those chunks are never handed to it.
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

// Decodes one picture of at most pixelBudget pixels.
std::optional<QImage> DecodePicture(const QByteArray& stored, qsizetype pixelBudget) {
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
        width > static_cast<std::uint32_t>(PropertyBagLimits::kMaxPictureSide) ||
        height > static_cast<std::uint32_t>(PropertyBagLimits::kMaxPictureSide) ||
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

bool SameImage(const QImage& a, const QImage& b) {
    if (a.isNull() || b.isNull()) {
        return a.isNull() == b.isNull();
    }
    if (a.size() != b.size()) {
        return false;
    }
    if (a.format() == b.format()) {
        return a == b;
    }
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

bool SameValue(const PropertyValue& a, const PropertyValue& b) {
    if (a.index() != b.index()) {
        return false;
    }
    if (const auto* ia = std::get_if<QImage>(&a)) {
        return SameImage(*ia, std::get<QImage>(b));
    }
    return a == b;
}

QPalette::ColorRole SystemColourRole(std::uint32_t index) {
    switch (index) {
    case 4: // menu
        return QPalette::Window;
    case 5: // window
        return QPalette::Base;
    case 7: // menu text
    case 8: // window text
        return QPalette::Text;
    case 13:
        return QPalette::Highlight;
    case 14:
        return QPalette::HighlightedText;
    case 15: // button face
        return QPalette::Button;
    case 16: // button shadow
        return QPalette::Dark;
    case 17: // grey text
        return QPalette::PlaceholderText;
    case 20: // button highlight
        return QPalette::Light;
    case 21: // dark 3-D shadow
        return QPalette::Shadow;
    case 22: // 3-D light
        return QPalette::Midlight;
    case 23:
        return QPalette::ToolTipText;
    case 24:
        return QPalette::ToolTipBase;
    case 18: // button text
    default:
        return QPalette::ButtonText;
    }
}

} // namespace

// --- Colour, StdFont, kinds ---------------------------------------------

QColor Colour::toQColor() const {
    if (isSystemColour()) {
        return QPalette().color(SystemColourRole(value & 0xFFu));
    }
    return QColor(red(), green(), blue());
}

Colour Colour::FromQColor(const QColor& colour) {
    return FromRgb(colour.red(), colour.green(), colour.blue());
}

QFont StdFont::toQFont() const {
    QFont font(family);
    if (pointSize > 0.0) {
        font.setPointSizeF(pointSize);
    }
    int w = weight;
    if (w < 1 || w > 1000) {
        w = 400;
    }
    if (bold && w < 600) {
        w = 700;
    }
    font.setWeight(static_cast<QFont::Weight>(w));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(strikethrough);
    return font;
}

StdFont StdFont::FromQFont(const QFont& font) {
    StdFont f;
    f.family = font.family();
    f.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : 0.0;
    f.weight = static_cast<std::int16_t>(font.weight());
    f.bold = font.weight() >= QFont::DemiBold;
    f.italic = font.italic();
    f.underline = font.underline();
    f.strikethrough = font.strikeOut();
    return f;
}

const char* PropertyKindName(PropertyKind kind) {
    switch (kind) {
    case PropertyKind::Text:
        return "text";
    case PropertyKind::Int32:
        return "int32";
    case PropertyKind::Int16:
        return "int16";
    case PropertyKind::Boolean:
        return "boolean";
    case PropertyKind::Colour:
        return "colour";
    case PropertyKind::Font:
        return "font";
    case PropertyKind::Picture:
        return "picture";
    }
    return "unknown";
}

PropertyKind KindOf(const PropertyValue& value) {
    static constexpr PropertyKind kByIndex[] = {
        PropertyKind::Text,   PropertyKind::Int32, PropertyKind::Int16,  PropertyKind::Boolean,
        PropertyKind::Colour, PropertyKind::Font,  PropertyKind::Picture};
    static_assert(std::variant_size_v<PropertyValue> == std::size(kByIndex));
    return kByIndex[value.index()];
}

// --- lookups ---------------------------------------------------------------

const PropertyBag::Entry* PropertyBag::find(const QString& name) const {
    for (const Entry& e : m_Entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0) {
            return &e;
        }
    }
    return nullptr;
}

PropertyBag::Entry* PropertyBag::find(const QString& name) {
    return const_cast<Entry*>(std::as_const(*this).find(name));
}

template <typename T> std::optional<T> PropertyBag::readAs(const QString& name) const {
    const Entry* e = find(name);
    if (e == nullptr) {
        return std::nullopt;
    }
    if (const T* v = std::get_if<T>(&e->value)) {
        return *v;
    }
    // The integer family: 16 and 32 bits answer each other when the number fits.
    if constexpr (std::is_same_v<T, std::int32_t>) {
        if (const auto* v16 = std::get_if<std::int16_t>(&e->value)) {
            return static_cast<std::int32_t>(*v16);
        }
    } else if constexpr (std::is_same_v<T, std::int16_t>) {
        if (const auto* v32 = std::get_if<std::int32_t>(&e->value)) {
            if (*v32 >= std::numeric_limits<std::int16_t>::min() &&
                *v32 <= std::numeric_limits<std::int16_t>::max()) {
                return static_cast<std::int16_t>(*v32);
            }
        }
    }
    return std::nullopt;
}

QString PropertyBag::ReadProperty(const QString& name, const QString& def) const {
    return readAs<QString>(name).value_or(def);
}
QString PropertyBag::ReadProperty(const QString& name, const char* def) const {
    return ReadProperty(name, QString::fromUtf8(def));
}
std::int32_t PropertyBag::ReadProperty(const QString& name, std::int32_t def) const {
    return readAs<std::int32_t>(name).value_or(def);
}
std::int16_t PropertyBag::ReadProperty(const QString& name, std::int16_t def) const {
    return readAs<std::int16_t>(name).value_or(def);
}
bool PropertyBag::ReadProperty(const QString& name, bool def) const {
    return readAs<bool>(name).value_or(def);
}
Colour PropertyBag::ReadProperty(const QString& name, Colour def) const {
    return readAs<Colour>(name).value_or(def);
}
StdFont PropertyBag::ReadProperty(const QString& name, const StdFont& def) const {
    return readAs<StdFont>(name).value_or(def);
}
QImage PropertyBag::ReadProperty(const QString& name, const QImage& def) const {
    const Entry* e = find(name);
    if (e != nullptr) {
        if (const auto* image = std::get_if<QImage>(&e->value)) {
            return *image;
        }
    }
    return def;
}

// --- writes ------------------------------------------------------------------

void PropertyBag::SetValue(const QString& name, PropertyValue value) {
    if (Entry* e = find(name)) {
        e->name = name;
        e->value = std::move(value);
        return;
    }
    m_Entries.push_back(Entry{name, std::move(value)});
}

namespace {
template <typename T>
void WriteWithDefault(PropertyBag& bag, const QString& name, const T& value, const T& def) {
    if (SameValue(PropertyValue(value), PropertyValue(def))) {
        bag.remove(name);
    } else {
        bag.SetValue(name, PropertyValue(value));
    }
}
} // namespace

void PropertyBag::WriteProperty(const QString& name, const QString& value, const QString& def) {
    WriteWithDefault(*this, name, value, def);
}
void PropertyBag::WriteProperty(const QString& name, const char* value, const char* def) {
    WriteWithDefault(*this, name, QString::fromUtf8(value), QString::fromUtf8(def));
}
void PropertyBag::WriteProperty(const QString& name, std::int32_t value, std::int32_t def) {
    WriteWithDefault(*this, name, value, def);
}
void PropertyBag::WriteProperty(const QString& name, std::int16_t value, std::int16_t def) {
    WriteWithDefault(*this, name, value, def);
}
void PropertyBag::WriteProperty(const QString& name, bool value, bool def) {
    WriteWithDefault(*this, name, value, def);
}
void PropertyBag::WriteProperty(const QString& name, Colour value, Colour def) {
    WriteWithDefault(*this, name, value, def);
}
void PropertyBag::WriteProperty(const QString& name, const StdFont& value, const StdFont& def) {
    WriteWithDefault(*this, name, value, def);
}
void PropertyBag::WriteProperty(const QString& name, const QImage& value, const QImage& def) {
    WriteWithDefault(*this, name, value, def);
}

// --- inspection ----------------------------------------------------------------

bool PropertyBag::contains(const QString& name) const {
    return find(name) != nullptr;
}

std::optional<PropertyKind> PropertyBag::kind(const QString& name) const {
    const Entry* e = find(name);
    if (e == nullptr) {
        return std::nullopt;
    }
    return KindOf(e->value);
}

const PropertyValue* PropertyBag::value(const QString& name) const {
    const Entry* e = find(name);
    return e != nullptr ? &e->value : nullptr;
}

bool PropertyBag::remove(const QString& name) {
    for (auto it = m_Entries.begin(); it != m_Entries.end(); ++it) {
        if (it->name.compare(name, Qt::CaseInsensitive) == 0) {
            m_Entries.erase(it);
            return true;
        }
    }
    return false;
}

QStringList PropertyBag::names() const {
    QStringList list;
    list.reserve(static_cast<qsizetype>(m_Entries.size()));
    for (const Entry& e : m_Entries) {
        list.append(e.name);
    }
    return list;
}

bool operator==(const PropertyBag& a, const PropertyBag& b) {
    if (a.m_Entries.size() != b.m_Entries.size()) {
        return false;
    }
    for (const PropertyBag::Entry& e : a.m_Entries) {
        const PropertyBag::Entry* other = b.find(e.name);
        if (other == nullptr || other->name != e.name || !SameValue(e.value, other->value)) {
            return false;
        }
    }
    return true;
}

// --- byte form -------------------------------------------------------------------

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
                DecodePicture(png, PropertyBagLimits::kMaxTotalPixels - pixels);
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

} // namespace varnel::platform
