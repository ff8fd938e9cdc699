#include "platform/os/elf_image.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <type_traits>

namespace varnel::platform {

namespace {

// The record types of this process's own class: the loader takes no other.
#if UINTPTR_MAX > 0xFFFFFFFFu
using Ehdr = Elf64_Ehdr;
using Phdr = Elf64_Phdr;
using Shdr = Elf64_Shdr;
constexpr unsigned char kClass = ELFCLASS64;
#else
using Ehdr = Elf32_Ehdr;
using Phdr = Elf32_Phdr;
using Shdr = Elf32_Shdr;
constexpr unsigned char kClass = ELFCLASS32;
#endif
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr unsigned char kByteOrder = ELFDATA2LSB;
#else
constexpr unsigned char kByteOrder = ELFDATA2MSB;
#endif

// Records are read in batches of this many, so a hostile count costs reads,
// never memory.
constexpr std::size_t kBatch = 64;

// True when [offset, offset + length) lies inside a file of size bytes,
// without overflow.
bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

// Calls check(record) for count records of type T from offset; false as soon
// as check says false or a record cannot be read whole. The caller has made
// sure the table lies inside the file.
template <typename T, typename Check>
bool EachRecord(const ReadOnlyFile& file, std::uint64_t offset, std::uint64_t count, Check check) {
    static_assert(std::is_trivially_copyable_v<T>);
    std::array<std::uint8_t, sizeof(T) * kBatch> bytes{};
    for (std::uint64_t done = 0; done < count;) {
        const std::size_t batch =
            static_cast<std::size_t>(std::min<std::uint64_t>(kBatch, count - done));
        const std::size_t want = batch * sizeof(T);
        if (file.ReadAt(offset + done * sizeof(T), std::span(bytes).first(want)) != want) {
            return false;
        }
        for (std::size_t i = 0; i < batch; ++i) {
            T record;
            std::memcpy(&record, bytes.data() + i * sizeof(T), sizeof(T));
            if (!check(record)) {
                return false;
            }
        }
        done += batch;
    }
    return true;
}

// Reads the one record of type T at offset.
template <typename T> bool ReadRecord(const ReadOnlyFile& file, std::uint64_t offset, T& record) {
    return EachRecord<T>(file, offset, 1, [&record](const T& read) {
        record = read;
        return true;
    });
}

bool HeaderIsSane(const Ehdr& header) {
    return std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
           header.e_ident[EI_CLASS] == kClass && header.e_ident[EI_DATA] == kByteOrder &&
           header.e_ident[EI_VERSION] == EV_CURRENT && header.e_version == EV_CURRENT &&
           header.e_type == ET_DYN && header.e_ehsize >= sizeof(Ehdr) &&
           header.e_phentsize == sizeof(Phdr) && header.e_phnum > 0 && header.e_phnum < PN_XNUM;
}

bool SegmentsInside(const ReadOnlyFile& file, const Ehdr& header, std::uint64_t size) {
    if (!Inside(header.e_phoff, std::uint64_t{header.e_phnum} * sizeof(Phdr), size)) {
        return false;
    }
    bool loadable = false;
    const bool inside = EachRecord<Phdr>(file, header.e_phoff, header.e_phnum, [&](const Phdr& p) {
        if (p.p_type == PT_LOAD) {
            loadable = true;
            if (p.p_filesz > p.p_memsz) {
                return false;
            }
        }
        return Inside(p.p_offset, p.p_filesz, size);
    });
    return inside && loadable;
}

bool SectionsInside(const ReadOnlyFile& file, const Ehdr& header, std::uint64_t size) {
    if (header.e_shoff == 0) {
        // No section table at all: the loader needs none.
        return header.e_shnum == 0;
    }
    if (header.e_shentsize != sizeof(Shdr) || !Inside(header.e_shoff, sizeof(Shdr), size)) {
        return false;
    }
    std::uint64_t count = header.e_shnum;
    if (count == 0) {
        // More sections than the header can count: the first entry holds
        // their number.
        Shdr first;
        if (!ReadRecord(file, header.e_shoff, first)) {
            return false;
        }
        count = first.sh_size;
    }
    if (count > size / sizeof(Shdr) || !Inside(header.e_shoff, count * sizeof(Shdr), size)) {
        return false;
    }
    return EachRecord<Shdr>(file, header.e_shoff, count, [&](const Shdr& s) {
        return s.sh_type == SHT_NOBITS || Inside(s.sh_offset, s.sh_size, size);
    });
}

} // namespace

bool IsWholeSharedObject(const ReadOnlyFile& file) noexcept {
    try {
        const std::uint64_t size = file.Size();
        Ehdr header;
        if (size < sizeof(Ehdr) || !ReadRecord(file, 0, header)) {
            return false;
        }
        return HeaderIsSane(header) && SegmentsInside(file, header, size) &&
               SectionsInside(file, header, size);
    } catch (...) {
        // A read that failed: the file is not known to be whole.
        return false;
    }
}

} // namespace varnel::platform
