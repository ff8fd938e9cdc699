// Tests of the PE version query. Expected versions of real Windows files come
// from pefile, an independent reader; synthetic images are built here and
// checked against pefile too, so the builder itself is not taken on trust.

#include "formats/pe_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using varnel::formats::GetFileVersion;
using varnel::formats::GetFileVersionFromBytes;

// Debian's python3-pefile is installed for the system interpreter.
constexpr const char* kPython = "/usr/bin/python3";

// Prints, for one PE file, the file version from VS_FIXEDFILEINFO and the
// extents of every structure on the way to it: "need" is the shortest prefix
// of the file that holds all of them.
constexpr const char* kPefileScript = R"PY(
import sys
import pefile
pe = pefile.PE(sys.argv[1], fast_load=True)
pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']])
if not getattr(pe, 'VS_FIXEDFILEINFO', None):
    print('version none')
    sys.exit(0)
v = pe.VS_FIXEDFILEINFO[0]
print('version %d.%d.%d.%d' % (v.FileVersionMS >> 16, v.FileVersionMS & 0xFFFF,
                               v.FileVersionLS >> 16, v.FileVersionLS & 0xFFFF))
marks = []
def extent(start, size):
    marks.append((start, start + size))
def directory(d):
    s = d.struct
    extent(s.get_file_offset(), 16 + 8 * (s.NumberOfNamedEntries + s.NumberOfIdEntries))
nt = pe.DOS_HEADER.e_lfanew
opt = pe.FILE_HEADER.SizeOfOptionalHeader
extent(0, 64)
extent(nt, 24)
extent(nt + 24, opt)
extent(nt + 24 + opt, 40 * pe.FILE_HEADER.NumberOfSections)
root = pe.DIRECTORY_ENTRY_RESOURCE
directory(root)
index = [i for i, e in enumerate(root.entries) if e.id == 16][0]
kind = root.entries[index]
directory(kind.directory)
name = kind.directory.entries[0]
directory(name.directory)
data = name.directory.entries[0].data.struct
extent(data.get_file_offset(), 16)
extent(pe.get_offset_from_rva(data.OffsetToData), data.Size)
print('need', max(e for s, e in marks))
print('marks', ' '.join('%d %d' % m for m in marks))
print('root', root.struct.get_file_offset())
print('versionentry', root.struct.get_file_offset() + 16 + 8 * index)
print('dataentry', data.get_file_offset())
)PY";

struct PefileFacts {
    std::string version; // "none" when pefile finds no fixed file info
    std::uint64_t need = 0;
    std::vector<std::uint64_t> marks;
    std::uint64_t root = 0;
    std::uint64_t versionEntry = 0;
    std::uint64_t dataEntry = 0;
};

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "varnel-pe-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_Path = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(m_Path, ec);
    }
    const fs::path& path() const { return m_Path; }

private:
    fs::path m_Path;
};

void WriteFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool PefileAvailable() {
    static const bool available = [] {
        const std::string command = std::string(kPython) + " -c 'import pefile' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }();
    return available;
}

// Runs the pefile script on path; nothing when the run fails.
std::optional<PefileFacts> AskPefile(const fs::path& path) {
    static TempDir scriptDir;
    const fs::path script = scriptDir.path() / "facts.py";
    if (!fs::exists(script)) {
        std::ofstream(script) << kPefileScript;
    }
    const std::string command =
        std::string(kPython) + " '" + script.string() + "' '" + path.string() + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string output;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), static_cast<int>(buffer.size()), pipe) != nullptr) {
        output += buffer.data();
    }
    if (::pclose(pipe) != 0) {
        ADD_FAILURE() << "pefile failed on " << path << ":\n" << output;
        return std::nullopt;
    }
    PefileFacts facts;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "version") {
            fields >> facts.version;
        } else if (key == "need") {
            fields >> facts.need;
        } else if (key == "marks") {
            std::uint64_t m = 0;
            while (fields >> m) {
                facts.marks.push_back(m);
            }
        } else if (key == "root") {
            fields >> facts.root;
        } else if (key == "versionentry") {
            fields >> facts.versionEntry;
        } else if (key == "dataentry") {
            fields >> facts.dataEntry;
        }
    }
    return facts;
}

