#include "skin/skin_library.h"

#include "platform/os/file_query.h"
#include "skin/skin_file.h"

#include <QFile>
#include <QImage>

namespace varnel {

bool SizingEnabled = false;

bool IsSkinUsable(const std::filesystem::path& path) {
    if (path.empty() || platform::IsHiddenName(path)) {
        return false;
    }
    const std::optional<platform::EntryInfo> entry = platform::QueryEntry(path);
    return entry && entry->regularFile && !entry->hidden && !entry->system &&
           entry->size >= kSkinMinimumBytes;
}

bool IsSkinUsable(const QString& path) {
    return IsSkinUsable(SkinPathFromText(path));
}

PropertyBag OpenSkinStore(const std::filesystem::path& path) {
    if (path.empty()) {
        return {};
    }
    std::optional<PropertyBag> store = ReadSkinFile(path);
    return store ? std::move(*store) : PropertyBag();
}

PropertyBag OpenSkinStore(const QString& path) {
    return OpenSkinStore(SkinPathFromText(path));
}

std::optional<std::int16_t> SkinInteger(const PropertyBag& store, const QString& name) {
    // Two different defaults tell an absent or mistyped entry from a stored
    // value equal to one of them.
    const std::int16_t a = store.ReadProperty(name, std::int16_t{0});
    const std::int16_t b = store.ReadProperty(name, std::int16_t{1});
    if (a != b) {
        return std::nullopt;
    }
    return a;
}

std::optional<formats::Colour> SkinColour(const PropertyBag& store, const QString& name) {
    const formats::Colour a = store.ReadProperty(name, formats::Colour{0});
    const formats::Colour b = store.ReadProperty(name, formats::Colour{1});
    if (!(a == b)) {
        return std::nullopt;
    }
    return a;
}

std::filesystem::path SkinPathFromText(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    const QByteArray native = QFile::encodeName(path);
    return std::filesystem::path(
        std::string(native.constData(), static_cast<std::size_t>(native.size())));
}

} // namespace varnel
