// Qt's own translations: each language mode gets its catalogue, a missing
// catalogue leaves Qt's English texts, and changing the language replaces
// the one installed before.
#include "platform/qt/qt_translations.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace varnel::platform {
namespace {

// The texts of a button box with the Open and Cancel buttons, made now.
QString OpenAndCancel() {
    QDialogButtonBox box(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    return box.button(QDialogButtonBox::Open)->text() + QLatin1Char('|') +
           box.button(QDialogButtonBox::Cancel)->text();
}

TEST(QtTranslations, FollowTheLanguageModeAndFallBackToEnglish) {
    const QString installed = QtTranslationsFolder();
    if (!QFile::exists(installed + QStringLiteral("/qtbase_zh_CN.qm")) ||
        !QFile::exists(installed + QStringLiteral("/qtbase_zh_TW.qm"))) {
        GTEST_SKIP() << "Qt's translations are not installed in " << installed.toStdString();
    }
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    // A catalogue that is no catalogue at all.
    QTemporaryDir broken;
    ASSERT_TRUE(broken.isValid());
    QFile junk(broken.path() + QStringLiteral("/qtbase_zh_TW.qm"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a catalogue");
    junk.close();

    struct Case {
        const char* mode;
        QString folder;
        bool loaded;
        const char* texts;
    };
    // In an order that replaces each catalogue by the next.
    const Case cases[] = {
        {"CHINESE", installed, true, "打开|取消"},
        {"TAIWAN", installed, true, "開啟|取消"},
        {"", installed, true, "Open|Cancel"},
        {"TAIWAN", installed, true, "開啟|取消"},
        {"CHINESE", empty.path(), false, "Open|Cancel"},
        {"TAIWAN", broken.path(), false, "Open|Cancel"},
        {"ENGLISH", installed, true, "Open|Cancel"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InstallQtTranslations(QtLanguageForMode(c.mode), c.folder), c.loaded)
            << c.mode << " from " << c.folder.toStdString();
        EXPECT_EQ(OpenAndCancel().toStdString(), c.texts)
            << c.mode << " from " << c.folder.toStdString();
    }
}

} // namespace
} // namespace varnel::platform
