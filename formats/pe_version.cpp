#include "formats/pe_version.h"

#include "platform/os/file.h"
#include "platform/os/file_query.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace varnel::formats {

namespace {

// Layout of the structures on the way to the version record (all little-endian).
constexpr std::uint64_t kDosHeaderSize = 64;
constexpr std::uint64_t kNtOffsetField = 0x3C;   // e_lfanew
constexpr std::uint64_t kNtHeadersSize = 4 + 20; // "PE\0\0" + COFF file header
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint64_t kDataDirectorySize = 8;
constexpr std::uint64_t kResourceDirectorySize = 16;
constexpr std::uint64_t kResourceEntrySize = 8;
constexpr std::uint64_t kResourceDataEntrySize = 16;
constexpr std::uint32_t kHighBit = 0x80000000U;
constexpr std::uint32_t kRtVersion = 16;

// VS_VERSIONINFO: wLength, wValueLength, wType, szKey L"VS_VERSION_INFO",
// padding to 32 bits, then VS_FIXEDFILEINFO (52 bytes).
constexpr std::uint64_t kVersionKeyOffset = 6;
constexpr std::array<char, 16> kVersionKey = {'V', 'S', '_', 'V', 'E', 'R', 'S', 'I',
                                              'O', 'N', '_', 'I', 'N', 'F', 'O', '\0'};
constexpr std::uint64_t kFixedInfoOffset =
    (kVersionKeyOffset + 2 * kVersionKey.size() + 3) & ~std::uint64_t{3};
constexpr std::uint64_t kFixedInfoSize = 52;
constexpr std::uint64_t kVersionPrefixSize = kFixedInfoOffset + kFixedInfoSize;
constexpr std::uint32_t kFixedInfoSignature = 0xFEEF04BD;

// Limits that keep a hostile file from costing more than a well-formed one.
// A resource directory may declare up to 131070 entries; the version type is
// looked for among the first kMaxEntriesScanned, read kEntryBatch at a time.
constexpr std::uint32_t kMaxEntriesScanned = 4096;
constexpr std::size_t kEntryBatch = 64;
constexpr std::size_t kSectionBatch = 32;

std::uint16_t Le16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t Le32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// Where the bytes come from: a memory buffer or an open file. A read either
// fills its whole buffer from inside the source or fails.
class ByteSource {
public:
    explicit ByteSource(std::uint64_t size) : m_Size(size) {}
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;
    virtual ~ByteSource() = default;

    std::uint64_t size() const { return m_Size; }

    bool Read(std::uint64_t offset, std::span<std::uint8_t> out) const {
        if (offset > m_Size || out.size() > m_Size - offset) {
            return false;
        }
        return ReadInside(offset, out);
    }

private:
    virtual bool ReadInside(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;

    std::uint64_t m_Size;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes)
        : ByteSource(bytes.size()), m_Bytes(bytes) {}

private:
    bool ReadInside(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (!out.empty()) {
            std::memcpy(out.data(), m_Bytes.data() + offset, out.size());
        }
        return true;
    }

    std::span<const std::uint8_t> m_Bytes;
};

// Reads at the wanted offsets only, so a multi-gigabyte file costs a handful
// of small reads. A file that shrinks under us gives a short read, which
// fails the read.
class FileSource final : public ByteSource {
public:
    explicit FileSource(const platform::ReadOnlyFile& file)
        : ByteSource(file.Size()), m_File(file) {}

private:
    bool ReadInside(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        try {
            return m_File.ReadAt(offset, out) == out.size();
        } catch (const platform::FileError&) {
            return false;
        }
    }

    const platform::ReadOnlyFile& m_File;
};

// The part of a section that the file holds: RVAs [virtualAddress,
// virtualAddress + rawSize) are found at file offsets from rawPointer on.
struct Section {
    std::uint32_t virtualAddress = 0;
    std::uint32_t rawPointer = 0;
    std::uint32_t rawSize = 0;
};

struct ResourceEntry {
    std::uint32_t name = 0;   // id, or a name offset with the high bit set
    std::uint32_t offset = 0; // data entry, or a subdirectory with the high bit set
};

class PeImage {
public:
    explicit PeImage(const ByteSource& source) : m_Source(source) {}

    std::string FileVersion();

private:
    bool ReadHeaders();
    std::optional<std::uint64_t> MapRva(std::uint64_t rva, std::uint64_t length) const;
    template <typename Match>
    std::optional<ResourceEntry> FindEntry(std::uint32_t directoryOffset, Match match);

