#include "skin/skin_store_cache.h"

#include "platform/os/file_query.h"
#include "skin/skin_file.h"

#include <QCoreApplication>

namespace varnel {

namespace {

// Found among the application object's children by this name.
constexpr const char* kObjectName = "varnel-skin-store-cache";

// Stores kept at most; a program uses one or two skin files, so this only
// bounds a caller that keeps naming new ones.
constexpr std::size_t kMaxStores = 16;

} // namespace

SkinStoreCache::SkinStoreCache(QObject* parent) : QObject(parent) {
    setObjectName(QString::fromLatin1(kObjectName));
}

SkinStoreCache* SkinStoreCache::Shared() {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return nullptr;
    }
    auto* cache = app->findChild<SkinStoreCache*>(QString::fromLatin1(kObjectName),
                                                  Qt::FindDirectChildrenOnly);
    return cache != nullptr ? cache : new SkinStoreCache(app);
}

SkinStoreCache::Identity SkinStoreCache::IdentityOf(const std::filesystem::path& path) {
    const std::optional<platform::EntryInfo> entry = platform::QueryEntry(path);
    if (!entry || !entry->regularFile) {
        return {};
    }
    return {true,          entry->size, entry->modified, entry->modifiedNanoseconds,
            entry->device, entry->inode};
}

std::shared_ptr<const PropertyBag> SkinStoreCache::Open(const std::filesystem::path& path) {
    const Identity identity = IdentityOf(path);
    if (auto found = m_Stores.find(path); found != m_Stores.end()) {
        if (found->second.identity == identity) {
            return found->second.store;
        }
        m_Stores.erase(found);
    }
    // The identity is taken before the read: a file replaced during the read
    // shows a new identity at the next lookup and is decoded again then.
    std::shared_ptr<const PropertyBag> store = DecodeSkinStore(path);
    ++m_Decodes;
    if (!m_Caching) {
        return store;
    }
    if (m_Stores.size() >= kMaxStores) {
        m_Stores.clear();
    }
    m_Stores[path] = Cached{identity, store};
    return store;
}

std::shared_ptr<const PropertyBag> DecodeSkinStore(const std::filesystem::path& path) {
    if (path.empty()) {
        return std::make_shared<const PropertyBag>();
    }
    std::optional<PropertyBag> store = ReadSkinFile(path);
    return std::make_shared<const PropertyBag>(store ? std::move(*store) : PropertyBag());
}

} // namespace varnel
