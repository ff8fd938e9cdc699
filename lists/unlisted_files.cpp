#include "lists/unlisted_files.h"

#include "platform/os/path_text.h"

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
            // Keys separate folders with slashes, whatever the system writes.
            for (const char c : relative) {
                key += c == platform::kPathSeparator ? '/' : c;
            }
            if (listed(key)) {
                return true;
            }
            return onUnlisted(std::move(path), key, kind);
        },
        &problems, nullptr, rules);
}

} // namespace varnel