void Put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFFU);
    Put16(b, at + 2, v >> 16);
}

std::span<const std::uint8_t> Prefix(const Bytes& b, std::uint64_t length) {
    return std::span<const std::uint8_t>(b).first(static_cast<std::size_t>(length));
}

bool IsDottedVersion(const std::string& s) {
    static const std::regex dotted(R"(\d{1,5}\.\d{1,5}\.\d{1,5}\.\d{1,5})");
    return std::regex_match(s, dotted);
}

// ---------------------------------------------------------------------------
// A small PE image: headers, a .text section and a .rsrc section whose
// resource tree holds one version record (and, if asked, other resources
// around it). The offsets of the fields the tests damage are kept.

struct PeOptions {
    bool pe32plus = false;
    std::uint32_t versionMS = 0x00010002;
    std::uint32_t versionLS = 0x00030004;
    bool otherTypes = false;       // a named type and RT_ICON before RT_VERSION, RT_MANIFEST after
    bool namedVersion = false;     // the version resource has a string name instead of id 1
    std::uint32_t namedFiller = 0; // extra named root entries before everything else
};

struct PeImage {
    Bytes bytes;
    std::size_t ntHeaders = 0;
    std::size_t optionalHeader = 0;
    std::size_t rvaCountField = 0;
    std::size_t resourceDirectoryField = 0;
    std::size_t sectionTable = 0;
    std::size_t resourceSectionHeader = 0;
    std::size_t rootDirectory = 0;
    std::size_t versionRootEntry = 0;
    std::size_t typeDirectory = 0;
    std::size_t nameDirectory = 0;
    std::size_t dataEntry = 0;
    std::size_t versionBlock = 0;
    std::size_t end = 0; // end of the version record, the last byte needed
};

constexpr std::uint32_t kVersionBlockSize = 92;

