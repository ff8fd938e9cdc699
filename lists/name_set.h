#pragma once

// The names a set of checksum lists records, held compactly enough for lists
// of millions of entries: the names' bytes in blocks of their own (no
// allocation per name), and an open-addressed table of 8-byte references to
// them. About the name's length plus 20 to 40 bytes a name, with no peak of
// copying when it grows.
//
// Also the keys names are compared by: a name as the lists write it
// ("./a/b", "a//b", "/abs/a/b") and a path the folder walk composes name the
// same file when their keys are equal.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The absolute, lexically normal form of name for comparison: relative names
// are taken relative to folder (itself absolute and normal), "." components
// and doubled separators are dropped and ".." takes back the component
// before it (by text: links are not followed). A trailing separator is
// dropped.
std::string NameKey(std::string_view folder, std::string_view name);

// Whether the folder's key holds key: key names the folder itself or a file
// below it.
bool KeyHolds(std::string_view folder, std::string_view key);

// key relative to the folder from (both keys): "." for the folder itself,
// "../" for each step up to the folder they share.
std::string RelativeKey(std::string_view from, std::string_view key);

// Names' bytes appended one after another, each readable by the reference
// Add gave it. Blocks are never moved, so growth copies nothing.
class NameStore {
public:
    using Ref = std::uint64_t;

    Ref Add(std::string_view name);
    std::string_view Get(Ref ref) const;
    std::size_t bytes() const; // bytes of the blocks held

private:
    std::vector<std::unique_ptr<char[]>> m_Blocks;
    std::vector<std::size_t> m_BlockSizes;
    std::size_t m_Used = 0; // bytes used of the last block
};

class NameSet {
public:
    // Adds name; false (and nothing added) when it is there already.
    bool Add(std::string_view name);
    bool Contains(std::string_view name) const;
    std::size_t size() const { return m_Count; }
    // Bytes held for the names and the table.
    std::size_t bytes() const {
        return m_Store.bytes() + m_Slots.capacity() * sizeof(std::uint64_t);
    }

private:
    // A slot: 0 empty, else the hash's top bits over the store's reference.
    static constexpr int kRefBits = 44;
    static std::uint64_t Hash(std::string_view name);
    std::size_t Find(std::string_view name, std::uint64_t hash) const;
    void Grow();

    NameStore m_Store;
    std::vector<std::uint64_t> m_Slots;
    std::size_t m_Count = 0;
};

} // namespace varnel
