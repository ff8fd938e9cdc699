#pragma once

// SkinStoreCache: the decoded skin stores of the process, one per skin file,
// shared by every skin control. A store is decoded again only when the file's
// identity changes (its size, modification time, device or inode), so a skin
// replaced on disk shows at the next repaint while an unchanged one is never
// decoded twice. Each lookup still asks the file system for the identity.
//
// The cache belongs to the application object (a child of it, made on first
// use) and dies with it; without an application object nothing is cached.

#include "platform/formats/property_bag.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>

namespace varnel {

class SkinStoreCache : public QObject {
public:
    // The cache of the running application, or nullptr when there is none.
    static SkinStoreCache* Shared();

    // The store of the skin file at path: the cached one while the file is
    // unchanged, else the file read and decoded afresh (the set is empty when
    // the file is missing, unreadable or not a valid store). Never null.
    std::shared_ptr<const PropertyBag> Open(const std::filesystem::path& path);

    // How many times a skin file has been read and decoded through the cache.
    std::uint64_t decodeCount() const { return m_Decodes; }

    // Forgets every store (the next lookup of each path decodes).
    void clear() { m_Stores.clear(); }

    // With caching off every lookup decodes the file again (for measuring
    // what the cache saves). On by default.
    void setCaching(bool on) {
        m_Caching = on;
        clear();
    }

private:
    explicit SkinStoreCache(QObject* parent);

    // What tells one version of a file from another.
    struct Identity {
        bool present = false;
        std::uint64_t size = 0;
        std::chrono::sys_seconds modified{};
        std::uint32_t modifiedNanoseconds = 0;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        friend bool operator==(const Identity&, const Identity&) = default;
    };
    struct Cached {
        Identity identity;
        std::shared_ptr<const PropertyBag> store;
    };

    static Identity IdentityOf(const std::filesystem::path& path);

    std::map<std::filesystem::path, Cached> m_Stores;
    std::uint64_t m_Decodes = 0;
    bool m_Caching = true;
};

// Reads and decodes the skin file at path without the cache: an empty set
// when the path is empty or names no valid store.
std::shared_ptr<const PropertyBag> DecodeSkinStore(const std::filesystem::path& path);

} // namespace varnel