PeImage BuildPe(const PeOptions& o) {
    PeImage img;
    constexpr std::uint32_t kRsrcFile = 0x400;
    constexpr std::uint32_t kRsrcRva = 0x2000;

    // Resource section layout, offsets from its start.
    const std::uint32_t rootEntries =
        (o.otherTypes ? 3U : 1U) + o.namedFiller + (o.otherTypes ? 1U : 0U);
    const std::uint32_t root = 0;
    const std::uint32_t typeDir = root + 16 + 8 * rootEntries;
    const std::uint32_t nameDir = typeDir + 16 + 8;
    const std::uint32_t dummyType = nameDir + 16 + 8;
    const std::uint32_t dummyLang = dummyType + 16 + 8;
    const std::uint32_t versionData = dummyLang + 16 + 8;
    const std::uint32_t dummyData = versionData + 16;
    const std::uint32_t typeName = dummyData + 16;   // "MYTYPE"
    const std::uint32_t versionName = typeName + 16; // "VERINFO"
    const std::uint32_t dummyBytes = versionName + 16;
    const std::uint32_t block = dummyBytes + 8;
    const std::uint32_t rsrcSize = block + static_cast<std::uint32_t>(kVersionBlockSize);
    const std::uint32_t rsrcRaw = (rsrcSize + 0x1FF) & ~0x1FFU;

    Bytes& b = img.bytes;
    b.assign(kRsrcFile + rsrcRaw, 0);

    // DOS header and NT headers.
    b[0] = 'M';
    b[1] = 'Z';
    img.ntHeaders = 0x80;
    Put32(b, 0x3C, static_cast<std::uint32_t>(img.ntHeaders));
    const std::size_t nt = img.ntHeaders;
    b[nt] = 'P';
    b[nt + 1] = 'E';
    const std::uint32_t optionalSize = o.pe32plus ? 0xF0 : 0xE0;
    Put16(b, nt + 4, o.pe32plus ? 0x8664 : 0x14C);
    Put16(b, nt + 6, 2); // sections
    Put16(b, nt + 20, optionalSize);
    Put16(b, nt + 22, o.pe32plus ? 0x2022 : 0x2102);

    const std::size_t opt = nt + 24;
    img.optionalHeader = opt;
    Put16(b, opt, o.pe32plus ? 0x20B : 0x10B);
    Put32(b, opt + 4, 0x200);   // SizeOfCode
    Put32(b, opt + 20, 0x1000); // BaseOfCode
    if (o.pe32plus) {
        Put32(b, opt + 24, 0x80000000U); // ImageBase (64-bit, high half zero)
    } else {
        Put32(b, opt + 28, 0x10000000U);
    }
    Put32(b, opt + 32, 0x1000);                                    // SectionAlignment
    Put32(b, opt + 36, 0x200);                                     // FileAlignment
    Put16(b, opt + 40, 4);                                         // OS version
    Put16(b, opt + 48, 4);                                         // subsystem version
    Put32(b, opt + 56, kRsrcRva + ((rsrcSize + 0xFFF) & ~0xFFFU)); // SizeOfImage
    Put32(b, opt + 60, 0x200);                                     // SizeOfHeaders
    Put16(b, opt + 68, 2);                                         // GUI subsystem
    const std::size_t count = opt + (o.pe32plus ? 108 : 92);
    img.rvaCountField = count;
    Put32(b, count, 16);
    img.resourceDirectoryField = count + 4 + 2 * 8;
    Put32(b, img.resourceDirectoryField, kRsrcRva);
    Put32(b, img.resourceDirectoryField + 4, rsrcSize);

    // Section table.
    img.sectionTable = opt + optionalSize;
    const auto section = [&](std::size_t at, const char* name, std::uint32_t vsize,
                             std::uint32_t va, std::uint32_t raw, std::uint32_t ptr,
                             std::uint32_t flags) {
        for (std::size_t i = 0; name[i] != '\0'; ++i) {
            b[at + i] = static_cast<std::uint8_t>(name[i]);
        }
        Put32(b, at + 8, vsize);
        Put32(b, at + 12, va);
        Put32(b, at + 16, raw);
        Put32(b, at + 20, ptr);
        Put32(b, at + 36, flags);
    };
    section(img.sectionTable, ".text", 0x10, 0x1000, 0x200, 0x200, 0x60000020);
    img.resourceSectionHeader = img.sectionTable + 40;
    section(img.resourceSectionHeader, ".rsrc", rsrcSize, kRsrcRva, rsrcRaw, kRsrcFile, 0x40000040);
    b[0x200] = 0xC3; // ret

    // Resource tree.
    const std::size_t r = kRsrcFile;
    const auto directory = [&](std::uint32_t at, std::uint32_t named, std::uint32_t ids) {
        Put16(b, r + at + 12, named);
        Put16(b, r + at + 14, ids);
    };
    const auto entry = [&](std::uint32_t dir, std::uint32_t index, std::uint32_t name,
                           std::uint32_t offset) {
        Put32(b, r + dir + 16 + 8 * index, name);
        Put32(b, r + dir + 16 + 8 * index + 4, offset);
    };
    const auto nameString = [&](std::uint32_t at, const char* text) {
        std::uint32_t n = 0;
        for (; text[n] != '\0'; ++n) {
            Put16(b, r + at + 2 + 2 * n, static_cast<std::uint8_t>(text[n]));
        }
        Put16(b, r + at, n);
    };
    constexpr std::uint32_t kDir = 0x80000000U;
    constexpr std::uint32_t kName = 0x80000000U;

    const std::uint32_t named = o.namedFiller + (o.otherTypes ? 1U : 0U);
    directory(root, named, rootEntries - named);
    std::uint32_t i = 0;
    for (; i < named; ++i) {
        entry(root, i, kName | typeName, kDir | dummyType);
    }
    if (o.otherTypes) {
        entry(root, i++, 3, kDir | dummyType); // RT_ICON
    }
    img.versionRootEntry = r + root + 16 + 8 * i;
    entry(root, i++, 16, kDir | typeDir);
    if (o.otherTypes) {
        entry(root, i++, 24, kDir | dummyType); // RT_MANIFEST
    }
    nameString(typeName, "MYTYPE");
    nameString(versionName, "VERINFO");

    directory(typeDir, o.namedVersion ? 1 : 0, o.namedVersion ? 0 : 1);
    entry(typeDir, 0, o.namedVersion ? (kName | versionName) : 1, kDir | nameDir);
    directory(nameDir, 0, 1);
    entry(nameDir, 0, 0x409, versionData);
    directory(dummyType, 0, 1);
    entry(dummyType, 0, 1, kDir | dummyLang);
    directory(dummyLang, 0, 1);
    entry(dummyLang, 0, 0x409, dummyData);
    Put32(b, r + versionData, kRsrcRva + block);
    Put32(b, r + versionData + 4, kVersionBlockSize);
    Put32(b, r + dummyData, kRsrcRva + dummyBytes);
    Put32(b, r + dummyData + 4, 4);

    // VS_VERSIONINFO with its VS_FIXEDFILEINFO and no children.
    const std::size_t v = r + block;
    Put16(b, v, kVersionBlockSize);
    Put16(b, v + 2, 52);
    const char* key = "VS_VERSION_INFO";
    for (std::size_t k = 0; key[k] != '\0'; ++k) {
        Put16(b, v + 6 + 2 * k, static_cast<std::uint8_t>(key[k]));
    }
    const std::size_t fixed = v + 40;
    Put32(b, fixed, 0xFEEF04BD);
    Put32(b, fixed + 4, 0x00010000);
    Put32(b, fixed + 8, o.versionMS);
    Put32(b, fixed + 12, o.versionLS);
    Put32(b, fixed + 16, o.versionMS); // product version
    Put32(b, fixed + 20, o.versionLS);
    Put32(b, fixed + 24, 0x3F);
    Put32(b, fixed + 32, 0x40004); // VOS_NT_WINDOWS32
    Put32(b, fixed + 36, 1);       // VFT_APP

    img.rootDirectory = r + root;
    img.typeDirectory = r + typeDir;
    img.nameDirectory = r + nameDir;
    img.dataEntry = r + versionData;
    img.versionBlock = v;
    img.end = v + kVersionBlockSize;
    return img;
}

