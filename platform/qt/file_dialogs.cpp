#include "platform/qt/file_dialogs.h"

#include <algorithm>

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include <utility>

namespace varnel::platform {

DialogService::~DialogService() = default;

QStringList NameFiltersFromCommonDialogFilter(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (trimmed.isEmpty()) {
                continue;
            }
            patterns.append(trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
        }
        if (patterns.isEmpty()) {
            continue;
        }
        // Qt reads the patterns from the last parenthesised group and, with
        // HideNameFilterDetails, shows everything before it: the designed label.
        result.append(parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')'));
    }
    return result;
}

void KeepQtSettingsOffDisk() {
    // /dev/null is no folder, so no settings file can be created below it;
    // QSettings then keeps its values in memory only and fails quietly.
    const QString nowhere = QStringLiteral("/dev/null");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, nowhere);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, nowhere);
}

QStringList DialogService::GetOpenFileNames(QWidget* owner, const QString& filter) {
    const QString chosen = GetOpenFileName(owner, filter);
    return chosen.isEmpty() ? QStringList() : QStringList{chosen};
}

QString DialogService::GetOpenFileNameTitled(QWidget* owner, const QString& filter,
                                             const QString&) {
    return GetOpenFileName(owner, filter);
}

std::optional<DialogService::SaveChoice>
DialogService::GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) {
    return std::nullopt;
}

QString FileTypeName(const QFileInfo& info, const FileTypeWords& words) {
    if (info.isDir()) {
        return words.folder;
    }
    const QString suffix = info.suffix();
    return suffix.isEmpty() ? words.file : words.fileOfType.arg(suffix.toUpper());
}

QtDialogService::QtDialogService(FileTypeWords words) : m_TypeWords(std::move(words)) {}

namespace {

// Qt's icons, with the types in the given words. Qt's file system model
// asks for a type on its gatherer thread: the words are only read.
class TypeNamingIcons final : public QFileIconProvider {
public:
    explicit TypeNamingIcons(const FileTypeWords& words) : m_Words(words) {}
    QString type(const QFileInfo& info) const override { return FileTypeName(info, m_Words); }

private:
    FileTypeWords m_Words;
};

// The open-file dialog in mode (one existing file, or several): the chosen
// paths, none when cancelled. The dialog lists folders through Qt's file
// system model, whose gatherer thread looks at the files; the caller gets
// names only and reads nothing here. icons: the types' words (null: Qt's).
QStringList ChooseFiles(QWidget* owner, const QString& filter, QFileDialog::FileMode mode,
                        QAbstractFileIconProvider* icons, const QString& title = QString()) {
    KeepQtSettingsOffDisk();
    QFileDialog dialog(owner);
    if (!title.isEmpty()) {
        dialog.setWindowTitle(title);
    }
    // Read-only: the dialog only chooses; it offers no way to make, rename
    // or delete files and folders.
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails |
                      QFileDialog::ReadOnly);
    // Once the dialog is Qt's own, which has the model the icons serve.
    if (icons != nullptr) {
        dialog.setIconProvider(icons);
    }
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(mode);
    const QStringList filters = NameFiltersFromCommonDialogFilter(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.first());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

} // namespace

QString QtDialogService::GetOpenFileName(QWidget* owner, const QString& filter) {
    // The icons outlive the dialog that uses them.
    std::optional<TypeNamingIcons> icons;
    if (m_TypeWords) {
        icons.emplace(*m_TypeWords);
    }
    const QStringList chosen =
        ChooseFiles(owner, filter, QFileDialog::ExistingFile, icons ? &*icons : nullptr);
    return chosen.isEmpty() ? QString() : chosen.first();
}

QString QtDialogService::GetOpenFileNameTitled(QWidget* owner, const QString& filter,
                                               const QString& title) {
    std::optional<TypeNamingIcons> icons;
    if (m_TypeWords) {
        icons.emplace(*m_TypeWords);
    }
    const QStringList chosen =
        ChooseFiles(owner, filter, QFileDialog::ExistingFile, icons ? &*icons : nullptr, title);
    return chosen.isEmpty() ? QString() : chosen.first();
}

std::optional<DialogService::SaveChoice>
QtDialogService::GetSaveFileName(QWidget* owner, const QString& filter, const QString& title,
                                 const QString& suggested) {
    KeepQtSettingsOffDisk();
    std::optional<TypeNamingIcons> icons;
    if (m_TypeWords) {
        icons.emplace(*m_TypeWords);
    }
    QFileDialog dialog(owner);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    if (icons) {
        dialog.setIconProvider(&*icons);
    }
    dialog.setWindowTitle(title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = NameFiltersFromCommonDialogFilter(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.first());
    }
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return SaveChoice{dialog.selectedFiles().first(),
                      std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())))};
}

QStringList QtDialogService::GetOpenFileNames(QWidget* owner, const QString& filter) {
    std::optional<TypeNamingIcons> icons;
    if (m_TypeWords) {
        icons.emplace(*m_TypeWords);
    }
    QStringList chosen =
        ChooseFiles(owner, filter, QFileDialog::ExistingFiles, icons ? &*icons : nullptr);
    chosen.removeAll(QString());
    return chosen;
}

std::optional<QString> QtDialogService::GetExistingFolder(QWidget* owner, const QString& prompt) {
    KeepQtSettingsOffDisk();
    std::optional<TypeNamingIcons> icons;
    if (m_TypeWords) {
        icons.emplace(*m_TypeWords);
    }
    QFileDialog dialog(owner);
    dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ShowDirsOnly |
                      QFileDialog::ReadOnly);
    if (icons) {
        dialog.setIconProvider(&*icons);
    }
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setWindowTitle(prompt);
    dialog.setLabelText(QFileDialog::LookIn, prompt);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty()) {
        return std::nullopt;
    }
    return chosen.first();
}

QString FileNotFoundText(const QString& name) {
    // Qt's own words, so that the translation installed for its dialogs
    // serves this message too.
    return QCoreApplication::translate(
               "QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.")
        .arg(name);
}

void QtDialogService::ShowFileNotFound(QWidget* owner, const QString& name) {
    // Opened, not run: the window goes on with the files that were found
    // while the message waits for its OK (a nested event loop here would
    // hold up everything the window does at start-up).
    auto* box =
        new QMessageBox(QMessageBox::Warning, owner != nullptr ? owner->windowTitle() : QString(),
                        FileNotFoundText(name), QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace varnel::platform
