// The Varnel program: the main window in Qt's event loop.

#include "app/common_md5_view.h"
#include "app/program_windows_module.h"

#include <QApplication>
#include <memory>

int main(int argc, char** argv) {
    // The program reads no command line: Qt sees the program name only.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication application(qtArgc, argv);
    // Names only; the program writes no settings under them.
    QCoreApplication::setOrganizationName(QStringLiteral("Varnel"));
    QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
    QGuiApplication::setQuitOnLastWindowClosed(true);

    std::unique_ptr<varnel::Common_MD5_View> mainWindow;
    varnel::Main(mainWindow);
    return QApplication::exec();
}
