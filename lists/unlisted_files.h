#pragma once

// The walk for the files below a folder that no list names, shared by the
// audit (new files) and the update (files to add): the folder report's walk,
// each file's name key made from the folder's key and its path below it.

#include "platform/os/folder_listing.h"
#include "report/folder_walk.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Walks folder (text as the walk composes paths) whose name key is
// folderKey. For each file whose key listed() does not know, onUnlisted gets
// its path, its key and its kind; returning false ends the walk. Folders
// that could not be walked go to problems.
void WalkUnlistedFiles(std::string& folder, std::string_view folderKey,
                       const std::function<bool(std::string_view key)>& listed,
                       const std::function<bool(std::string&& path, std::string_view key,
                                                platform::EntryKind kind)>& onUnlisted,
                       std::vector<FolderWalkProblem>& problems, const WalkRules& rules = {});

} // namespace varnel
