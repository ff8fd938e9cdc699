#include "app/command_line.h"

#include "report/report_labels.h"

#include <optional>

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace varnel {

namespace {

// The kind of an added report line whose option arg is; nothing for others.
std::optional<DigestKind> ReportDigestOption(std::string_view arg) {
    for (const ReportDigestLine& line : kReportDigestLines) {
        if (DigestKindOf(line.kind).option == arg) {
            return line.kind;
        }
    }
    return std::nullopt;
}

} // namespace

WindowCommandLine ParseWindowCommandLine(const std::vector<std::string_view>& args) {
    using Action = WindowCommandLine::Action;
    WindowCommandLine command;
    bool optionsEnded = false;
    bool verify = false;
    bool compare = false;
    // The first question asked is the one answered.
    bool asked = false;
    for (const std::string_view arg : args) {
        if (optionsEnded || !arg.starts_with('-') || arg == "-") {
            command.paths.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            command.action = asked ? command.action : Action::Help;
            asked = true;
        } else if (arg == "--version") {
            command.action = asked ? command.action : Action::Version;
            asked = true;
        } else if (arg == "--verify") {
            verify = true;
        } else if (arg == "--compare") {
            compare = true;
        } else if (const std::optional<DigestKind> kind = ReportDigestOption(arg)) {
            command.digests.*(DigestKindOf(*kind).selected) = true;
        } else {
            command.action = Action::Wrong;
            command.error = "unknown option " + std::string(arg);
            return command;
        }
    }
    if (!asked && compare) {
        command.action = Action::Compare;
        if (verify) {
            command.action = Action::Wrong;
            command.error = "--compare and --verify cannot be used together";
        } else if (command.paths.size() != 2) {
            command.action = Action::Wrong;
            command.error = "--compare needs two files or two folders";
        }
        return command;
    }
    if (!asked && verify) {
        command.action = Action::Verify;
        if (command.paths.empty()) {
            command.action = Action::Wrong;
            command.error = "--verify needs a checksum list or saved report to verify";
        }
    }
    return command;
}

std::string WindowUsageText() {
    // The added digests' options, from the table.
    std::string digests = " ";
    for (const ReportDigestLine& line : kReportDigestLines) {
        digests += ' ';
        digests += DigestKindOf(line.kind).option;
    }
    return "usage: varnel [FILE...]\n"
           "       varnel DIGEST... [--] [FILE...]\n"
           "       varnel --verify [--] LIST...\n"
           "       varnel --compare [--] A B\n"
           "       varnel [--help | --version]\n"
           "\n"
           "Opens the Varnel window and reports each FILE named (a folder: every file\n"
           "below it) with its path, version, size, modified time, CRC-32, SHA-1 and\n"
           "MD5. Use \"--\" before names that start with \"-\".\n"
           "\n"
           "DIGEST is one of these options; each adds its digest's line to every\n"
           "block, after MD5, as varnel-report's option of the same name does:\n" +
           digests +
           "\n"
           "The window's system menu (Alt+Space, or a right click on the caption)\n"
           "chooses them too, under Add digests, for the session only.\n"
           "\n"
           "      --verify   open the verify window instead and check the files each\n"
           "                 LIST names (checksum lists such as SHA256SUMS, or saved\n"
           "                 Varnel reports); names in a list are taken from the\n"
           "                 list's folder; a FOLDER gives every list below it;\n"
           "                 a FILE that is no list is checked against its own\n"
           "                 list beside it (FILE.sha256, SHA256SUMS, ...), or,\n"
           "                 without one, against a digest pasted in the window\n"
           "      --compare  open the verify window and compare two files (their\n"
           "                 size and digests side by side, the verdict Same or\n"
           "                 Different) or two folders (each name SAME,\n"
           "                 DIFFERENT, ONLY IN A, ONLY IN B or MOVED)\n"
           "  -h, --help     show this help and exit\n"
           "      --version  show the version and exit\n"
           "\n"
           "For reports on standard output, checksum lists and audits, see\n"
           "varnel-report(1).\n";
}

std::string WindowVersionText() {
    return std::string("varnel ") + VARNEL_VERSION + "\n";
}

} // namespace varnel
