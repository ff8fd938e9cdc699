#include "lists/unlisted_files.h"

namespace varnel {

void WalkUnlistedFiles(std::string& folder, std::string_view folderKey,
                       const std::function<bool(std::string_view key)>& listed,
                       const std::function<bool(std::string&& path, std::string_view key,
                                                platform::EntryKind kind)>& onUnlisted,
                       std::vector<FolderWalkProblem>& problems, const WalkRules& rules) {
    std::string key;
    WalkFolderFiles(
        folder,
        [&](std::string&& path, platform::EntryKind kind) {
            const std::string_view relative = std::string_view(path).substr(folder.size());
            key.assign(folderKey == "/" ? std::string_view() : folderKey);
            key += '/';
            key += relative;
            if (listed(key)) {
                return true;
            }
            return onUnlisted(std::move(path), key, kind);
        },
        &problems, nullptr, rules);
}

} // namespace varnel
