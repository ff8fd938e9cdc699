#pragma once

// The main window's report text read back as the files it tells of: the
// verdict of a compare's two blocks, and the checksum lists of the report's
// files in every format varnel-report writes. The text is read as
// varnel-report --check reads a saved report; no file is opened here except
// in BuildChecksumList, which runs on a thread of its own.

#include "lists/checksum_list.h"
#include "lists/list_formats.h"

#include <QString>

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// The files of a report text (its blocks, in order), as ListEntry values:
// the path and the values of each line.
std::vector<ListEntry> ReportEntries(std::string_view reportText);

// Whether the last two blocks of a report text tell the same file content:
// the same size and the same value of every digest both carry. Nothing when
// there are not two blocks, or a block has no digest (a file not read).
std::optional<bool> LastTwoBlocksSame(std::string_view reportText);

// A format a checksum list is saved in, as the save dialog offers it.
struct ListSaveFormat {
    ListFormat format;
    std::string_view name;      // varnel-report's --format name
    std::string_view extension; // the file name's usual ending
};

// Every list format varnel-report writes (the report itself is saved as it
// is); the save dialog's entries in this order.
std::span<const ListSaveFormat> ListSaveFormats();

// The save dialog's filter for them.
QString ChecksumListFilter();

// The list of the entries in format, the names relative to listPath's
// folder when below it (else as the report has them). The digests the
// report carries are written as they are; a format that needs one the
// report lacks has the files read again for it (on the calling thread: a
// worker's). problems gets a line for each file left out.
std::string BuildChecksumList(const std::vector<ListEntry>& entries, ListFormat format,
                              const std::string& listPath, std::vector<std::string>& problems);

} // namespace varnel
