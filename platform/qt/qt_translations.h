#pragma once

// Qt's own translations of the texts Qt draws itself: the buttons and labels
// of the open-file dialog and the folder picker (Open, Cancel, Look in, ...)
// and the standard buttons of any dialog. They follow the program's language
// mode, so a Chinese interface gets Chinese dialogs.

#include <QString>

#include <string_view>

namespace varnel::platform {

enum class QtLanguage {
    English,            // Qt's built-in texts
    SimplifiedChinese,  // qtbase_zh_CN
    TraditionalChinese, // qtbase_zh_TW
};

// The language of Qt's texts for a language mode of the program ("CHINESE",
// "TAIWAN", or anything else for English).
QtLanguage QtLanguageForMode(std::string_view uiLanguage);

// The folder Qt's own translation files are installed in.
QString QtTranslationsFolder();

// Makes Qt's texts speak language from now on, with the translation files of
// folder: the translation installed before (if any) is taken out, and the one
// for language put in. English, or a translation that cannot be loaded (files
// missing or unreadable), leaves Qt's English texts: false is then returned
// for a Chinese language, and nothing else happens. Call on the application's
// thread once the application object exists.
bool InstallQtTranslations(QtLanguage language, const QString& folder = QtTranslationsFolder());

} // namespace varnel::platform
