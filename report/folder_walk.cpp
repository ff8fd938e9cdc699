#include "report/folder_walk.h"

#include "platform/os/errors.h"
#include "platform/os/file.h"
#include "platform/os/file_query.h"
#include "platform/os/folder_listing.h"
#include "platform/os/path_text.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

namespace varnel {

namespace {

// The kind of an entry found in a search: Folder for the subfolder list,
// File or Special for the files. The kind the listing reports is used when it
// is sure; links and unknown kinds are asked about (links followed). An entry
// the listing named that cannot be found when followed, or whose links loop,
// is a link that leads nowhere: nothing, with its error in *nowhere. Any
// other entry that cannot be asked about counts as a folder, so it is not
// reported as a file.
std::optional<platform::EntryKind> KindOfEntry(platform::EntryKind listed,
                                               const std::string& fullPath, int& nowhere) {
    if (listed != platform::EntryKind::Unknown) {
        return listed;
    }
    int error = 0;
    const std::optional<platform::EntryInfo> info =
        platform::QueryEntry(platform::PathFromText(fullPath), &error);
    if (!info && (error == ENOENT || error == ELOOP)) {
        nowhere = error;
        return std::nullopt;
    }
    if (!info || info->directory) {
        return platform::EntryKind::Folder;
    }
    return info->regularFile ? platform::EntryKind::File : platform::EntryKind::Special;
}

} // namespace

std::string DescribeProblem(const FolderWalkProblem& problem) {
    return (problem.leadsNowhere ? "a link that leads nowhere: " : "cannot list folder: ") +
           SystemErrorMessage(problem.error);
}

void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList) {
    CollectFolderFiles(folder, fileList, nullptr);
}

void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList,
                        std::vector<FolderWalkProblem>* problems) {
    WalkFolderFiles(
        folder,
        [&fileList](std::string&& path, platform::EntryKind) {
            fileList.push_back(std::move(path));
            return true;
        },
        problems);
}

bool WalkFolderFiles(std::string& folder, const WalkedFile& onFile,
                     std::vector<FolderWalkProblem>* problems, const std::atomic<bool>* stop,
                     const WalkRules& rules) {
    const auto stopped = [stop] {
        return stop != nullptr && stop->load(std::memory_order_relaxed);
    };
    if (folder.empty()) {
        return true;
    }
    // Names are joined with the system's separator (either one ends a
    // folder's name on Windows).
    if (folder.back() != '/' && folder.back() != platform::kPathSeparator) {
        folder += platform::kPathSeparator;
    }

    // Identities of the folders entered so far.
    std::set<platform::FolderIdentity> entered;
    // The named folder's file system: the device a one-file-system walk
    // keeps to.
    std::optional<std::uint64_t> rootDevice;
    bool rootPending = true; // the next folder searched is the named one

    // Folders still to search, the next one on top. Pushing a folder's
    // subfolders in reverse order gives exactly the order of the recursive
    // walk: all of a subfolder's tree before its next sibling.
    std::vector<std::string> pending{folder};
    std::vector<std::string> subfolders;

    while (!pending.empty()) {
        if (stopped()) {
            return false;
        }
        const std::string current = std::move(pending.back());
        pending.pop_back();

        std::optional<platform::FolderListing> listing;
        try {
            listing.emplace(platform::PathFromText(current));
        } catch (const platform::FileError& error) {
            if (problems != nullptr) {
                problems->push_back({current, error.systemError()});
            }
            continue;
        }
        const std::optional<platform::FolderIdentity> identity = listing->identity();
        const bool named = rootPending;
        rootPending = false;
        if (named) {
            rootDevice = identity ? std::optional(identity->device) : std::nullopt;
        } else {
            if (listing->OnPseudoFileSystem()) {
                continue;
            }
            if (rules.oneFileSystem && identity && rootDevice && identity->device != *rootDevice) {
                continue; // another file system mounted below the named folder
            }
        }
        if (identity && !entered.insert(*identity).second) {
            continue; // walked already: reached again through a link
        }

        subfolders.clear();
        while (std::optional<platform::FolderEntry> entry = listing->Next()) {
            if (stopped()) {
                return false;
            }
            // Hidden entries start with a dot.
            if (entry->name.empty() || entry->name.front() == '.') {
                continue;
            }
            std::string fullPath;
            fullPath.reserve(current.size() + entry->name.size() + 1);
            fullPath += current;
            fullPath += entry->name;
            int nowhere = 0;
            const std::optional<platform::EntryKind> found =
                KindOfEntry(entry->kind, fullPath, nowhere);
            if (!found) {
                if (problems != nullptr) {
                    problems->push_back({std::move(fullPath), nowhere, true});
                }
                continue;
            }
            const platform::EntryKind kind = *found;
            if (kind == platform::EntryKind::Folder) {
                fullPath += platform::kPathSeparator;
                subfolders.push_back(std::move(fullPath));
            } else if (!onFile(std::move(fullPath), kind)) {
                return false;
            }
        }
        // The search is finished (and closed when this iteration ends) before
        // any subfolder is searched.
        listing.reset();
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
            pending.push_back(std::move(*it));
        }
    }
    return true;
}

} // namespace varnel
