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
//
// write checksum lines of those files instead, or records for scripts
// (report/script_formats.h), or verify lists and saved reports
// (cli/checksum_list.h, cli/list_check.h). A PATH of "-" is standard input,
// read to its end in its turn.

#include "i18n/language.h"
#include "lists/audit.h"
#include "lists/list_check.h"
#include "lists/list_update.h"
#include "report/file_facts.h"
#include "report/script_formats.h"

#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct ReportCommandLine {
    ReportOptions options;                // start states of the check boxes
    std::optional<LanguageMode> language; // --lang; unset: the system's
    std::optional<bool> progress;         // --progress / --no-progress; unset: stderr a terminal
    bool oneFileSystem = false;           // -x: folder walks stay on one file system
    // --format: the list format written (unset: report blocks), or with
    // --check the format the lists are read in (unset: told by content).
    std::optional<ListFormat> format;
    // --format json or csv: a record per file for scripts (format unset).
    std::optional<ScriptFormat> scriptFormat;
    BsdTags bsdTags;               // --sha256, --sha512, --blake2b (with --format bsd)
    bool check = false;            // --check: paths are lists to verify
    ListCheckOptions checkOptions; // --quiet, --status, --strict, --ignore-missing
    // --audit: the paths are lists to audit a folder against (--root: the
    // folder walked); --update: the path is a list to add new files to.
    bool audit = false;
    bool update = false;
    std::optional<std::string> root;
    bool help = false;
    bool version = false;
    std::vector<std::string> paths;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and sets error to a one-line reason.
std::optional<ReportCommandLine> ParseReportCommandLine(std::span<const std::string_view> args,
                                                        std::string& error);

// Runs the command: report on out, reasons and usage on err. Returns the exit
// status: 0 when every path could be read, 1 when some could not (their
// blocks are still written, and "varnel-report: <path>: <reason>" goes to
// err), 2 for a usage error. While a run lasts more than half a second, its
// progress is shown on err (when err is the process's standard error and a
// terminal, or with --progress), on one line that is cleared at the end.
int RunReportCommand(std::span<const std::string_view> args, std::FILE* out, std::FILE* err);

} // namespace varnel
