// The whole-library check before loading: the built conversion library, cut
// short at many points or with one header field broken, is refused (the
// loader is never asked); as built, or with bytes appended, it loads.

#include "platform/os/elf_image.h"
#include "platform/os/shared_library.h"
#include "tests/digest/digest_test_support.h"

#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <functional>

namespace varnel::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BuiltLibrary() {
    std::ifstream in(VARNEL_GB2BIG5_LIBRARY, std::ios::binary);
    Bytes bytes;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        bytes.insert(bytes.end(), chunk, chunk + in.gcount());
    }
    return bytes;
}

template <typename T> T Get(const Bytes& bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}
template <typename T> void Put(Bytes& bytes, std::size_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

// Offset of the first program header of the given type, and of section i.
std::size_t SegmentOf(const Bytes& bytes, std::uint32_t type) {
    const auto header = Get<Elf64_Ehdr>(bytes, 0);
    for (std::size_t i = 0; i < header.e_phnum; ++i) {
        const std::size_t at = header.e_phoff + i * sizeof(Elf64_Phdr);
        if (Get<Elf64_Phdr>(bytes, at).p_type == type) {
            return at;
        }
    }
    throw std::runtime_error("no such segment");
}
std::size_t SectionAt(const Bytes& bytes, std::size_t index) {
    return Get<Elf64_Ehdr>(bytes, 0).e_shoff + index * sizeof(Elf64_Shdr);
}

struct Case {
    std::string what;
    std::function<void(Bytes&)> damage;
    bool whole;
};

TEST(WholeSharedObject, DamagedLibrariesAreRefusedAndWholeOnesLoad) {
    if (sizeof(void*) != 8) {
        GTEST_SKIP() << "the damage below is made to a 64-bit library";
    }
    const Bytes built = BuiltLibrary();
    const std::uint64_t size = built.size();
    ASSERT_GT(size, 100000u);
    std::vector<Case> cases = {
        {"as built", [](Bytes&) {}, true},
        {"with bytes appended", [](Bytes& b) { b.resize(b.size() + 4096, 0xA5); }, true},
        {"no ELF magic", [](Bytes& b) { b[1] = 'e'; }, false},
        {"the other class", [](Bytes& b) { b[EI_CLASS] = ELFCLASS32; }, false},
        {"an executable",
         [](Bytes& b) { Put<Elf64_Half>(b, offsetof(Elf64_Ehdr, e_type), ET_EXEC); }, false},
        {"program headers past the end",
         [size](Bytes& b) { Put<Elf64_Off>(b, offsetof(Elf64_Ehdr, e_phoff), size - 8); }, false},
        {"a count of program headers past the end",
         [](Bytes& b) { Put<Elf64_Half>(b, offsetof(Elf64_Ehdr, e_phnum), 0xFFFE); }, false},
        {"a segment whose end wraps around",
         [](Bytes& b) {
             Put<Elf64_Off>(b, SegmentOf(b, PT_LOAD) + offsetof(Elf64_Phdr, p_offset),
                            ~Elf64_Off{0} - 16);
         },
         false},
        {"a segment longer than the file",
         [size](Bytes& b) {
             const std::size_t at = SegmentOf(b, PT_LOAD);
             const std::uint64_t rest = size - Get<Elf64_Phdr>(b, at).p_offset;
             Put<Elf64_Xword>(b, at + offsetof(Elf64_Phdr, p_filesz), rest + 1);
             Put<Elf64_Xword>(b, at + offsetof(Elf64_Phdr, p_memsz), rest + 1);
         },
         false},
        {"section headers past the end",
         [size](Bytes& b) { Put<Elf64_Off>(b, offsetof(Elf64_Ehdr, e_shoff), size - 8); }, false},
        {"a section table that says no sections but holds a huge count",
         [](Bytes& b) {
             Put<Elf64_Half>(b, offsetof(Elf64_Ehdr, e_shnum), 0);
             Put<Elf64_Xword>(b, SectionAt(b, 0) + offsetof(Elf64_Shdr, sh_size),
                              ~Elf64_Xword{0} / 8);
         },
         false},
        {"a section past the end",
         [size](Bytes& b) {
             Put<Elf64_Xword>(b, SectionAt(b, 1) + offsetof(Elf64_Shdr, sh_size), size);
         },
         false},
    };
    // Cut short: in the headers, in every segment, in the tables at the end.
    std::vector<std::uint64_t> cuts = {0,    1,    63,   64,   65,     800,
                                       1500, 4095, 4096, 4097, 850000, size - 1};
    for (std::uint64_t k = 1; k < 40; ++k) {
        cuts.push_back(size * k / 40);
    }
    for (const std::uint64_t cut : cuts) {
        cases.push_back({"cut to " + std::to_string(cut) + " bytes",
                         [cut](Bytes& b) { b.resize(static_cast<std::size_t>(cut)); }, false});
    }

    test::ScratchDir dir;
    int index = 0;
    for (const Case& c : cases) {
        Bytes bytes = built;
        c.damage(bytes);
        // A new file each time: the loader knows libraries by file identity.
        // Without the check, the loader would map a cut library past its end
        // and this process would die of a bus error.
        const auto path = dir / ("case-" + std::to_string(index++) + ".so");
        test::WriteFile(path, bytes);
        EXPECT_EQ(IsWholeSharedObject(ReadOnlyFile::Open(path)), c.whole) << c.what;
        EXPECT_EQ(SharedLibrary::Load(path).has_value(), c.whole) << c.what;
    }
}

} // namespace
} // namespace varnel::platform
