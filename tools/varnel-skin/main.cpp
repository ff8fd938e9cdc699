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
    // Written by length: the text is never cut at a NUL, and a failed write
    // of the output is a failure of the run.
    const QByteArray outBytes = out.toLocal8Bit();
    const QByteArray errBytes = err.toLocal8Bit();
    const bool written =
        std::fwrite(outBytes.constData(), 1, static_cast<std::size_t>(outBytes.size()), stdout) ==
            static_cast<std::size_t>(outBytes.size()) &&
        std::fflush(stdout) == 0;
    std::fwrite(errBytes.constData(), 1, static_cast<std::size_t>(errBytes.size()), stderr);
    if (!written && status == varnel::skintool::kExitOk) {
        std::fputs("varnel-skin: cannot write the output\n", stderr);
        return varnel::skintool::kExitFailure;
    }
    return status;
}
