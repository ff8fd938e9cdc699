#include "cli/report_options.h"

#include "report/report.h"
#include "report/report_labels.h"

#include <algorithm>

namespace varnel {

namespace {

constexpr std::string_view kUsage =
    "usage: varnel-report [options] PATH...\n"
    "       varnel-report --check [--format FORMAT] [options] LIST...\n"
    "       varnel-report --audit [--root FOLDER] [--quiet] [--json] LIST...\n"
    "       varnel-report --update LIST\n"
    "       varnel-report --compare [--quiet] [--json] [options] A B\n"
    "       varnel-report --expect DIGEST [--quiet|--status] [--json] FILE...\n"
    "       varnel-report --check --for [--quiet|--status] [--json] FILE...\n"
    "       varnel-report --check -r [-x] [--format FORMAT] [options] FOLDER...\n"
    "Writes the report block of each file, and of every file below each folder,\n"
    "to standard output (UTF-8, CR LF line ends), or their checksum lines\n"
    "(--format), or a record per file for scripts (--format json or csv); with\n"
    "--check, verifies checksum lists and saved reports. A PATH of - is\n"
    "standard input: its size and digests, no time line.\n"
    "\n"
    "  --sha1, --no-sha1                  SHA-1 line (default: on)\n"
    "  --crc32, --no-crc32                CRC-32 line (default: off)\n"
    "  --time, --no-time                  modified time line (default: on)\n"
    "  --size, --no-size                  size line (default: on)\n"
    "  --file-version, --no-file-version  version line (default: off)\n"
    "  --lang chinese|taiwan|english      label mode: taiwan converts the labels\n"
    "                                     to Traditional Chinese (through the\n"
    "                                     conversion library); chinese and\n"
    "                                     english write them in Simplified\n"
    "                                     Chinese, as designed (default: the\n"
    "                                     system locale's). The date form is the\n"
    "                                     locale's (LANG) in every mode\n"
    "  --progress, --no-progress          progress on standard error (default:\n"
    "                                     on when standard error is a terminal)\n"
    "  -x, --one-file-system              folder walks stay on the file system of\n"
    "                                     each named folder (procfs and sysfs\n"
    "                                     below a named folder are always passed\n"
    "                                     over)\n"
    "  --format FORMAT                    report (default), or checksum lines\n"
    "                                     instead of report blocks: md5sum,\n"
    "                                     sha1sum, sha256sum, sha512sum, b2sum\n"
    "                                     (BLAKE2b-512), sha3-256sum,\n"
    "                                     sha3-512sum, b3sum (BLAKE3), xxh3sum\n"
    "                                     (XXH3 (NAME) = HEX, as xxhsum -H3),\n"
    "                                     xxh128sum, bsd (MD5, SHA1 unless\n"
    "                                     --no-sha1, CRC32 with --crc32, and the\n"
    "                                     tags below) or sfv (CRC-32); or for\n"
    "                                     scripts, one record per file: json\n"
    "                                     (JSON Lines) or csv (RFC 4180, with a\n"
    "                                     header row): name, name_bytes (base64,\n"
    "                                     for a name that is not UTF-8), size,\n"
    "                                     modified (UTC, ISO 8601), version,\n"
    "                                     the digests (lower-case hex) or error\n"
    "  --sha256, --sha512, --blake2b      SHA-256, SHA-512 and BLAKE2b-512 lines\n"
    "                                     after MD5 in report blocks, and with\n"
    "                                     --format bsd, json or csv as well\n"
    "  --sha3-256, --sha3-512, --xxh3, --xxh128, --blake3\n"
    "                                     SHA3-256, SHA3-512, XXH3 (64-bit),\n"
    "                                     XXH128 and BLAKE3 lines after MD5 in\n"
    "                                     report blocks, and with --format bsd,\n"
    "                                     json or csv as well\n"
    "  --check                            PATHs are lists to verify: checksum\n"
    "                                     lists of those formats (told apart by\n"
    "                                     content, or named with --format) or\n"
    "                                     saved reports; - is standard input, and\n"
    "                                     a FIFO or pipe is read as it comes\n"
    "  --audit                            LISTs are compared with the files now:\n"
    "                                     OK, EDITED, DAMAGED (content changed,\n"
    "                                     size and time not), FAILED, MISSING,\n"
    "                                     MOVED to NAME; NEW for each file below\n"
    "                                     the root that no list names\n"
    "  --root FOLDER                      with --audit: the folder walked for new\n"
    "                                     files (default: the one holding the\n"
    "                                     entries)\n"
    "  --update                           adds to LIST, in its own format, the\n"
    "                                     files below its folder it does not name\n"
    "  --compare                          compares the files A and B, or every\n"
    "                                     file below the folders A and B, by the\n"
    "                                     lines their report blocks would show\n"
    "                                     (the options above choose them): SAME,\n"
    "                                     DIFFERENT (the lines that differ); for\n"
    "                                     folders \"NAME: ...\" a name each, also\n"
    "                                     ONLY IN A, ONLY IN B, MOVED to NAME\n"
    "  --expect DIGEST                    FILEs are checked against DIGEST, as a\n"
    "                                     download page gives it: hex (8, 16, 32,\n"
    "                                     40, 64 or 128 digits, either case), a\n"
    "                                     kind before it (SHA256:HEX, sha256-HEX,\n"
    "                                     md5:HEX), base64 as SRI hashes write it\n"
    "                                     (sha256-BASE64, sha512-BASE64), or a\n"
    "                                     sha256sum or bsd line (its name is\n"
    "                                     ignored). Each kind of that length is\n"
    "                                     tried, in one read: \"FILE: OK\n"
    "                                     (SHA-256)\" or \"FILE: FAILED\"\n"
    "  --for                              with --check: FILEs are checked against\n"
    "                                     their own lists beside them: FILE.sha512,\n"
    "                                     FILE.sha256, FILE.b3, FILE.md5 ... first,\n"
    "                                     then SHA512SUMS, SHA256SUMS, B3SUMS,\n"
    "                                     MD5SUMS ..., then other lists there that\n"
    "                                     name FILE; the strongest digest first.\n"
    "                                     The list used, and the others found, are\n"
    "                                     named on standard error\n"
    "  -r, --recursive                    with --check: PATHs are folders; every\n"
    "                                     checksum list below them (*.md5, *.sha1,\n"
    "                                     *.sha256, *.sha512, *.b2, *.b3,\n"
    "                                     *.sha3-256, *.sha3-512, *.xxh3,\n"
    "                                     *.xxh128, *.sfv, *SUMS, and saved\n"
    "                                     reports by their first line) is checked\n"
    "                                     against its own folder, each result\n"
    "                                     after its list's path (\"LIST: NAME:\n"
    "                                     OK\"), a summary per list and one of all\n"
    "  --quiet                            with --check, --audit or --compare: no\n"
    "                                     line for files that match\n"
    "  --status                           with --check: nothing written, the exit\n"
    "                                     status only\n"
    "  --strict                           with --check: improperly formatted lines\n"
    "                                     make the exit status 1\n"
    "  --ignore-missing                   with --check: pass over missing files\n"
    "  --json                             with --check, --audit or --compare: the\n"
    "                                     results as JSON Lines ({\"name\":...,\n"
    "                                     \"status\":\"FAILED\",\"differs\":[\"MD5\"]})\n"
    "  --help                             this text\n"
    "  --version                          the program's version\n"
    "  --                                 ends the options\n"
    "\n"
    "The MD5 line is always written. Exit status: 0 when every path could be\n"
    "read, 1 when some could not, 2 for a usage error.\n"
    "\n"
    "--check writes \"NAME: OK\", \"NAME: FAILED\" or \"NAME: FAILED open or read\"\n"
    "for each entry (for a report, the lines that differ: \"NAME: FAILED (size,\n"
    "MD5)\"; for a report block that is damaged, \"NAME: FAILED improperly\n"
    "formatted\"). Lines read: \"HEX  NAME\", \"HEX *NAME\", \"HEX NAME\" (one form\n"
    "per list), \"TAG (NAME) = HEX\" (tags MD5, SHA1, SHA256, SHA512, BLAKE2b,\n"
    "SHA3-256, SHA3-512, BLAKE3, XXH3, XXH128, CRC32, padded or not),\n"
    "\"TAG(NAME)= HEX\", \"XXH3_HEX  NAME\", \"NAME CRC32HEX\" and report\n"
    "blocks, with the lines after MD5 they carry. An untagged 128-digit digest\n"
    "is SHA-512 or BLAKE2b-512, as the named format says (unnamed, either may\n"
    "match). An untagged 64-digit digest is SHA-256 and a 32-digit one MD5\n"
    "unless the format is named (--format b3sum, ...) or the list's file name\n"
    "tells it: B3SUMS or *.b3, XXH128SUMS or *.xxh128, SHA3-256SUMS or\n"
    "*.sha3-256, SHA3-512SUMS or *.sha3-512. Names are shown in a visible\n"
    "escape. Relative names are relative to the working folder, not to\n"
    "the list's folder. Exit status: 0 when all match, 1 otherwise (also for a\n"
    "saved report with a line that is not part of a block), 2 for a list that\n"
    "cannot be read or holds no checksum line (its line number is given).\n"
    "\n"
    "--compare reads each file once, both sides at the same time. Folders are\n"
    "walked as reports walk them (hidden entries left out) and their names\n"
    "written in order, a folder's files before its subfolders'; a file only in\n"
    "A whose content (size and digests) is only in B under another name is\n"
    "MOVED. A closing line on standard error counts each kind. Exit status: 0\n"
    "when everything is the same, 1 when anything differs, 2 on trouble (a\n"
    "path not found, a file and a folder, a file or folder not read).\n";

// The on/off switches: "--name" and "--no-name" set one option.
struct Switch {
    std::string_view name;
    bool ReportOptions::*option;
};
constexpr Switch kSwitches[] = {
    {"sha1", &ReportOptions::ShowSHA1},
    {"crc32", &ReportOptions::ShowCRC32},
    {"time", &ReportOptions::ShowModifiedTime},
    {"size", &ReportOptions::ShowSize},
    {"file-version", &ReportOptions::ShowVersion},
};

// The kinds a report block carries after MD5, when their option asks
// (--sha3-256, --sha3-512, --xxh3, --xxh128, --blake3: the table's names).
bool SetLaterDigest(std::string_view arg, ReportOptions& options) {
    for (const ReportDigestLine& later : kReportDigestLines) {
        const DigestKindInfo& row = DigestKindOf(later.kind);
        if (!row.option.empty() && row.option == arg) {
            options.ShowDigests.*(row.selected) = true;
            return true;
        }
    }
    return false;
}

bool AnyLaterDigest(const ReportOptions& options) {
    for (const ReportDigestLine& later : kReportDigestLines) {
        if (options.ShowDigests.*(DigestKindOf(later.kind).selected)) {
            return true;
        }
    }
    return false;
}

bool SetSwitch(std::string_view arg, ReportOptions& options) {
    bool value = true;
    std::string_view name = arg.substr(2);
    if (name.starts_with("no-")) {
        value = false;
        name.remove_prefix(3);
    }
    for (const Switch& s : kSwitches) {
        if (s.name == name) {
            options.*(s.option) = value;
            return true;
        }
    }
    return false;
}

std::optional<LanguageMode> LanguageOption(std::string_view value) {
    if (value == "chinese") {
        return LanguageMode::Simplified;
    }
    if (value == "taiwan") {
        return LanguageMode::Traditional;
    }
    if (value == "english") {
        return LanguageMode::English;
    }
    return std::nullopt;
}

// The names --format takes: the list formats' and the scripts' formats.
std::string FormatNames() {
    std::string names(ListFormatNames());
    if (const std::size_t last = names.rfind(" or "); last != std::string::npos) {
        names.replace(last, 4, ", ");
    }
    return names + ", json or csv";
}

// What --audit, --update and --root cannot go with; nothing when they fit.
const char* AuditUsageError(const ReportCommandLine& command) {
    const ListCheckOptions& check = command.checkOptions;
    if (static_cast<int>(command.check) + command.audit + command.update > 1) {
        return "--check, --audit and --update go one at a time";
    }
    if (command.root && !command.audit) {
        return "--root goes with --audit";
    }
    if ((command.audit || command.update) &&
        (check.status || check.strict || check.ignoreMissing)) {
        return "--status, --strict and --ignore-missing go with --check";
    }
    if (command.update && (check.quiet || check.json)) {
        return "--update takes no --quiet or --json";
    }
    if (command.update && command.paths.size() > 1) {
        return "--update takes one LIST";
    }
    return nullptr;
}

// What --expect, --for and -r cannot go with; nothing when they fit.
const char* ExpectUsageError(const ReportCommandLine& command) {
    const ListCheckOptions& check = command.checkOptions;
    if (command.expect) {
        if (command.check || command.audit || command.update || command.compare) {
            return "--expect goes alone, not with --check, --audit, --update or --compare";
        }
        if (command.format || command.scriptFormat) {
            return "--expect takes no --format (the digest tells its kind)";
        }
        if (check.strict || check.ignoreMissing) {
            return "--strict and --ignore-missing go with --check";
        }
        if (command.paths.empty()) {
            return "no FILE given";
        }
    }
    if ((command.forFiles || command.recursive) && !command.check) {
        return "--for and -r go with --check";
    }
    if (command.forFiles && command.recursive) {
        return "--for and -r go one at a time";
    }
    if (command.forFiles && command.format) {
        return "--for takes no --format (each list found tells its own)";
    }
    if (command.forFiles && command.paths.empty()) {
        return "no FILE given";
    }
    if (command.recursive && command.paths.empty()) {
        return "no FOLDER given";
    }
    if (command.recursive &&
        std::find(command.paths.begin(), command.paths.end(), "-") != command.paths.end()) {
        return "-r takes folders, not standard input";
    }
    return nullptr;
}

// What --compare cannot go with; nothing when it fits.
const char* CompareUsageError(const ReportCommandLine& command) {
    if (!command.compare) {
        return nullptr;
    }
    const ListCheckOptions& check = command.checkOptions;
    if (command.check || command.audit || command.update) {
        return "--compare goes alone, not with --check, --audit or --update";
    }
    if (command.paths.size() != 2) {
        return "--compare takes two PATHs, A and B";
    }
    if (command.paths[0] == "-" || command.paths[1] == "-") {
        return "--compare reads files and folders, not standard input";
    }
    if (command.format || command.scriptFormat) {
        return "--compare takes no --format (--json writes its results as JSON Lines)";
    }
    if (check.status || check.strict || check.ignoreMissing) {
        return "--status, --strict and --ignore-missing go with --check";
    }
    return nullptr;
}

} // namespace

std::string_view ReportUsage() {
    return kUsage;
}

std::optional<ReportCommandLine> ParseReportCommandLine(std::span<const std::string_view> args,
                                                        std::string& error) {
    ReportCommandLine command;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || !arg.starts_with("-") || arg == "-") {
            command.paths.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            command.help = true;
        } else if (arg == "--version") {
            command.version = true;
        } else if (arg == "--audit") {
            command.audit = true;
        } else if (arg == "--update") {
            command.update = true;
        } else if (arg == "--compare") {
            command.compare = true;
        } else if (arg == "--expect" || arg.starts_with("--expect=")) {
            if (arg == "--expect" && i + 1 >= args.size()) {
                error = "option --expect needs a DIGEST";
                return std::nullopt;
            }
            command.expect = std::string(arg == "--expect" ? args[++i] : arg.substr(9));
        } else if (arg == "--for") {
            command.forFiles = true;
        } else if (arg == "-r" || arg == "--recursive") {
            command.recursive = true;
        } else if (arg == "--root" || arg.starts_with("--root=")) {
            if (arg == "--root" && i + 1 >= args.size()) {
                error = "option --root needs a FOLDER";
                return std::nullopt;
            }
            command.root = std::string(arg == "--root" ? args[++i] : arg.substr(7));
        } else if (arg == "--check") {
            command.check = true;
        } else if (arg == "--quiet") {
            command.checkOptions.quiet = true;
        } else if (arg == "--status") {
            command.checkOptions.status = true;
        } else if (arg == "--strict") {
            command.checkOptions.strict = true;
        } else if (arg == "--ignore-missing") {
            command.checkOptions.ignoreMissing = true;
        } else if (arg == "--json") {
            command.checkOptions.json = true;
        } else if (arg == "--sha256" || arg == "--sha512" || arg == "--blake2b") {
            // A tag of bsd lines, a field of records, a report block's line.
            BsdTags& tags = command.bsdTags;
            (arg == "--sha256"   ? tags.sha256
             : arg == "--sha512" ? tags.sha512
                                 : tags.blake2b) = true;
            SetLaterDigest(arg, command.options);
        } else if (arg == "--format" || arg.starts_with("--format=")) {
            std::string_view value;
            if (arg == "--format") {
                if (i + 1 >= args.size()) {
                    error = "option --format needs a value (" + FormatNames() + ")";
                    return std::nullopt;
                }
                value = args[++i];
            } else {
                value = arg.substr(std::string_view("--format=").size());
            }
            command.scriptFormat = ScriptFormatNamed(value);
            command.format = ListFormatNamed(value);
            if (!command.format && !command.scriptFormat) {
                error = "unknown format '" + DisplayText(value) + "' (" + FormatNames() + ")";
                return std::nullopt;
            }
        } else if (arg == "--progress" || arg == "--no-progress") {
            command.progress = arg == "--progress";
        } else if (arg == "-x" || arg == "--one-file-system") {
            command.oneFileSystem = true;
        } else if (arg == "--lang" || arg.starts_with("--lang=")) {
            std::string_view value;
            if (arg == "--lang") {
                if (i + 1 >= args.size()) {
                    error = "option --lang needs a value (chinese, taiwan or english)";
                    return std::nullopt;
                }
                value = args[++i];
            } else {
                value = arg.substr(std::string_view("--lang=").size());
            }
            command.language = LanguageOption(value);
            if (!command.language) {
                error =
                    "unknown language '" + DisplayText(value) + "' (chinese, taiwan or english)";
                return std::nullopt;
            }
        } else if (!arg.starts_with("--") ||
                   (!SetSwitch(arg, command.options) && !SetLaterDigest(arg, command.options))) {
            error = "unknown option '" + DisplayText(arg) + "'";
            return std::nullopt;
        }
    }
    if (!command.help && !command.version) {
        if (const char* wrong = CompareUsageError(command)) {
            error = wrong;
            return std::nullopt;
        }
        if (const char* wrong = ExpectUsageError(command)) {
            error = wrong;
            return std::nullopt;
        }
    }
    if (!command.help && !command.version && command.paths.empty()) {
        error =
            command.check || command.audit || command.update ? "no LIST given" : "no PATH given";
        return std::nullopt;
    }
    const ListCheckOptions& check = command.checkOptions;
    if (const char* wrong = AuditUsageError(command)) {
        error = wrong;
        return std::nullopt;
    }
    if (!command.check && !command.audit && !command.compare &&
        !(command.expect && !check.strict && !check.ignoreMissing) &&
        (check.quiet || check.status || check.strict || check.ignoreMissing)) {
        error = "--quiet, --status, --strict and --ignore-missing go with --check";
        return std::nullopt;
    }
    if (check.json && !command.check && !command.audit && !command.compare && !command.expect) {
        error = "--json goes with --check, --audit, --compare or --expect";
        return std::nullopt;
    }
    const BsdTags& tags = command.bsdTags;
    if ((tags.sha256 || tags.sha512 || tags.blake2b) &&
        (command.check || command.audit || command.update ||
         (command.format && command.format != ListFormat::Bsd &&
          command.format != ListFormat::Report))) {
        error = "--sha256, --sha512 and --blake2b go with report blocks and --format bsd, json "
                "or csv (the other formats carry one digest each: sha256sum, sha512sum, b2sum)";
        return std::nullopt;
    }
    if (AnyLaterDigest(command.options) &&
        (command.check || command.audit || command.update ||
         (command.format && command.format != ListFormat::Report &&
          command.format != ListFormat::Bsd))) {
        error = "--sha3-256, --sha3-512, --xxh3, --xxh128 and --blake3 go with report blocks "
                "and --format bsd, json or csv (the other formats carry one digest each: "
                "sha3-256sum, sha3-512sum, xxh3sum, xxh128sum, b3sum)";
        return std::nullopt;
    }
    if (command.scriptFormat && (command.check || command.audit || command.update)) {
        error = "--format json and csv are written by reports, not read as lists";
        return std::nullopt;
    }
    command.checkOptions.format = command.format;
    return command;
}

} // namespace varnel
