#pragma once

// varnel-report: the report of the main window, on standard output.
//
//     varnel-report [options] PATH...
//
// For each PATH in order it writes exactly the text the main window's text
// box would receive: for a folder the blocks of every file below it (the
// folder walk), for anything else the one block. UTF-8, CR LF line ends.
//
//     varnel-report --format md5sum|sha1sum|sha256sum|sha512sum|b2sum|bsd|sfv PATH...
//     varnel-report --format json|csv PATH...
//     varnel-report --check [--format F] [--quiet|--status] LIST...
//     varnel-report --audit [--root FOLDER] [--quiet] [--json] LIST...
//     varnel-report --update LIST
//     varnel-report --compare [--quiet] [--json] A B
//
// write checksum lines of those files instead, or records for scripts
// (report/script_formats.h), or verify lists and saved reports
// (lists/checksum_list.h, lists/list_check.h), or compare two files or
// folders (lists/compare.h). A PATH of "-" is standard input,
// read to its end in its turn.

#include "cli/report_options.h"
#include "lists/audit.h"
#include "lists/compare.h"
#include "lists/list_check.h"
#include "lists/list_update.h"

#include <cstdio>
#include <span>
#include <string_view>

namespace varnel {

// Runs the command: report on out, reasons and usage on err. Returns the exit
// status: 0 when every path could be read, 1 when some could not (their
// blocks are still written, and "varnel-report: <path>: <reason>" goes to
// err), 2 for a usage error. While a run lasts more than half a second, its
// progress is shown on err (when err is the process's standard error and a
// terminal, or with --progress), on one line that is cleared at the end.
int RunReportCommand(std::span<const std::string_view> args, std::FILE* out, std::FILE* err);

} // namespace varnel
