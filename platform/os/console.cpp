#include "platform/os/console.h"

namespace varnel::platform {

void PrepareConsole() noexcept {}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    return args;
}

} // namespace varnel::platform
