#include "platform/os/console.h"

#include "platform/os/win/wide_text.h"

#include <shellapi.h>

namespace varnel::platform {

namespace {

// The status a shell reports for a program SIGINT ended (128 + 2).
constexpr UINT kInterruptedStatus = 130;

BOOL WINAPI OnControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        // Ended at once, as a signal ends a process: no clean-up runs that
        // the interrupted threads might be in the middle of.
        ::TerminateProcess(::GetCurrentProcess(), kInterruptedStatus);
    }
    return FALSE;
}

} // namespace

void PrepareConsole() noexcept {
    ::SetConsoleOutputCP(CP_UTF8);
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    if (wide == nullptr) {
        for (int i = 1; i < argc; ++i) {
            args.emplace_back(argv[i]);
        }
        return args;
    }
    for (int i = 1; i < count; ++i) {
        args.push_back(win::Utf8FromWide(wide[i]));
    }
    ::LocalFree(wide);
    return args;
}

} // namespace varnel::platform
