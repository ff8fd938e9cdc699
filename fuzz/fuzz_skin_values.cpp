// varnel-skin's text input (values.txt) on arbitrary bytes: the parser must
// never crash, hang or accept a value of the wrong kind, and whatever it
// accepts lists without a raw control character.
#include "tools/varnel-skin/skin_tool.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QStringList errors;
    const std::optional<varnel::PropertyBag> bag =
        varnel::skintool::ParseValues(text, QStringLiteral("values.txt"), &errors);
    if (bag.has_value() == !errors.isEmpty() && !bag.has_value()) {
        std::abort(); // a refusal always says why
    }
    if (bag) {
        const QString listed = varnel::skintool::ListEntries(*bag);
        for (const QChar c : listed) {
            if (c != QLatin1Char('\n') && (c.unicode() < 0x20 || c.unicode() == 0x7F)) {
                std::abort();
            }
        }
    }
    for (const QString& error : errors) {
        for (const QChar c : error) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
                std::abort();
            }
        }
    }
    return 0;
}