// ---------------------------------------------------------------------------
// Synthetic images

TEST(PeVersionImage, ReadsPe32AndPe32PlusInWordOrder) {
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        PeOptions o;
        o.pe32plus = plus;
        EXPECT_EQ(GetFileVersionFromBytes(BuildPe(o).bytes), "1.2.3.4");
        // High word of MS, low word of MS, high word of LS, low word of LS, in decimal.
        o.versionMS = 0xFFFF0001;
        o.versionLS = 0x123400AB;
        EXPECT_EQ(GetFileVersionFromBytes(BuildPe(o).bytes), "65535.1.4660.171");
        o.versionMS = 0;
        o.versionLS = 0;
        EXPECT_EQ(GetFileVersionFromBytes(BuildPe(o).bytes), "0.0.0.0");
    }
}

TEST(PeVersionImage, FindsVersionAmongOtherResources) {
    PeOptions o;
    o.otherTypes = true;
    o.namedVersion = true;
    o.versionMS = 0x0007000B;
    o.versionLS = 0x00160021;
    EXPECT_EQ(GetFileVersionFromBytes(BuildPe(o).bytes), "7.11.22.33");
    // More named types than one read batch of directory entries holds.
    o.namedFiller = 150;
    EXPECT_EQ(GetFileVersionFromBytes(BuildPe(o).bytes), "7.11.22.33");
}

TEST(PeVersionImage, BuilderAgreesWithPefile) {
    if (!PefileAvailable()) {
        GTEST_SKIP() << "python3-pefile is not installed (scripts/install-deps installs it)";
    }
    TempDir dir;
    PeOptions a;
    PeOptions b;
    b.pe32plus = true;
    b.otherTypes = true;
    b.namedVersion = true;
    b.versionMS = 0xFFFF0001;
    b.versionLS = 0x123400AB;
    for (const PeOptions& o : {a, b}) {
        const PeImage img = BuildPe(o);
        const fs::path file = dir.path() / (o.pe32plus ? "b.dll" : "a.dll");
        WriteFile(file, img.bytes);
        const auto facts = AskPefile(file);
        ASSERT_TRUE(facts);
        EXPECT_EQ(facts->version, GetFileVersion(file));
        EXPECT_EQ(facts->need, img.end);
        EXPECT_EQ(facts->dataEntry, img.dataEntry);
    }
}

struct Damage {
    const char* what;
    std::size_t PeImage::*field; // offset base inside the image
    std::size_t plus;
    int width; // 1, 2 or 4 bytes
    std::uint32_t value;
};

