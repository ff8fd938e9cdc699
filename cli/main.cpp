// varnel-report: see cli/report_command.h.
#include "cli/report_command.h"

#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return varnel::RunReportCommand(args, stdout, stderr);
}
