#pragma once

// The folder walk of a folder report: every file below a folder, depth first,
// the files of a folder before those of its subfolders.

#include "platform/os/folder_listing.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace varnel {

// A folder the walk could not search, or a link it could not follow, and why
// (an errno value).
struct FolderWalkProblem {
    std::string folder;        // as composed by the walk: a folder with its trailing "/"
    int error = 0;             // the system's error code
    bool leadsNowhere = false; // folder is a link that leads to nothing (dangling, a loop)
};

// What a problem says after its path: "cannot list folder: <reason>", or
// "a link that leads nowhere: <reason>".
std::string DescribeProblem(const FolderWalkProblem& problem);

// Appends to fileList the full path of every non-hidden entry below folder
// that is not a directory, in the order the system lists them; subfolders are
// walked after the folder's own entries, in the order found, one directory
// search open at a time. A trailing separator is added to folder when it has
// none, and every path is folder + name with exactly one "/" between them.
//
// - Hidden entries (name starting with ".") are left out, files and folders.
// - Entries that are neither files nor folders (FIFO, socket, device) are
//   listed like files; the report never opens them (they are handed out as
//   EntryKind::Special).
// - A link that leads nowhere (dangling, or a loop of links) contributes
//   nothing and is told as such a problem, never as a folder. Any other
//   entry whose attributes cannot be read is taken for a folder; its search
//   then fails and it contributes nothing.
// - A folder that cannot be searched contributes nothing; the walk goes on.
// - A folder reached again through a link (same device and inode as one
//   already entered) is not walked again, so link loops end.
// - The walk keeps its own stack: the depth of the tree cannot overflow the
//   thread's stack.
// - An empty folder text names nothing: nothing is walked.
void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList);

// The same, also telling which folders could not be searched (when problems
// is not null). Folders skipped because they were walked already are not
// problems.
void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList,
                        std::vector<FolderWalkProblem>* problems);

// How far a walk goes, beyond the rules every walk keeps.
struct WalkRules {
    // Stays on the file system of the named folder: folders on another one
    // (mount points below it) are passed over, as `du -x` and `find -xdev` do.
    bool oneFileSystem = false;
};

// What the walk hands out for each file: its path, and File or Special as
// the listing (or, for a link, a look-up) said the entry was. It returns
// false to end the walk.
using WalkedFile = std::function<bool(std::string&& path, platform::EntryKind kind)>;

// The walk of CollectFolderFiles, handing each file to onFile as soon as it
// is found, in the same order. onFile returns false to end the walk at
// once; WalkFolderFiles then returns false (true when the walk ran to its end).
// A set stop flag (when given) ends the walk the same way, at the next entry
// or folder: a tree of folders without files would otherwise be walked to
// its end after a stop.
//
// Folders below the named one that lie on a pseudo file system (procfs,
// sysfs) are passed over: `/proc/*/pagemap` alone would be hundreds of
// gigabytes of nothing. The named folder itself is walked wherever it lies.
bool WalkFolderFiles(std::string& folder, const WalkedFile& onFile,
                     std::vector<FolderWalkProblem>* problems = nullptr,
                     const std::atomic<bool>* stop = nullptr, const WalkRules& rules = {});

} // namespace varnel