    const ByteSource& m_Source;
    std::vector<Section> m_Sections;
    std::uint32_t m_ResourceRva = 0;
    std::vector<std::uint32_t> m_Visited;
};

// DOS header, PE signature, COFF header, optional header (PE32 or PE32+) up to
// the resource data directory, and the whole section table.
bool PeImage::ReadHeaders() {
    std::array<std::uint8_t, kDosHeaderSize> dos{};
    if (!m_Source.Read(0, dos) || dos[0] != 'M' || dos[1] != 'Z') {
        return false;
    }
    const std::uint64_t ntOffset = Le32(dos, kNtOffsetField);

    std::array<std::uint8_t, kNtHeadersSize> nt{};
    if (!m_Source.Read(ntOffset, nt) || nt[0] != 'P' || nt[1] != 'E' || nt[2] != 0 || nt[3] != 0) {
        return false;
    }
    const std::uint16_t sectionCount = Le16(nt, 4 + 2);
    const std::uint16_t optionalSize = Le16(nt, 4 + 16);
    const std::uint64_t optionalOffset = ntOffset + kNtHeadersSize;

    std::array<std::uint8_t, 2> magic{};
    if (optionalSize < magic.size() || !m_Source.Read(optionalOffset, magic)) {
        return false;
    }
    std::uint64_t countField = 0;  // NumberOfRvaAndSizes
    std::uint64_t directories = 0; // first data directory
    switch (Le16(magic, 0)) {
    case kMagicPe32:
        countField = 92;
        directories = 96;
        break;
    case kMagicPe32Plus:
        countField = 108;
        directories = 112;
        break;
    default:
        return false;
    }
    const std::uint64_t resourceField = directories + kResourceDirectoryIndex * kDataDirectorySize;
    if (optionalSize < resourceField + kDataDirectorySize) {
        return false;
    }
    std::array<std::uint8_t, 4> count{};
    std::array<std::uint8_t, kDataDirectorySize> resource{};
    if (!m_Source.Read(optionalOffset + countField, count) ||
        Le32(count, 0) <= kResourceDirectoryIndex ||
        !m_Source.Read(optionalOffset + resourceField, resource)) {
        return false;
    }
    m_ResourceRva = Le32(resource, 0);
    if (m_ResourceRva == 0 || sectionCount == 0) {
        return false;
    }

    // At most 65535 headers; each batch is read into a fixed buffer.
    const std::uint64_t tableOffset = optionalOffset + optionalSize;
    m_Sections.reserve(sectionCount);
    std::array<std::uint8_t, kSectionBatch * kSectionHeaderSize> batch{};
    for (std::size_t first = 0; first < sectionCount; first += kSectionBatch) {
        const std::size_t n = std::min<std::size_t>(kSectionBatch, sectionCount - first);
        const std::span<std::uint8_t> headers(batch.data(), n * kSectionHeaderSize);
        if (!m_Source.Read(tableOffset + first * kSectionHeaderSize, headers)) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = i * kSectionHeaderSize;
            m_Sections.push_back(
                Section{Le32(headers, at + 12), Le32(headers, at + 20), Le32(headers, at + 16)});
        }
    }
    return true;
}

// File offset of the RVA range [rva, rva + length) when the whole range lies in
// the file data of one section and inside the file.
std::optional<std::uint64_t> PeImage::MapRva(std::uint64_t rva, std::uint64_t length) const {
    for (const Section& s : m_Sections) {
        if (rva < s.virtualAddress) {
            continue;
        }
        const std::uint64_t into = rva - s.virtualAddress;
        if (into > s.rawSize || length > s.rawSize - into) {
            continue;
        }
        const std::uint64_t offset = std::uint64_t{s.rawPointer} + into;
        if (offset <= m_Source.size() && length <= m_Source.size() - offset) {
            return offset;
        }
    }
    return std::nullopt;
}