TEST(PeVersionImage, DamagedStructuresGiveEmptyText) {
    for (const bool plus : {false, true}) {
        PeOptions o;
        o.pe32plus = plus;
        const PeImage good = BuildPe(o);
        ASSERT_EQ(GetFileVersionFromBytes(good.bytes), "1.2.3.4");
        const std::size_t size = good.bytes.size();
        const auto rsrcRva = [&](std::size_t fileOffset) {
            return static_cast<std::uint32_t>(fileOffset - 0x400 + 0x2000);
        };
        const std::vector<Damage> damages = {
            {"not MZ", nullptr, 0, 1, 'X'},
            {"e_lfanew huge", nullptr, 0x3C, 4, 0xFFFFFFFF},
            {"e_lfanew near 4 GiB", nullptr, 0x3C, 4, 0xFFFFFFF0},
            {"e_lfanew at the end", nullptr, 0x3C, 4, static_cast<std::uint32_t>(size - 2)},
            {"e_lfanew at MZ", nullptr, 0x3C, 4, 0},
            {"NE signature", &PeImage::ntHeaders, 0, 1, 'N'},
            {"unknown magic", &PeImage::optionalHeader, 0, 2, 0x107},
            {"no sections", &PeImage::ntHeaders, 6, 2, 0},
            {"65535 sections", &PeImage::ntHeaders, 6, 2, 0xFFFF},
            {"optional header empty", &PeImage::ntHeaders, 20, 2, 0},
            {"optional header short of the resource directory", &PeImage::ntHeaders, 20, 2,
             plus ? 128U : 112U},
            {"optional header 0xFFFF", &PeImage::ntHeaders, 20, 2, 0xFFFF},
            {"two data directories", &PeImage::rvaCountField, 0, 4, 2},
            {"no resource RVA", &PeImage::resourceDirectoryField, 0, 4, 0},
            {"resource RVA huge", &PeImage::resourceDirectoryField, 0, 4, 0xFFFFFFFF},
            {"resource RVA in .text", &PeImage::resourceDirectoryField, 0, 4, 0x1000},
            {"section raw pointer huge", &PeImage::resourceSectionHeader, 20, 4, 0xFFFFFFFF},
            {"section raw size zero", &PeImage::resourceSectionHeader, 16, 4, 0},
            {"section data ends one byte inside the record", &PeImage::resourceSectionHeader, 16, 4,
             static_cast<std::uint32_t>(good.end - 0x400 - 1)},
            {"section address near 4 GiB", &PeImage::resourceSectionHeader, 12, 4, 0xFFFFFFF0},
            {"root id count 0xFFFF", &PeImage::rootDirectory, 14, 2, 0xFFFF},
            {"root has no entries", &PeImage::rootDirectory, 14, 2, 0},
            {"version type is a leaf", &PeImage::versionRootEntry, 4, 4,
             static_cast<std::uint32_t>(good.typeDirectory - good.rootDirectory)},
            {"version type points at the root", &PeImage::versionRootEntry, 4, 4, 0x80000000},
            {"name level points at itself", &PeImage::typeDirectory, 20, 4,
             0x80000000U | static_cast<std::uint32_t>(good.typeDirectory - good.rootDirectory)},
            {"language level points at the root", &PeImage::nameDirectory, 20, 4, 0x80000000},
            {"directory offset huge", &PeImage::versionRootEntry, 4, 4, 0xFFFFFFFF},
            {"data entry offset huge", &PeImage::nameDirectory, 20, 4, 0x7FFFFFFF},
            {"data RVA huge", &PeImage::dataEntry, 0, 4, 0xFFFFFFFF},
            {"data RVA in .text", &PeImage::dataEntry, 0, 4, 0x1000},
            {"data size huge", &PeImage::dataEntry, 4, 4, 0xFFFFFFFF},
            {"data size zero", &PeImage::dataEntry, 4, 4, 0},
            {"data size one short", &PeImage::dataEntry, 4, 4, kVersionBlockSize - 1},
            {"data RVA ends past the section", &PeImage::dataEntry, 0, 4,
             rsrcRva(size) - kVersionBlockSize / 2},
            {"block longer than the resource", &PeImage::versionBlock, 0, 2, 0xFFFF},
            {"block too short", &PeImage::versionBlock, 0, 2, kVersionBlockSize - 1},
            {"no fixed file info", &PeImage::versionBlock, 2, 2, 0},
            {"wrong key", &PeImage::versionBlock, 6 + 2 * 14, 2, 'X'},
            {"key not terminated", &PeImage::versionBlock, 6 + 2 * 15, 2, 'X'},
            {"wrong signature", &PeImage::versionBlock, 40, 4, 0xFEEF04BC},
        };
        for (const Damage& d : damages) {
            SCOPED_TRACE(std::string(plus ? "PE32+: " : "PE32: ") + d.what);
            PeImage bad = good;
            const std::size_t at = (d.field != nullptr ? bad.*d.field : 0) + d.plus;
            if (d.width == 1) {
                bad.bytes.at(at) = static_cast<std::uint8_t>(d.value);
            } else if (d.width == 2) {
                Put16(bad.bytes, at, d.value);
            } else {
                Put32(bad.bytes, at, d.value);
            }
            EXPECT_EQ(GetFileVersionFromBytes(bad.bytes), "");
        }

        // A section that claims more data than the file holds is read like a
        // truncated file: the record is still found while its bytes are present.
        PeImage longSection = good;
        Put32(longSection.bytes, good.resourceSectionHeader + 16, 0xFFFFFFFF);
        EXPECT_EQ(GetFileVersionFromBytes(longSection.bytes), "1.2.3.4");
        EXPECT_EQ(GetFileVersionFromBytes(Prefix(longSection.bytes, good.end - 1)), "");
    }
}

