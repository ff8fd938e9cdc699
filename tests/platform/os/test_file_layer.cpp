// The file layer: what opens and what is refused (with its reason), the three
// ways of reading, whole-file reads with a limit, replacing a file's contents,
// folder listings and the shared-library loader.

#include "platform/os/file.h"
#include "platform/os/folder_listing.h"
#include "platform/os/shared_library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace varnel::platform {
namespace {

class FileLayer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "varnel-file-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        ::chmod((dir / "locked").c_str(), 0600);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path MakeFile(const std::string& name, const std::string& content) {
        auto path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Text(std::span<const std::uint8_t> bytes) {
        return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    }

    std::filesystem::path dir;
};

TEST_F(FileLayer, OpenRefusesWhatIsNotARegularFileAndTellsWhy) {
    MakeFile("locked", "secret");
    ::chmod((dir / "locked").c_str(), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    struct Case {
        std::filesystem::path path;
        FileFailure failure;
        std::int32_t number;
    };
    std::vector<Case> cases = {
        {dir / "missing", FileFailure::NotFound, 53},
        {dir / "missing/below", FileFailure::NotFound, 53},
        {"", FileFailure::NotFound, 53},
        {dir, FileFailure::Folder, 53},
        {dir / "fifo", FileFailure::NotRegular, 53}, // and the open does not block
        {"/dev/null", FileFailure::NotRegular, 53},
    };
    if (::geteuid() != 0) {
        cases.push_back({dir / "locked", FileFailure::AccessDenied, 70});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.string());
        try {
            ReadOnlyFile::Open(c.path);
            ADD_FAILURE() << "opened";
        } catch (const FileError& error) {
            EXPECT_EQ(error.failure(), c.failure) << error.what();
            EXPECT_EQ(error.RunTimeErrorNumber(), c.number);
        }
    }
}

TEST_F(FileLayer, SequentialAndPositionedReadsServeEveryByte) {
    const auto path = MakeFile("abc", "0123456789");
    ReadOnlyFile file = ReadOnlyFile::Open(path);
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(file.Size(), 10u);
    file.AdviseSequential();

    std::vector<std::uint8_t> four(4);
    ASSERT_EQ(file.Read(four), 4u);
    EXPECT_EQ(Text(four), "0123");
    // A positioned read does not move the sequential position.
    std::vector<std::uint8_t> three(3);
    ASSERT_EQ(file.ReadAt(7, three), 3u);
    EXPECT_EQ(Text(three), "789");
    EXPECT_EQ(file.ReadAt(9, three), 1u); // short only at the end
    EXPECT_EQ(file.ReadAt(50, three), 0u);
    ASSERT_EQ(file.Read(four), 4u);
    EXPECT_EQ(Text(four), "4567");
    EXPECT_EQ(file.Read(four), 2u);
    EXPECT_EQ(file.ReadSome(four), 0u);

    // Moved from, the old object is closed and the new one reads on.
    ReadOnlyFile moved = ReadOnlyFile::Open(path);
    ReadOnlyFile other = std::move(moved);
    EXPECT_FALSE(moved.isOpen()); // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_EQ(moved.Read(four), 0u);
    EXPECT_EQ(other.Read(four), 4u);
    other.Close();
    EXPECT_FALSE(other.isOpen());
    EXPECT_EQ(other.Read(four), 0u);
}

TEST_F(FileLayer, WholeFileReadsKeepTheirLimit) {
    const auto path = MakeFile("ten", "0123456789");
    EXPECT_EQ(ReadWholeFile(path, 10), "0123456789");
    EXPECT_EQ(ReadWholeFile(MakeFile("empty", ""), 0), "");
    try {
        ReadWholeFile(path, 9);
        ADD_FAILURE() << "read past the limit";
    } catch (const FileError& error) {
        EXPECT_EQ(error.failure(), FileFailure::TooLarge);
    }
}

TEST_F(FileLayer, ReplacedContentsAreWholeAndReadable) {
    const auto path = MakeFile("data", "old contents that are longer");
    const std::string bytes("new\0bytes", 9);
    ReplaceFileContents(path, bytes);
    EXPECT_EQ(ReadWholeFile(path, 100), bytes);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
    // A folder that does not exist: refused, nothing made.
    EXPECT_THROW(ReplaceFileContents(dir / "no/such/file", bytes), FileError);
}

// Every name the file system takes can be replaced, new and existing alike,
// up to its length limit: the temporary file's name stays short, and none
// is left behind.
TEST_F(FileLayer, ReplacedContentsTakeNamesUpToTheLengthLimit) {
    for (const std::size_t length : {249u, 250u, 253u, 255u}) {
        const auto path = dir / std::string(length, 'n');
        for (const std::string bytes : {"new", "replaced"}) {
            EXPECT_NO_THROW(ReplaceFileContents(path, bytes)) << length;
            EXPECT_EQ(ReadWholeFile(path, 100), bytes) << length;
        }
        std::filesystem::remove(path);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 0);
}

