#pragma once

// PropertyBag: the persisted name-value set of a user control, and the value
// that a skin file holds. It stands in for the property bag a control host
// gives its controls: typed values read with a default and written with a
// default, names matched without regard to letter case, and a byte form that
// round-trips (docs/skin-format.md describes the bytes).
//
//   varnel::PropertyBag bag;
//   bag.WriteProperty("Style", 3, 1);          // stored: 3 differs from the default 1
//   bag.WriteProperty("Movable", true, true);  // not stored: equal to its default
//   int style = bag.ReadProperty("STYLE", 1);  // 3: names ignore letter case
//   QImage top = bag.ReadProperty("TOPLEFT", QImage());  // null image when absent
//
// Typed reads: a lookup whose stored value is of another kind gives the
// default, as an absent name does. The one exception is the integer family:
// a 16-bit and a 32-bit integer answer each other's reads when the stored
// number fits the requested width (the readers widen or narrow the number, as
// the controls' "converted to a 16-bit value" reads expect); a 32-bit value
// that does not fit 16 bits gives the default. Colours are their own kind and
// never answer integer reads, nor integers colour reads.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

class QFont;
class QColor;

namespace varnel::formats {

// A colour in the Windows layout 0x00BBGGRR. Values with the top bit set
// (0x80000000 | n) name system colour n, as a control's persisted colours may
// ("&H80000012", button text); toQColor() maps those through the palette.
struct Colour {
    std::uint32_t value = 0;

    static constexpr Colour FromRgb(int r, int g, int b) {
        return Colour{static_cast<std::uint32_t>(r & 0xFF) |
                      (static_cast<std::uint32_t>(g & 0xFF) << 8) |
                      (static_cast<std::uint32_t>(b & 0xFF) << 16)};
    }
    constexpr int red() const { return static_cast<int>(value & 0xFFu); }
    constexpr int green() const { return static_cast<int>((value >> 8) & 0xFFu); }
    constexpr int blue() const { return static_cast<int>((value >> 16) & 0xFFu); }
    constexpr bool isSystemColour() const { return (value & 0x80000000u) != 0; }

    // The colour as Qt draws it: RGB values as they are, system colours
    // through the application palette (button text for 18, window for 5, ...).
    QColor toQColor() const;
    static Colour FromQColor(const QColor& colour);

    friend constexpr bool operator==(Colour, Colour) = default;
};

// A font description as a control persists it (the host's font object):
// family, size in points, style flags, weight and character set.
struct StdFont {
    QString family;
    double pointSize = 0.0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    std::int16_t weight = 400; // 100..900; 700 is bold
    std::int16_t charset = 0;  // 0 Western, 134 GB2312, 136 Big5, ...

    QFont toQFont() const;
    static StdFont FromQFont(const QFont& font);

    friend bool operator==(const StdFont&, const StdFont&) = default;
};

// The kinds of value a bag holds. The numbers are the kind tags of the byte
// form; they never change.
enum class PropertyKind : std::uint8_t {
    Text = 1,    // QString
    Int32 = 2,   // std::int32_t
    Int16 = 3,   // std::int16_t
    Boolean = 4, // bool
    Colour = 5,  // Colour
    Font = 6,    // StdFont
    Picture = 7, // QImage, stored losslessly as PNG
};

// "text", "int32", "int16", "boolean", "colour", "font", "picture".
const char* PropertyKindName(PropertyKind kind);

// One stored value; the variant's index order matches nothing on disk.
using PropertyValue =
    std::variant<QString, std::int32_t, std::int16_t, bool, Colour, StdFont, QImage>;

PropertyKind KindOf(const PropertyValue& value);

// Limits that the byte reader enforces, so that no input, however crafted,
// makes it allocate without bound. Input beyond them is refused as a whole.
struct PropertyBagLimits {
    static constexpr qsizetype kMaxContents = 16 * 1024 * 1024; // bytes of one bag
    static constexpr std::uint32_t kMaxEntries = 4096;
    static constexpr qsizetype kMaxNameChars = 255;
    static constexpr qsizetype kMaxTextChars = 65535; // text values, font families
    static constexpr qsizetype kMaxPictureBytes = 8 * 1024 * 1024;
    static constexpr int kMaxPictureSide = 4096;                   // pixels, width and height each
    static constexpr qsizetype kMaxTotalPixels = 16 * 1024 * 1024; // all pictures of a bag
};

class PropertyBag {
public:
    struct Entry {
        QString name; // as written
        PropertyValue value;
    };

