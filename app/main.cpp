// The Varnel program: the main window (or the verify window) in Qt's event
// loop.

#include "app/command_line.h"
#include "app/common_md5_view.h"
#include "app/program_windows_module.h"
#include "app/verify_window.h"
#include "platform/qt/process_environment.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    // The arguments name files and folders to report (what a desktop entry's
    // %F hands over), or with --verify the lists to verify; --help and
    // --version are answered on the terminal without a window. Qt sees the
    // program name only, so no argument is taken as one of its own options.
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    const varnel::WindowCommandLine command = varnel::ParseWindowCommandLine(args);
    switch (command.action) {
    case varnel::WindowCommandLine::Action::Help:
    case varnel::WindowCommandLine::Action::Version: {
        const std::string text = command.action == varnel::WindowCommandLine::Action::Help
                                     ? varnel::WindowUsageText()
                                     : varnel::WindowVersionText();
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
    }
    case varnel::WindowCommandLine::Action::Wrong:
        std::fprintf(stderr, "varnel: %s\nTry 'varnel --help' for more information.\n",
                     command.error.c_str());
        return 2;
    case varnel::WindowCommandLine::Action::Report:
    case varnel::WindowCommandLine::Action::Verify:
    case varnel::WindowCommandLine::Action::Compare:
        break;
    }
    const std::vector<std::string>& paths = command.paths;
    int qtArgc = argc > 0 ? 1 : 0;
    varnel::platform::DisableSessionBusAutolaunch();
    QApplication application(qtArgc, argv);
    // Names only; the program writes no settings under them.
    QCoreApplication::setOrganizationName(QStringLiteral("Varnel"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
    QGuiApplication::setQuitOnLastWindowClosed(true);
    // Ties the window to its installed desktop entry (launcher icon, name).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.varnel.Varnel"));

    // Once the window has closed, a report or a check stopped by the close
    // may still have a thread in a read that does not return (a hung network
    // mount, a FUSE read that blocks, a FIFO no writer opens): the program
    // ends without it instead of lingering, unseen, until the read returns.
    // It writes nothing, so nothing is lost.
    constexpr std::chrono::milliseconds kThreadsWait{500};
    const auto endWithout = [](int status) {
        std::fflush(nullptr);
        std::_Exit(status);
    };
    if (command.action == varnel::WindowCommandLine::Action::Verify ||
        command.action == varnel::WindowCommandLine::Action::Compare) {
        std::unique_ptr<varnel::VerifyWindow> verifyWindow;
        if (command.action == varnel::WindowCommandLine::Action::Compare) {
            varnel::MainCompare(verifyWindow, paths[0], paths[1]);
        } else {
            varnel::MainVerify(verifyWindow, paths);
        }
        const int status = QApplication::exec();
        if (!verifyWindow->RunThreadsEndWithin(kThreadsWait)) {
            endWithout(status);
        }
        return status;
    }
    std::unique_ptr<varnel::Common_MD5_View> mainWindow;
    varnel::Main(mainWindow, paths, command.digests);
    const int status = QApplication::exec();
    // The verify window opened from the main window's menu, too, within the
    // same wait.
    const auto deadline = std::chrono::steady_clock::now() + kThreadsWait;
    bool ended = mainWindow->Feed().RunThreadsEndWithin(kThreadsWait);
    if (varnel::VerifyWindow* verifyWindow = mainWindow->verifyWindow()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        ended = verifyWindow->RunThreadsEndWithin(std::max(left, std::chrono::milliseconds(0))) &&
                ended;
    }
    if (!ended) {
        endWithout(status);
    }
    return status;
}