TEST(PeVersionImage, EveryTruncationBeforeTheRecordGivesEmptyText) {
    for (const bool plus : {false, true}) {
        PeOptions o;
        o.pe32plus = plus;
        o.otherTypes = true;
        const PeImage img = BuildPe(o);
        for (std::size_t n = 0; n <= img.bytes.size(); ++n) {
            const std::string got = GetFileVersionFromBytes(Prefix(img.bytes, n));
            ASSERT_EQ(got, n >= img.end ? "1.2.3.4" : "") << "prefix of " << n << " bytes";
        }
    }
}

TEST(PeVersionImage, SingleBitFlipsNeverCrashAndSparePartsNotRead) {
    PeOptions o;
    o.pe32plus = true;
    o.otherTypes = true;
    const PeImage img = BuildPe(o);
    Bytes copy(img.bytes.size());
    std::copy(img.bytes.begin(), img.bytes.end(), copy.begin());
    for (std::size_t at = 0; at < copy.size(); ++at) {
        for (unsigned bit = 0; bit < 8; ++bit) {
            copy[at] = static_cast<std::uint8_t>(img.bytes[at] ^ (1U << bit));
            const std::string got = GetFileVersionFromBytes(copy);
            EXPECT_TRUE(got.empty() || IsDottedVersion(got)) << at << ":" << bit << " " << got;
            // The code section and the DOS stub play no part in the version.
            if ((at >= 0x200 && at < 0x400) || (at >= 0x40 && at < img.ntHeaders)) {
                EXPECT_EQ(got, "1.2.3.4") << at << ":" << bit;
            }
        }
        copy[at] = img.bytes[at];
    }
}

// ---------------------------------------------------------------------------
// Files on disk

TEST(PeVersionFile, ReadsFilesWithAnyName) {
    TempDir dir;
    const PeImage img = BuildPe(PeOptions{});
    for (const std::string name :
         {"plain.exe", ".hidden.dll", "\xff\xfe-not-utf8.dll", "with space and 中文.dll"}) {
        SCOPED_TRACE(name);
        const fs::path file = dir.path() / name;
        WriteFile(file, img.bytes);
        EXPECT_EQ(GetFileVersion(file), "1.2.3.4");
    }
}

TEST(PeVersionFile, LeavesTheFileUntouched) {
    TempDir dir;
    const fs::path file = dir.path() / "app.exe";
    const PeImage img = BuildPe(PeOptions{});
    WriteFile(file, img.bytes);
    ::chmod(file.c_str(), 0444);
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    EXPECT_EQ(GetFileVersion(file), "1.2.3.4");
    struct stat after {};
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(ReadWholeFile(file), img.bytes);
}

