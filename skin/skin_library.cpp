#include "skin/skin_library.h"

#include "platform/os/file_query.h"
#include "skin/skin_bitmap.h"
#include "skin/skin_file.h"
#include "skin/skin_store_cache.h"

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

std::shared_ptr<const PropertyBag> SharedSkinStore(const std::filesystem::path& path) {
    if (path.empty()) {
        return std::make_shared<const PropertyBag>();
    }
    if (SkinStoreCache* cache = SkinStoreCache::Shared(); cache != nullptr) {
        return cache->Open(path);
    }
    return DecodeSkinStore(path);
}

std::shared_ptr<const PropertyBag> SharedSkinStore(const QString& path) {
    return SharedSkinStore(SkinPathFromText(path));
}

PropertyBag OpenSkinStore(const std::filesystem::path& path) {
    return *SharedSkinStore(path);
}

PropertyBag OpenSkinStore(const QString& path) {
    return OpenSkinStore(SkinPathFromText(path));
}

platform::HBITMAP SkinPictureHandle(const PropertyBag& store, const QString& name) {
    return platform::CreateBitmapFromImage(store.ReadProperty(name, QImage()));
}

bool LoadSkinPicture(Skin_clsBitmap& holder, const PropertyBag& store, const QString& name) {
    const platform::HBITMAP handle = SkinPictureHandle(store, name);
    if (handle == 0) {
        return false;
    }
    return holder.LoadResource(handle);
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

std::optional<platform::Colour> SkinColour(const PropertyBag& store, const QString& name) {
    const platform::Colour a = store.ReadProperty(name, platform::Colour{0});
    const platform::Colour b = store.ReadProperty(name, platform::Colour{1});
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
