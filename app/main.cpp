// The Varnel program: the main window in Qt's event loop.

#include "app/common_md5_view.h"
#include "app/program_windows_module.h"
#include "platform/qt/process_environment.h"

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Every argument names a file or folder to report (what a desktop entry's
    // %F hands over). Qt sees the program name only, so no argument is taken
    // as one of its own options.
    std::vector<std::string> paths;
    for (int i = 1; i < argc; ++i) {
        paths.emplace_back(argv[i]);
    }
    int qtArgc = argc > 0 ? 1 : 0;
    varnel::platform::DisableSessionBusAutolaunch();
    QApplication application(qtArgc, argv);
    // Names only; the program writes no settings under them.
    QCoreApplication::setOrganizationName(QStringLiteral("Varnel"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
    QGuiApplication::setQuitOnLastWindowClosed(true);
    // Ties the window to its installed desktop entry (launcher icon, name).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.varnel.Varnel"));

    std::unique_ptr<varnel::Common_MD5_View> mainWindow;
    varnel::Main(mainWindow, paths);
    const int status = QApplication::exec();
    // The window has closed. A report stopped by the close may still have a
    // thread in a read that does not return (a hung network mount, a FUSE
    // read that blocks): the program ends without it instead of lingering,
    // unseen, until the read returns. It writes nothing, so nothing is lost.
    if (!mainWindow->Feed().RunThreadsEndWithin(std::chrono::milliseconds(500))) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