    PropertyBag() = default;

    // --- reads: the stored value, or def when the name is absent or its value
    // is of another kind (see the integer rule at the top of this file).
    QString ReadProperty(const QString& name, const QString& def) const;
    QString ReadProperty(const QString& name, const char* def) const;
    std::int32_t ReadProperty(const QString& name, std::int32_t def) const;
    std::int16_t ReadProperty(const QString& name, std::int16_t def) const;
    bool ReadProperty(const QString& name, bool def) const;
    Colour ReadProperty(const QString& name, Colour def) const;
    StdFont ReadProperty(const QString& name, const StdFont& def) const;
    QImage ReadProperty(const QString& name, const QImage& def) const;

    // --- writes with a default: a value equal to def is not stored, and a
    // stored value of that name (any letter case, any kind) is removed; any
    // other value replaces what the name held, taking the name's new spelling.
    void WriteProperty(const QString& name, const QString& value, const QString& def);
    void WriteProperty(const QString& name, const char* value, const char* def);
    void WriteProperty(const QString& name, std::int32_t value, std::int32_t def);
    void WriteProperty(const QString& name, std::int16_t value, std::int16_t def);
    void WriteProperty(const QString& name, bool value, bool def);
    void WriteProperty(const QString& name, Colour value, Colour def);
    void WriteProperty(const QString& name, const StdFont& value, const StdFont& def);
    void WriteProperty(const QString& name, const QImage& value, const QImage& def);

    // Stores a value unconditionally (tools that build skins use this).
    void SetValue(const QString& name, PropertyValue value);

    // --- inspection
    bool contains(const QString& name) const;
    std::optional<PropertyKind> kind(const QString& name) const;
    const PropertyValue* value(const QString& name) const; // nullptr when absent
    bool remove(const QString& name);
    void clear() { m_Entries.clear(); }
    bool isEmpty() const { return m_Entries.empty(); }
    std::size_t size() const { return m_Entries.size(); }
    // Entries in the order they were first stored.
    const std::vector<Entry>& entries() const { return m_Entries; }
    QStringList names() const;

    // --- byte form (property_bag_codec.cpp)
    // zlib level for the PNG bytes of pictures: -1 zlib's default, 0 (stored,
    // no compression) to 9. Only the writer looks at it; any level reads back.
    void setPictureCompression(int level) { m_PictureCompression = level; }
    int pictureCompression() const { return m_PictureCompression; }

    // The bag as bytes (docs/skin-format.md). A picture that cannot be encoded
    // makes the result empty; contents() of an empty bag is never empty.
    QByteArray contents() const;

    // Replaces the bag with the set held in bytes. Bytes that are not a whole,
    // valid bag (truncated, trailing bytes, unknown kind, limits exceeded,
    // undecodable picture) leave the bag empty and give false.
    bool setContents(const QByteArray& bytes);
    static std::optional<PropertyBag> FromContents(const QByteArray& bytes);

    friend bool operator==(const PropertyBag& a, const PropertyBag& b);

private:
    const Entry* find(const QString& name) const;
    Entry* find(const QString& name);
    template <typename T> std::optional<T> readAs(const QString& name) const;

    std::vector<Entry> m_Entries;
    int m_PictureCompression = -1;
};

// The record of "marking a property changed" (PropertyChanged of a user
// control): the host is told that a persisted property changed so that a
// designer saves it. Controls own one and call PropertyChanged(name); tests
// read what was marked, and a host may listen.
class PropertyChangeLog {
public:
    void PropertyChanged(const QString& name) {
        m_Marked.append(name);
        if (m_Listener) {
            m_Listener(name);
        }
    }
    // Every name marked, in order, repeats included.
    const QStringList& marked() const { return m_Marked; }
    bool wasMarked(const QString& name) const {
        return m_Marked.contains(name, Qt::CaseInsensitive);
    }
    void clear() { m_Marked.clear(); }
    void setListener(std::function<void(const QString&)> listener) {
        m_Listener = std::move(listener);
    }

private:
    QStringList m_Marked;
    std::function<void(const QString&)> m_Listener;
};

} // namespace varnel::formats

namespace varnel {
using formats::Colour;
using formats::PropertyBag;
using formats::PropertyChangeLog;
using formats::PropertyKind;
using formats::PropertyValue;
using formats::StdFont;
} // namespace varnel
