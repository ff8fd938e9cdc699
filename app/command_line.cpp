#include "app/command_line.h"

#ifndef VARNEL_VERSION
#define VARNEL_VERSION "unknown"
#endif

namespace varnel {

WindowCommandLine ParseWindowCommandLine(const std::vector<std::string_view>& args) {
    WindowCommandLine command;
    bool optionsEnded = false;
    for (const std::string_view arg : args) {
        if (optionsEnded || !arg.starts_with('-') || arg == "-") {
            command.paths.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            // The first question asked is the one answered.
            if (command.action == WindowCommandLine::Action::Report) {
                command.action = WindowCommandLine::Action::Help;
            }
        } else if (arg == "--version") {
            if (command.action == WindowCommandLine::Action::Report) {
                command.action = WindowCommandLine::Action::Version;
            }
        } else {
            command.action = WindowCommandLine::Action::Wrong;
            command.error = "unknown option " + std::string(arg);
            return command;
        }
    }
    return command;
}

std::string WindowUsageText() {
    return "usage: varnel [FILE...]\n"
           "       varnel [--help | --version]\n"
           "\n"
           "Opens the Varnel window and reports each FILE named (a folder: every file\n"
           "below it) with its path, version, size, modified time, CRC-32, SHA-1 and\n"
           "MD5. Use \"--\" before names that start with \"-\".\n"
           "\n"
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
