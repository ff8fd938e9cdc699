// varnel-skin: builds, takes apart and lists skin stores (see skin_tool.h and
// docs/skin-format.md).
#include "tools/varnel-skin/skin_tool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString out;
    QString err;
    const int status = varnel::skintool::Run(QCoreApplication::arguments().mid(1), out, err);
    std::fputs(out.toLocal8Bit().constData(), stdout);
    std::fputs(err.toLocal8Bit().constData(), stderr);
    return status;
}
