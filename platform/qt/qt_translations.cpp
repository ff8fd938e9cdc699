#include "platform/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace varnel::platform {

namespace {

// The translation installed now; owned by the application object, so it is
// gone with it.
QPointer<QTranslator>& Installed() {
    static QPointer<QTranslator> installed;
    return installed;
}

} // namespace

QtLanguage QtLanguageForMode(std::string_view uiLanguage) {
    if (uiLanguage == "CHINESE") {
        return QtLanguage::SimplifiedChinese;
    }
    if (uiLanguage == "TAIWAN") {
        return QtLanguage::TraditionalChinese;
    }
    return QtLanguage::English;
}

QString QtTranslationsFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

bool InstallQtTranslations(QtLanguage language, const QString& folder) {
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return false;
    }
    if (QTranslator* old = Installed().data()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    const char* file = nullptr;
    switch (language) {
    case QtLanguage::English:
        return true;
    case QtLanguage::SimplifiedChinese:
        file = "qtbase_zh_CN";
        break;
    case QtLanguage::TraditionalChinese:
        file = "qtbase_zh_TW";
        break;
    }
    auto* translator = new QTranslator(application);
    if (!translator->load(QString::fromLatin1(file), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    Installed() = translator;
    return true;
}

} // namespace varnel::platform