// An output folder is opened by its own name, never through a link, however
// the path spells it; what is written goes into the folder opened, even when
// its name is taken over by a link afterwards.
TEST_F(FileLayer, OutputFolderIsNeverReachedThroughALink) {
    std::filesystem::create_directory(dir / "victim");
    std::filesystem::create_directory_symlink(dir / "victim", dir / "link");
    std::filesystem::create_symlink(dir / "victim/made", dir / "dangling");
    MakeFile("file", "x");
    for (const char* given : {"link", "link/", "link//.", "dangling", "file"}) {
        try {
            OutputFolder::Open(dir / given);
            ADD_FAILURE() << given << " opened";
        } catch (const FileError& error) {
            EXPECT_EQ(error.failure(), FileFailure::NotRegular) << given;
            EXPECT_NE(std::string(error.what()).find(given[0] == 'f' ? "not a folder" : "link"),
                      std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "victim"), {}), 0);

    // Made when missing, with the folders above it.
    const OutputFolder out = OutputFolder::Open(dir / "made/below/");
    ASSERT_TRUE(out.isOpen());
    EXPECT_FALSE(out.ReplaceFileContents("a", std::string("one")).existed);
    EXPECT_EQ(ReadWholeFile(dir / "made/below/a", 10), "one");
    // Its name moved away and a link put in its place: the files still go
    // into the folder opened.
    std::filesystem::rename(dir / "made", dir / "moved");
    std::filesystem::create_directory_symlink(dir / "victim", dir / "made");
    EXPECT_TRUE(out.ReplaceFileContents("a", std::string("two")).existed);
    EXPECT_EQ(ReadWholeFile(dir / "moved/below/a", 10), "two");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "victim"), {}), 0);

    // Entries: a plain name only, and never a link or what is not a file.
    std::filesystem::create_symlink(dir / "file", dir / "moved/below/filelink");
    struct Entry {
        const char* name;
        FileFailure failure;
    };
    for (const Entry& e :
         {Entry{"filelink", FileFailure::NotRegular}, Entry{"..", FileFailure::Other},
          Entry{"", FileFailure::Other}, Entry{"x/y", FileFailure::Other}}) {
        try {
            out.ReplaceFileContents(e.name, std::string("bad"));
            ADD_FAILURE() << e.name << " written";
        } catch (const FileError& error) {
            EXPECT_EQ(error.failure(), e.failure) << e.name;
        }
    }
    EXPECT_EQ(ReadWholeFile(dir / "file", 10), "x");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "moved/below"), {}), 2);
}

TEST_F(FileLayer, FolderListingNamesEveryEntryWithItsKind) {
    MakeFile("file", "x");
    MakeFile(".hidden", "x");
    std::filesystem::create_directory(dir / "sub");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "file", dir / "link");

    FolderListing listing(dir);
    std::map<std::string, EntryKind> seen;
    while (const auto entry = listing.Next()) {
        seen[entry->name] = entry->kind;
    }
    EXPECT_FALSE(listing.Next()); // stays exhausted
    const std::map<std::string, EntryKind> expected = {
        {"file", EntryKind::File},    {".hidden", EntryKind::File}, {"sub", EntryKind::Folder},
        {"fifo", EntryKind::Special}, {"link", EntryKind::Unknown}, // links are for the caller to
                                                                    // follow
    };
    // Some file systems do not tell kinds: Unknown is then right for all.
    for (const auto& [name, kind] : seen) {
        EXPECT_TRUE(kind == expected.at(name) || kind == EntryKind::Unknown) << name;
    }
    EXPECT_EQ(seen.size(), expected.size());

    // The same folder reached by two paths has one identity.
    std::filesystem::create_directory_symlink(dir / "sub", dir / "sub-link");
    EXPECT_EQ(FolderListing(dir / "sub").identity(), FolderListing(dir / "sub-link").identity());
    EXPECT_NE(FolderListing(dir / "sub").identity(), FolderListing(dir).identity());

    EXPECT_THROW(FolderListing(dir / "missing"), FileError);
    EXPECT_THROW(FolderListing(dir / "file"), FileError);
}

TEST(SharedLibraryLoader, LoadsLibrariesAndFindsEntriesByName) {
    std::optional<SharedLibrary> library = SharedLibrary::Load(VARNEL_GB2BIG5_LIBRARY);
    ASSERT_TRUE(library);
    EXPECT_NE(library->Entry("GBToBig5"), nullptr);
    EXPECT_EQ(library->Entry("NoSuchEntry"), nullptr);
    EXPECT_EQ(library->Entry(nullptr), nullptr);
    SharedLibrary moved = std::move(*library);
    EXPECT_NE(moved.Entry("GBToBig5"), nullptr);

    EXPECT_FALSE(SharedLibrary::Load(""));
    EXPECT_FALSE(SharedLibrary::Load("/no/such/library.so"));
    EXPECT_FALSE(SharedLibrary::Load("/etc/hostname")); // not a library
}

TEST_F(FileLayer, OnlyARegularFileIsLoadedAsALibrary) {
    // A FIFO would block the loader's open forever, a device feed it
    // without end; a folder is no library either. Each is refused at once.
    ASSERT_EQ(::mkfifo((dir / "fifo.so").c_str(), 0600), 0);
    std::filesystem::create_directory(dir / "folder.so");
    std::filesystem::create_symlink(VARNEL_GB2BIG5_LIBRARY, dir / "link.so");
    for (const char* name : {"fifo.so", "folder.so"}) {
        EXPECT_FALSE(SharedLibrary::Load(dir / name)) << name;
    }
    EXPECT_FALSE(SharedLibrary::Load("/dev/zero"));
    // A link to a real library is still followed.
    std::optional<SharedLibrary> linked = SharedLibrary::Load(dir / "link.so");
    ASSERT_TRUE(linked);
    EXPECT_NE(linked->Entry("GBToBig5"), nullptr);
}

} // namespace
} // namespace varnel::platform