TEST(PeVersionFile, HugeSparseFileReadsOnlyWhatItNeeds) {
    TempDir dir;
    const fs::path file = dir.path() / "huge.dll";
    WriteFile(file, BuildPe(PeOptions{}).bytes);
    // 5 GiB, nearly all a hole: reading the whole file would take far longer.
    std::error_code ec;
    fs::resize_file(file, 5ULL << 30, ec);
    if (ec) {
        GTEST_SKIP() << "cannot make a sparse 5 GiB file here: " << ec.message();
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GetFileVersion(file), "1.2.3.4");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(PeVersionFile, NonPeFilesAndSpecialEntriesGiveEmptyText) {
    TempDir dir;
    const fs::path empty = dir.path() / "empty.dll";
    const fs::path text = dir.path() / "readme.txt";
    const fs::path mz = dir.path() / "mz.exe";
    WriteFile(empty, Bytes{});
    const std::string words = "plain words\r\n";
    WriteFile(text, Bytes(words.begin(), words.end()));
    WriteFile(mz, Bytes{'M', 'Z'});
    EXPECT_EQ(GetFileVersion(empty), "");
    EXPECT_EQ(GetFileVersion(text), "");
    EXPECT_EQ(GetFileVersion(mz), "");
    EXPECT_EQ(GetFileVersion(dir.path() / "missing.dll"), "");
    EXPECT_EQ(GetFileVersion(dir.path() / "missing" / "deeper.dll"), "");
    EXPECT_EQ(GetFileVersion(""), "");
    EXPECT_EQ(GetFileVersion(dir.path()), "");
    EXPECT_EQ(GetFileVersion("/dev/null"), "");
    const fs::path dangling = dir.path() / "dangling.dll";
    fs::create_symlink(dir.path() / "nowhere.dll", dangling);
    EXPECT_EQ(GetFileVersion(dangling), "");
}

TEST(PeVersionFile, FifoIsNeverOpened) {
    TempDir dir;
    const fs::path fifo = dir.path() / "pipe.dll";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto query = std::async(std::launch::async, [&] { return GetFileVersion(fifo); });
    if (query.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Release the blocked open so the test can end, then fail.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0) {
            ::close(writer);
        }
        ADD_FAILURE() << "the version query blocked on a FIFO";
    }
    EXPECT_EQ(query.get(), "");
}

TEST(PeVersionFile, UnreadableFileGivesEmptyText) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: file permissions do not keep root out";
    }
    TempDir dir;
    const fs::path file = dir.path() / "locked.dll";
    WriteFile(file, BuildPe(PeOptions{}).bytes);
    ::chmod(file.c_str(), 0);
    EXPECT_EQ(GetFileVersion(file), "");
}

// ---------------------------------------------------------------------------
// Real Windows files from Debian packages, checked against pefile.

struct RealFile {
    const char* name;   // test name suffix
    const char* path;   // absolute, or below the test data folder
    const char* source; // where the file comes from

    std::string FullPath() const {
        return path[0] == '/' ? std::string(path) : std::string(VARNEL_TEST_DATA_DIR) + "/" + path;
    }
};

// zlib1.dll: native PE32 and PE32+ DLLs (libz-mingw-w64); mscorlib.dll: a
// large .NET assembly (libmono-corlib4.5-dll). The "Small" ones are their
// headers and resources only, kept in the test data (see tests/data/pe/README).
constexpr RealFile kRealFiles[] = {
    {"Zlib32", "/usr/i686-w64-mingw32/lib/zlib1.dll", "package libz-mingw-w64"},
    {"Zlib64", "/usr/x86_64-w64-mingw32/lib/zlib1.dll", "package libz-mingw-w64"},
    {"Mscorlib", "/usr/lib/mono/4.5/mscorlib.dll", "package libmono-corlib4.5-dll"},
    {"SmallZlib32", "pe/zlib1-i686-rsrc.dll", "test data"},
    {"SmallZlib64", "pe/zlib1-x86_64-rsrc.dll", "test data"},
    {"SmallMscorlib", "pe/mscorlib-rsrc.dll", "test data"},
};

