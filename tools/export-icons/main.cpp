// export-icons: writes the program's icon, drawn by the code that draws the
// window icon, as PNG files of a freedesktop icon theme:
//
//   export-icons THEME_DIR NAME SIZE...
//
// writes THEME_DIR/<SIZE>x<SIZE>/apps/NAME.png for each SIZE (1 to 1024).
#include "app/program_icon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QString>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() < 3) {
        std::fputs("usage: export-icons THEME_DIR NAME SIZE...\n", stderr);
        return 2;
    }
    const QString& themeDir = args[0];
    const QString& name = args[1];
    for (const QString& sizeText : args.mid(2)) {
        bool isNumber = false;
        const int size = sizeText.toInt(&isNumber);
        if (!isNumber || size < 1 || size > 1024) {
            std::fprintf(stderr, "export-icons: not a size: %s\n", qPrintable(sizeText));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(themeDir).arg(size);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "export-icons: cannot make %s\n", qPrintable(folder));
            return 1;
        }
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        const QPixmap icon = varnel::DrawProgramIcon(size);
        if (icon.width() != size || icon.height() != size || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "export-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
