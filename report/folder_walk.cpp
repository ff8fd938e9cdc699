#include "report/folder_walk.h"

#include <cerrno>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace varnel {

namespace {

// Closes a directory search when it goes out of scope.
class DirCloser {
public:
    explicit DirCloser(DIR* dir) : m_Dir(dir) {}
    ~DirCloser() { ::closedir(m_Dir); }
    DirCloser(const DirCloser&) = delete;
    DirCloser& operator=(const DirCloser&) = delete;

private:
    DIR* m_Dir;
};

// Whether an entry found in a search goes to the subfolder list. The kind the
// search reports is used when it is sure; links and unknown kinds are asked
// about (links followed). An entry that cannot be asked about counts as a
// folder, so it is not reported as a file.
bool IsSubfolder(const struct dirent& entry, const std::string& fullPath) {
    switch (entry.d_type) {
    case DT_DIR:
        return true;
    case DT_REG:
    case DT_FIFO:
    case DT_SOCK:
    case DT_CHR:
    case DT_BLK:
        return false;
    default:
        break;
    }
    struct stat st {};
    if (::stat(fullPath.c_str(), &st) != 0) {
        return true;
    }
    return S_ISDIR(st.st_mode);
}

} // namespace

void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList) {
    CollectFolderFiles(folder, fileList, nullptr);
}

void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList,
                        std::vector<FolderWalkProblem>* problems) {
    if (folder.empty()) {
        return;
    }
    if (folder.back() != '/') {
        folder += '/';
    }

    // Identities (device, inode) of the folders entered so far.
    std::set<std::pair<dev_t, ino_t>> entered;

    // Folders still to search, the next one on top. Pushing a folder's
    // subfolders in reverse order gives exactly the order of the recursive
    // walk: all of a subfolder's tree before its next sibling.
    std::vector<std::string> pending{folder};
    std::vector<std::string> subfolders;

    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();

        DIR* dir = ::opendir(current.c_str());
        if (dir == nullptr) {
            if (problems != nullptr) {
                problems->push_back({current, errno});
            }
            continue;
        }
        DirCloser closer(dir);

        struct stat st {};
        if (::fstat(::dirfd(dir), &st) == 0 && !entered.insert({st.st_dev, st.st_ino}).second) {
            continue; // walked already: reached again through a link
        }

        subfolders.clear();
        while (const struct dirent* entry = ::readdir(dir)) {
            const std::string_view name(entry->d_name);
            // ".", ".." and hidden entries all start with a dot.
            if (name.empty() || name.front() == '.') {
                continue;
            }
            std::string fullPath;
            fullPath.reserve(current.size() + name.size() + 1);
            fullPath += current;
            fullPath += name;
            if (IsSubfolder(*entry, fullPath)) {
                fullPath += '/';
                subfolders.push_back(std::move(fullPath));
            } else {
                fileList.push_back(std::move(fullPath));
            }
        }
        // The search is finished (and closed when this iteration ends) before
        // any subfolder is searched.
        for (auto it = subfolders.rbegin(); it != subfolders.rend(); ++it) {
            pending.push_back(std::move(*it));
        }
    }
}

} // namespace varnel
