#pragma once

// What a drop of files on the report box reports: the local files it
// carries, and the run of them.

#include "report/report_run.h"

#include <string>
#include <vector>

class QMimeData;

namespace varnel {

// The local files of a drop, as the exact bytes of their paths: a name that
// is not valid UTF-8 reaches the file system unchanged. Items that are no
// local files (web addresses, files on other hosts) are left out.
std::vector<std::string> DroppedLocalPaths(const QMimeData& data);

// The report of the dropped paths: several items are reported one after the
// other, in drop order; a dropped folder gets the block of its own path,
// then those of its files.
struct DropReport {
    std::vector<RunItem> items;
    // A folder report: an item is a folder, or its attributes cannot be read
    // (then it is walked too, and yields nothing).
    bool folderReport = false;
    // The last dropped folder, ending with '/'; empty when none is.
    std::string folder;
};
DropReport ReportOfDrop(const std::vector<std::string>& paths);

} // namespace varnel
