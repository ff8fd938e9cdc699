// The property bag as values: colours, fonts and kinds, the case-blind
// lookups, the typed reads and the writes with a default. The byte form is in
// property_bag_codec.cpp, the pictures' PNG in picture_codec.cpp.
#include "formats/property_bag.h"

#include <QColor>
#include <QFont>
#include <QPalette>

#include <iterator>
#include <limits>
#include <type_traits>
#include <utility>

namespace varnel::formats {

namespace {

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

} // namespace varnel::formats
