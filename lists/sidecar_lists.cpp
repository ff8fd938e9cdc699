#include "lists/sidecar_lists.h"

#include "lists/check_scheduler.h"
#include "lists/expected_digest.h"
#include "lists/list_names.h"
#include "platform/os/file.h"
#include "platform/os/file_query.h"
#include "platform/os/folder_listing.h"
#include "platform/os/input_stream.h"
#include "platform/os/path_text.h"
#include "report/report.h"

#include <algorithm>
#include <system_error>

namespace varnel {

namespace {

// A list of the file's own that holds nothing but a digest is small: larger
// ones are read as lists only.
constexpr std::uint64_t kBareDigestBytes = 4096;

bool SameAnyCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Group 1 when name is the file's name and one of the suffixes.
bool IsOwnListName(std::string_view name, std::string_view fileName) {
    if (name.size() <= fileName.size() || !name.starts_with(fileName)) {
        return false;
    }
    const std::string_view suffix = name.substr(fileName.size());
    for (const ListSuffix& known : ListSuffixes()) {
        if (SameAnyCase(suffix, known.suffix)) {
            return true;
        }
    }
    return false;
}

// The strongest digest an entry carries.
int EntryStrength(const ListEntry& entry) {
    int strongest = -1;
    for (const DigestKindInfo& row : kDigestKinds) {
        if (entry.Expected(row.kind)) {
            strongest = std::max(strongest, KindStrength(row.kind));
        }
    }
    return strongest;
}

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    const std::optional<platform::EntryInfo> info =
        platform::QueryEntry(platform::PathFromText(path));
    if (!info || !info->regularFile) {
        return std::nullopt;
    }
    return FileIdentity{info->device, info->inode};
}

// Whether an entry's name, read below folder, is the file.
bool NamesFile(const ListEntry& entry, std::string_view folder, std::string_view fileName,
               const std::optional<FileIdentity>& file) {
    std::string_view name = entry.name;
    while (name.starts_with("./")) {
        name.remove_prefix(2);
    }
    if (name == fileName) {
        return true;
    }
    // Only a name that ends in the file's name may lead to it another way.
    if (BaseName(name) != fileName || !file) {
        return false;
    }
    const std::optional<FileIdentity> named = IdentityOf(EntryPath(folder, entry.name));
    return named && named->device == file->device && named->inode == file->inode;
}

// The digest alone, as some sites publish a file's own list: an entry for
// the file of the suffix's kind.
std::optional<ListEntry> BareDigest(const std::string& list, DigestKind kind) {
    std::string text;
    try {
        text = platform::ReadWholeFile(platform::PathFromText(list), kBareDigestBytes);
    } catch (const platform::FileError&) {
        return std::nullopt;
    }
    std::string reason;
    const std::optional<ExpectedDigest> digest = ReadExpectedDigest(text, reason);
    if (!digest ||
        std::find(digest->kinds.begin(), digest->kinds.end(), kind) == digest->kinds.end()) {
        return std::nullopt;
    }
    ListEntry entry;
    entry.line = 1;
    entry.Expected(kind) = digest->hex;
    return entry;
}

// The list's entry for the file, read only as far as it; problem says why
// a list could not be read.
std::optional<ListEntry> EntryFor(const std::string& list, int group, std::string_view folder,
                                  std::string_view fileName,
                                  const std::optional<FileIdentity>& file, std::string& problem) {
    std::string reason;
    platform::InputStream stream =
        platform::InputStream::Open(platform::PathFromText(list), reason);
    if (!stream.isOpen()) {
        problem = DisplayText(list) + ": " + reason;
        return std::nullopt;
    }
    ChecksumListReader reader([&](std::span<char> dest) { return stream.Read(dest); },
                              ListFormatOfListName(list));
    std::optional<ListEntry> only;
    std::size_t entries = 0;
    try {
        while (std::optional<ListEntry> entry = reader.Next()) {
            if (!entry->damaged && NamesFile(*entry, folder, fileName, file)) {
                return entry;
            }
            if (++entries == 1) {
                only = std::move(entry);
            } else if (group != 1) {
                only.reset();
            }
        }
    } catch (const std::system_error& error) {
        problem = DisplayText(list) + ": cannot read: " + error.code().message();
        return std::nullopt;
    }
    if (group == 1) {
        // The file's own list: its one entry is the file's, whatever it
        // calls it; a list without one may hold the digest alone.
        if (entries == 1 && only && !only->damaged) {
            return only;
        }
        if (entries == 0) {
            if (const std::optional<DigestKind> kind = KindOfListSuffix(list)) {
                return BareDigest(list, *kind);
            }
        }
    }
    return std::nullopt;
}

} // namespace

SidecarSearch FindSidecarLists(const std::string& path) {
    SidecarSearch search;
    const std::string folder = ListFolder(path);
    const std::string_view fileName = BaseName(path);
    if (fileName.empty() || fileName == "." || fileName == "..") {
        return search;
    }
    // The lists of the folder, each with its group.
    std::vector<std::pair<std::string, int>> lists;
    try {
        platform::FolderListing listing(
            platform::PathFromText(folder.empty() ? std::string(".") : folder));
        while (std::optional<platform::FolderEntry> entry = listing.Next()) {
            const std::string& name = entry->name;
            if (name == fileName || name.starts_with('.')) {
                continue;
            }
            const int group = IsOwnListName(name, fileName) ? 1
                              : IsSumsListName(name)        ? 2
                              : IsChecksumListName(name)    ? 3
                                                            : 0;
            if (group == 0) {
                continue;
            }
            std::string list = EntryPath(folder, name);
            if (entry->kind != platform::EntryKind::File) {
                // A link, or a kind the listing does not tell: only a regular
                // file is opened (a FIFO's open would wait for its writer).
                const std::optional<platform::EntryInfo> info =
                    platform::QueryEntry(platform::PathFromText(list));
                if (!info || !info->regularFile) {
                    continue;
                }
            }
            lists.emplace_back(std::move(list), group);
        }
    } catch (const platform::FileError& error) {
        search.problems.push_back(DisplayText(folder.empty() ? "." : folder) + ": " + error.what());
        return search;
    }

    const std::optional<FileIdentity> file = IdentityOf(path);
    std::vector<std::pair<SidecarList, int>> found; // with the entry's strength
    for (auto& [list, group] : lists) {
        std::string problem;
        std::optional<ListEntry> entry = EntryFor(list, group, folder, fileName, file, problem);
        if (!problem.empty()) {
            search.problems.push_back(std::move(problem));
        }
        if (entry) {
            const int strength = EntryStrength(*entry);
            found.emplace_back(SidecarList{std::move(list), std::move(*entry), group}, strength);
        }
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.first.group != b.first.group) {
            return a.first.group < b.first.group;
        }
        if (a.second != b.second) {
            return a.second > b.second;
        }
        return a.first.list < b.first.list;
    });
    for (auto& [list, strength] : found) {
        if (!search.chosen) {
            search.chosen = std::move(list);
        } else {
            search.others.push_back(std::move(list));
        }
    }
    return search;
}

} // namespace varnel
