// varnel-report: see cli/report_command.h.
#include "cli/report_command.h"
#include "platform/os/console.h"

#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    varnel::platform::PrepareConsole();
    const std::vector<std::string> texts = varnel::platform::CommandLineArguments(argc, argv);
    const std::vector<std::string_view> args(texts.begin(), texts.end());
    return varnel::RunReportCommand(args, stdout, stderr);
}
