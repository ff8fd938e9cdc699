#pragma once

// The folder walk of a folder report: every file below a folder, depth first,
// the files of a folder before those of its subfolders.

#include <filesystem>
#include <string>
#include <vector>

namespace varnel {

// Appends to fileList the full path of every non-hidden entry below folder
// that is not a directory, in the order the system lists them; subfolders are
// walked after the folder's own entries, in the order found, one directory
// search open at a time. A trailing separator is added to folder when it has
// none. A folder reached again through a link is not walked again.
void CollectFolderFiles(std::string& folder, std::vector<std::string>& fileList);

} // namespace varnel
