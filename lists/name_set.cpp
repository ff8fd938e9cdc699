#include "lists/name_set.h"

#include <algorithm>
#include <cstring>

namespace varnel {

namespace {

constexpr int kOffsetBits = 20;
constexpr std::size_t kBlockSize = std::size_t{1} << kOffsetBits;

// A name's length before its bytes: seven bits a byte, the high bit set on
// every byte but the last.
void PutLength(char* at, std::size_t length, std::size_t& used) {
    while (length >= 0x80) {
        at[used++] = static_cast<char>((length & 0x7F) | 0x80);
        length >>= 7;
    }
    at[used++] = static_cast<char>(length);
}

std::size_t LengthBytes(std::size_t length) {
    std::size_t bytes = 1;
    while (length >= 0x80) {
        length >>= 7;
        ++bytes;
    }
    return bytes;
}

// On Windows a backslash separates a path's parts as a slash does, and a
// name that starts with a drive ("C:") or a separator is absolute; keys use
// slashes alone, so that a list's names match the files whichever separator
// either has.
#ifdef _WIN32
constexpr std::string_view kSeparators = "/\\";
bool IsAbsoluteName(std::string_view name) {
    return name.starts_with('/') || name.starts_with('\\') ||
           (name.size() >= 2 && name[1] == ':' &&
            ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')));
}
#else
constexpr std::string_view kSeparators = "/";
bool IsAbsoluteName(std::string_view name) {
    return name.starts_with('/');
}
#endif

} // namespace

std::string NameKey(std::string_view folder, std::string_view name) {
    std::string key;
    if (!IsAbsoluteName(name)) {
        key = folder == "/" ? std::string_view() : folder;
    }
    key.reserve(key.size() + name.size() + 1);
    std::size_t at = 0;
    while (at <= name.size()) {
        std::size_t end = name.find_first_of(kSeparators, at);
        if (end == std::string_view::npos) {
            end = name.size();
        }
        const std::string_view part = name.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            const std::size_t slash = key.rfind('/');
            key.erase(slash == std::string::npos ? 0 : slash);
            continue;
        }
        key += '/';
        key += part;
    }
    if (key.empty()) {
        key = "/";
    }
    return key;
}

bool KeyHolds(std::string_view folder, std::string_view key) {
    return key == folder || folder == "/" ||
           (key.starts_with(folder) && key.size() > folder.size() && key[folder.size()] == '/');
}

std::string RelativeKey(std::string_view from, std::string_view key) {
    std::string ups;
    std::string_view base = from;
    while (!KeyHolds(base, key)) {
        base = base.substr(0, std::max<std::size_t>(base.rfind('/'), 1));
        ups += "../";
    }
    const std::string_view rest =
        key.substr(std::min(key.size(), base == "/" ? std::size_t{1} : base.size() + 1));
    if (rest.empty()) {
        return ups.empty() ? std::string(".") : ups.substr(0, ups.size() - 1);
    }
    return ups + std::string(rest);
}

NameStore::Ref NameStore::Add(std::string_view name) {
    const std::size_t needed = LengthBytes(name.size()) + name.size();
    if (m_Blocks.empty() || m_Used + needed > m_BlockSizes.back()) {
        // A name longer than a block gets a block of its own, which nothing
        // follows.
        const std::size_t size = std::max(kBlockSize, needed);
        m_Blocks.push_back(std::make_unique_for_overwrite<char[]>(size));
        m_BlockSizes.push_back(size);
        m_Used = 0;
    }
    const Ref ref = (static_cast<Ref>(m_Blocks.size() - 1) << kOffsetBits) | m_Used;
    char* block = m_Blocks.back().get();
    PutLength(block, name.size(), m_Used);
    std::memcpy(block + m_Used, name.data(), name.size());
    m_Used += name.size();
    if (m_BlockSizes.back() > kBlockSize) {
        m_Used = m_BlockSizes.back();
    }
    return ref;
}

std::string_view NameStore::Get(Ref ref) const {
    const char* at = m_Blocks[ref >> kOffsetBits].get() + (ref & (kBlockSize - 1));
    std::size_t length = 0;
    int shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*at++);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            break;
        }
        shift += 7;
    }
    return {at, length};
}

std::size_t NameStore::bytes() const {
    std::size_t total = 0;
    for (const std::size_t size : m_BlockSizes) {
        total += size;
    }
    return total;
}

std::uint64_t NameSet::Hash(std::string_view name) {
    // FNV-1a, then mixed so that both the table's index (low bits) and the
    // slot's tag (high bits) take from every byte.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    return hash;
}

// The slot holding name, or the empty slot where it would go.
std::size_t NameSet::Find(std::string_view name, std::uint64_t hash) const {
    const std::size_t mask = m_Slots.size() - 1;
    const std::uint64_t tag = hash >> kRefBits;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = m_Slots[i];
        if (slot == 0) {
            return i;
        }
        if ((slot >> kRefBits) == tag) {
            const NameStore::Ref ref = (slot & ((std::uint64_t{1} << kRefBits) - 1)) - 1;
            if (m_Store.Get(ref) == name) {
                return i;
            }
        }
    }
}

void NameSet::Grow() {
    std::vector<std::uint64_t> old;
    old.swap(m_Slots);
    m_Slots.assign(old.empty() ? 1024 : old.size() * 2, 0);
    const std::size_t mask = m_Slots.size() - 1;
    for (const std::uint64_t slot : old) {
        if (slot == 0) {
            continue;
        }
        const NameStore::Ref ref = (slot & ((std::uint64_t{1} << kRefBits) - 1)) - 1;
        std::size_t i = Hash(m_Store.Get(ref)) & mask;
        while (m_Slots[i] != 0) {
            i = (i + 1) & mask;
        }
        m_Slots[i] = slot;
    }
}

bool NameSet::Add(std::string_view name) {
    // At most two thirds full, so a search ends soon.
    if ((m_Count + 1) * 3 > m_Slots.size() * 2) {
        Grow();
    }
    const std::uint64_t hash = Hash(name);
    const std::size_t i = Find(name, hash);
    if (m_Slots[i] != 0) {
        return false;
    }
    const NameStore::Ref ref = m_Store.Add(name);
    m_Slots[i] = ((hash >> kRefBits) << kRefBits) | (ref + 1);
    ++m_Count;
    return true;
}

bool NameSet::Contains(std::string_view name) const {
    if (m_Slots.empty()) {
        return false;
    }
    return m_Slots[Find(name, Hash(name))] != 0;
}

} // namespace varnel
