#pragma once

// varnel-report's options: what the command line asks for, read from its
// arguments, and the usage text that explains them.

#include "i18n/language.h"
#include "lists/list_check.h"
#include "lists/list_formats.h"
#include "report/file_facts.h"
#include "report/script_formats.h"

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
    // --compare: the two paths are compared (two files, or two folders).
    bool compare = false;
    // --expect DIGEST: the paths are files checked against the digest a user
    // gave (lists/expected_digest.h).
    std::optional<std::string> expect;
    // With --check: --for, the paths are files checked against their own
    // lists found beside them; -r, the paths are folders, and every list
    // below them is checked against its own folder.
    bool forFiles = false;
    bool recursive = false;
    bool help = false;
    bool version = false;
    std::vector<std::string> paths;
};

// Parses the arguments after the program name. On a usage error returns
// nothing and sets error to a one-line reason.
std::optional<ReportCommandLine> ParseReportCommandLine(std::span<const std::string_view> args,
                                                        std::string& error);

// The text --help writes.
std::string_view ReportUsage();

} // namespace varnel