class PeVersionRealFile : public ::testing::TestWithParam<RealFile> {
protected:
    void SetUp() override {
        m_Path = GetParam().FullPath();
        if (!fs::exists(m_Path)) {
            GTEST_SKIP() << m_Path << " is missing (" << GetParam().source
                         << "; scripts/install-deps installs the packages)";
        }
        if (!PefileAvailable()) {
            GTEST_SKIP() << "python3-pefile is not installed (scripts/install-deps installs it)";
        }
        // One pefile run per file for the whole program.
        static std::map<std::string, std::optional<PefileFacts>> cache;
        auto [it, added] = cache.try_emplace(m_Path);
        if (added) {
            it->second = AskPefile(m_Path);
        }
        ASSERT_TRUE(it->second) << "pefile could not read " << m_Path;
        m_Facts = *it->second;
        ASSERT_NE(m_Facts.version, "none") << "pefile finds no version record";
        m_Bytes = ReadWholeFile(m_Path);
        ASSERT_FALSE(m_Bytes.empty());
    }

    std::string m_Path;
    PefileFacts m_Facts;
    Bytes m_Bytes;
};

TEST_P(PeVersionRealFile, AgreesWithPefile) {
    EXPECT_EQ(GetFileVersion(m_Path), m_Facts.version);
    EXPECT_EQ(GetFileVersionFromBytes(m_Bytes), m_Facts.version);
}

TEST_P(PeVersionRealFile, TruncatedAtEveryKibAndStructureEdge) {
    std::vector<std::uint64_t> lengths;
    for (std::uint64_t n = 0; n <= m_Bytes.size(); n += 1024) {
        lengths.push_back(n);
    }
    for (const std::uint64_t m : m_Facts.marks) {
        lengths.insert(lengths.end(), {m - 1, m, m + 1});
    }
    lengths.push_back(m_Bytes.size());
    for (const std::uint64_t n : lengths) {
        if (n > m_Bytes.size()) {
            continue;
        }
        ASSERT_EQ(GetFileVersionFromBytes(Prefix(m_Bytes, n)),
                  n >= m_Facts.need ? m_Facts.version : "")
            << "prefix of " << n << " bytes (record complete at " << m_Facts.need << ")";
    }
}

TEST_P(PeVersionRealFile, TruncatedCopiesOnDisk) {
    TempDir dir;
    const fs::path file = dir.path() / "cut.dll";
    for (const std::uint64_t n : {m_Facts.need - 1, m_Facts.need}) {
        WriteFile(file, Prefix(m_Bytes, n));
        EXPECT_EQ(GetFileVersion(file), n >= m_Facts.need ? m_Facts.version : "") << n;
    }
}

TEST_P(PeVersionRealFile, DamagedCopiesGiveEmptyText) {
    const auto damaged = [&](std::uint64_t at, std::uint32_t value, int width) {
        Bytes copy = m_Bytes;
        const auto i = static_cast<std::size_t>(at);
        if (width == 2) {
            Put16(copy, i, value);
        } else {
            Put32(copy, i, value);
        }
        return GetFileVersionFromBytes(copy);
    };
    EXPECT_EQ(damaged(0x3C, 0xFFFFFFFF, 4), "");                     // e_lfanew
    EXPECT_EQ(damaged(m_Facts.root + 12, 0xFFFF, 2), "");            // named entries
    EXPECT_EQ(damaged(m_Facts.root + 14, 0xFFFF, 2), "");            // id entries
    EXPECT_EQ(damaged(m_Facts.versionEntry + 4, 0x80000000, 4), ""); // cycle to the root
    EXPECT_EQ(damaged(m_Facts.versionEntry + 4, 0xFFFFFFFF, 4), "");
    EXPECT_EQ(damaged(m_Facts.dataEntry, 0xFFFFFFFF, 4), "");     // data RVA
    EXPECT_EQ(damaged(m_Facts.dataEntry + 4, 0xFFFFFFFF, 4), ""); // data size
}

INSTANTIATE_TEST_SUITE_P(Windows, PeVersionRealFile, ::testing::ValuesIn(kRealFiles),
                         [](const ::testing::TestParamInfo<RealFile>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
