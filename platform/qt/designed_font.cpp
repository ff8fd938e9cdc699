#include "platform/qt/designed_font.h"

#include <QFontDatabase>
#include <QStringList>

namespace varnel::platform {

QFont DesignedFont() {
    QFont font;
    const QStringList families = QFontDatabase::families();
    const char* const preferred[] = {"Tahoma", "WenQuanYi Zen Hei", "Noto Sans CJK SC",
                                     "Droid Sans Fallback", "AR PL UMing CN"};
    for (const char* family : preferred) {
        if (families.contains(QString::fromLatin1(family), Qt::CaseInsensitive)) {
            font.setFamily(QString::fromLatin1(family));
            break;
        }
    }
    font.setPointSizeF(8.25);
    return font;
}

} // namespace varnel::platform
