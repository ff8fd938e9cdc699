#pragma once

// varnel-report --check -r DIR...: every checksum list below the folders,
// each checked against its own folder (relative names are read below the
// list's folder, as an archive or a mirror keeps a list in each folder).
//
// The lists are the files below each folder, walked as a folder report walks
// (hidden entries left out, link loops ended, -x stays on one file system),
// that list_names.h takes for checksum lists by their names, and the saved
// reports told by their first line among the files named as text may be
// (*.txt, *.log, *.report, *.rpt, *.out, *.lst, or no extension: other files
// are not opened to look); in the order of their paths.
//
// Each result is the list's path, then the result as --check writes it:
//
//   mirror/a/SHA256SUMS: setup.iso: OK
//   mirror/b/photos.md5: c.jpg: FAILED
//
// After each list's results, what was said of the list (improperly
// formatted lines, a list that cannot be read) and its own summary go to the
// error stream ("mirror/a/SHA256SUMS: 20 OK"), and at the end one summary of
// all ("all lists: 1,000 lists, 19,999 OK, 1 failed"). --json adds "list"
// to each object.
//
// The lists' entries go through one scheduler of file reads, one list after
// the other without waiting at a list's end, so a thousand small lists cost
// about what one list of all their entries does.

#include "lists/list_check.h"
#include "lists/result_sink.h"

#include <cstdio>
#include <string>
#include <vector>

namespace varnel {

// The lists below folder, in the order of their paths; what could not be
// searched is said through problems ("FOLDER: cannot list folder: ...").
std::vector<std::string> FindListsBelow(const std::string& folder, bool oneFileSystem,
                                        std::vector<std::string>& problems);

// Checks the lists below every folder. Returns 0 when every entry matched, 1
// when some did not (or a folder below could not be searched), 2 when a
// folder cannot be searched, holds no list, or a list found cannot be read
// or holds no checksum line. Relative names are always read below each
// list's folder (options.namesBelowList is implied).
int RunFolderCheck(const std::vector<std::string>& folders, bool oneFileSystem,
                   const ListCheckOptions& options, std::FILE* out, std::FILE* err);

// The same, its results (each with its list: ListResult::list), the words
// about the lists and the summaries handed to sink.
int RunFolderCheck(const std::vector<std::string>& folders, bool oneFileSystem,
                   const ListCheckOptions& options, ResultSink& sink);

} // namespace varnel
