// Shows the main window as the program does, with the blocks of the files
// named on the command line already reported, for looking at the window
// under a real X server (screenshots). Not a test and not the program: the
// program itself reads no command line.
//
//   window_snapshot FILE... [--folder DIR] [--seconds N] [--about]
//
// --folder starts a folder report of DIR after the files (shots during the
// run and after it). --about opens the about window (the more-tools command)
// once the files are reported.

#include "app/common_md5_view.h"
#include "app/program_windows_module.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <memory>

int main(int argc, char** argv) {
    int qtArgc = 1;
    QApplication application(qtArgc, argv);
    std::unique_ptr<varnel::Common_MD5_View> window;
    varnel::Main(window);
    int seconds = 30;
    bool about = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--about") == 0) {
            about = true;
            continue;
        }
        if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
            window->setFolderPath(QFile::decodeName(argv[++i]));
            window->ReportFolder();
            continue;
        }
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
            continue;
        }
        window->setFilePath(QFile::decodeName(argv[i]));
        window->ReportFile();
    }
    if (about) {
        window->Command7_Click();
    }
    QTimer::singleShot(seconds * 1000, &application, &QApplication::quit);
    return QApplication::exec();
}