// Reads the resource directory at directoryOffset (from the start of the
// resource data) and returns the first of its entries that match accepts.
// The directory with its whole entry array must lie inside the file; a
// directory already seen on this walk means the offsets form a cycle.
template <typename Match>
std::optional<ResourceEntry> PeImage::FindEntry(std::uint32_t directoryOffset, Match match) {
    if (std::find(m_Visited.begin(), m_Visited.end(), directoryOffset) != m_Visited.end()) {
        return std::nullopt;
    }
    m_Visited.push_back(directoryOffset);

    const std::uint64_t rva = std::uint64_t{m_ResourceRva} + directoryOffset;
    const auto headerAt = MapRva(rva, kResourceDirectorySize);
    std::array<std::uint8_t, kResourceDirectorySize> header{};
    if (!headerAt || !m_Source.Read(*headerAt, header)) {
        return std::nullopt;
    }
    const std::uint32_t entryCount = std::uint32_t{Le16(header, 12)} + Le16(header, 14);
    const auto entriesAt =
        MapRva(rva + kResourceDirectorySize, std::uint64_t{entryCount} * kResourceEntrySize);
    if (!entriesAt) {
        return std::nullopt;
    }

    const std::uint32_t scanned = std::min(entryCount, kMaxEntriesScanned);
    std::array<std::uint8_t, kEntryBatch * kResourceEntrySize> batch{};
    for (std::uint32_t first = 0; first < scanned; first += kEntryBatch) {
        const std::size_t n = std::min<std::size_t>(kEntryBatch, scanned - first);
        const std::span<std::uint8_t> entries(batch.data(), n * kResourceEntrySize);
        if (!m_Source.Read(*entriesAt + first * kResourceEntrySize, entries)) {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < n; ++i) {
            const ResourceEntry entry{Le32(entries, i * kResourceEntrySize),
                                      Le32(entries, i * kResourceEntrySize + 4)};
            if (match(entry)) {
                return entry;
            }
        }
    }
    return std::nullopt;
}

// Type RT_VERSION -> its first name -> its first language -> data entry ->
// VS_VERSIONINFO -> VS_FIXEDFILEINFO.
std::string PeImage::FileVersion() {
    if (!ReadHeaders()) {
        return {};
    }
    const auto isSubdirectory = [](const ResourceEntry& e) { return (e.offset & kHighBit) != 0; };
    const auto any = [](const ResourceEntry&) { return true; };

    const auto type = FindEntry(0, [](const ResourceEntry& e) { return e.name == kRtVersion; });
    if (!type || !isSubdirectory(*type)) {
        return {};
    }
    const auto name = FindEntry(type->offset & ~kHighBit, any);
    if (!name || !isSubdirectory(*name)) {
        return {};
    }
    const auto language = FindEntry(name->offset & ~kHighBit, any);
    if (!language || isSubdirectory(*language)) {
        return {};
    }

    const auto dataEntryAt =
        MapRva(std::uint64_t{m_ResourceRva} + language->offset, kResourceDataEntrySize);
    std::array<std::uint8_t, kResourceDataEntrySize> dataEntry{};
    if (!dataEntryAt || !m_Source.Read(*dataEntryAt, dataEntry)) {
        return {};
    }
    const std::uint32_t dataRva = Le32(dataEntry, 0);
    const std::uint32_t dataSize = Le32(dataEntry, 4);

    // The whole resource must be in the file; only its fixed prefix is read,
    // so nothing is allocated by a size taken from the file.
    const auto blockAt = MapRva(dataRva, dataSize);
    std::array<std::uint8_t, kVersionPrefixSize> block{};
    if (dataSize < block.size() || !blockAt || !m_Source.Read(*blockAt, block)) {
        return {};
    }
    const std::uint16_t length = Le16(block, 0);
    const std::uint16_t valueLength = Le16(block, 2);
    if (length < block.size() || length > dataSize || valueLength < kFixedInfoSize) {
        return {};
    }
    for (std::size_t i = 0; i < kVersionKey.size(); ++i) {
        if (Le16(block, kVersionKeyOffset + 2 * i) != static_cast<unsigned char>(kVersionKey[i])) {
            return {};
        }
    }
    if (Le32(block, kFixedInfoOffset) != kFixedInfoSignature) {
        return {};
    }
    const std::uint32_t ms = Le32(block, kFixedInfoOffset + 8);  // dwFileVersionMS
    const std::uint32_t ls = Le32(block, kFixedInfoOffset + 12); // dwFileVersionLS
    return std::to_string(ms >> 16) + '.' + std::to_string(ms & 0xFFFFU) + '.' +
           std::to_string(ls >> 16) + '.' + std::to_string(ls & 0xFFFFU);
}

} // namespace

std::string GetFileVersionFromBytes(std::span<const std::uint8_t> bytes) {
    const MemorySource source(bytes);
    return PeImage(source).FileVersion();
}

std::string GetFileVersion(const std::filesystem::path& path) {
    // Folders, FIFOs, sockets and devices are never opened: opening a FIFO
    // would wait for a writer.
    const auto entry = platform::QueryEntry(path);
    if (!entry || !entry->regularFile) {
        return {};
    }
    // The open judges the opened file itself: an entry replaced since the
    // query by anything but a regular file is refused.
    platform::ReadOnlyFile file;
    try {
        file = platform::ReadOnlyFile::Open(path);
    } catch (const platform::FileError&) {
        return {};
    }
    const FileSource source(file);
    return PeImage(source).FileVersion();
}

} // namespace varnel::formats
