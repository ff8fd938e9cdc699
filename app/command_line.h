#pragma once

// The program's command line: the files and folders to report, the lists to
// verify (--verify), or a question answered on the terminal (--help,
// --version) without opening a window.

#include "digest/digest_kinds.h"

#include <string>
#include <string_view>
#include <vector>

namespace varnel {

struct WindowCommandLine {
    enum class Action {
        Report,  // open the window and report paths (none: an empty report)
        Verify,  // open the verify window and verify paths, checksum lists
        Compare, // open the verify window and compare the two paths
        Help,    // print the usage on standard output
        Version, // print the program's name and version on standard output
        Wrong,   // an option the program does not know: error says which
    };
    Action action = Action::Report;
    std::vector<std::string> paths; // native bytes, in the order given
    // --sha256, --blake3, ...: the digests the report blocks carry besides
    // the designed lines, chosen from the start (varnel-report's options of
    // the same names).
    DigestSelection digests;
    std::string error;
};

// Reads the arguments after the program's name. "--" ends the options, so
// that "varnel -- --help" reports a file named "--help"; "-" alone is a
// path. Any other argument starting with "-" is an option: the options of
// the report's added digest lines, taken from the table of digest kinds
// (--sha256, --sha3-256, --xxh3, ...), --verify, which makes
// every path a list to verify, or --compare, which compares two paths; any
// other is a usage error.
WindowCommandLine ParseWindowCommandLine(const std::vector<std::string_view>& args);

// The texts printed for --help and --version, each ending with a line end.
std::string WindowUsageText();
std::string WindowVersionText();

} // namespace varnel
