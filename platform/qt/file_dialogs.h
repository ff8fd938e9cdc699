#pragma once

// The two modal dialogs of the main window: the open-file dialog (the common
// dialog of the designed window) and the folder picker. Windows hold a
// DialogService so that tests can answer the dialogs without showing them.
//
// The real service uses Qt's own (non-native) dialogs. Qt's file dialog
// records its history and geometry in a user settings file when it closes;
// the program keeps no settings, so the service points Qt's user-scope
// settings at a place where no file can be created before it shows a dialog.

#include <QString>
#include <QStringList>
#include <optional>

class QFileInfo;
class QWidget;

namespace varnel::platform {

class DialogService {
public:
    DialogService() = default;
    virtual ~DialogService();
    DialogService(const DialogService&) = delete;
    DialogService& operator=(const DialogService&) = delete;

    // Shows the open-file dialog owned by owner. filter has the common-dialog
    // form "Description|*.a;*.b|Description|*.*"; its first entry is
    // selected. Returns the chosen path, or an empty text when the user
    // cancelled.
    virtual QString GetOpenFileName(QWidget* owner, const QString& filter) = 0;

    // The same dialog for one or more existing files: the chosen paths, or
    // none when the user cancelled. Without an override of its own a
    // service answers with GetOpenFileName's one file.
    virtual QStringList GetOpenFileNames(QWidget* owner, const QString& filter);

    // The open-file dialog for one file with a title that says which file it
    // asks for ("Compare: the first file"). Without an override of its own a
    // service answers as GetOpenFileName.
    virtual QString GetOpenFileNameTitled(QWidget* owner, const QString& filter,
                                          const QString& title);

    // The save-file dialog: the path chosen and the filter entry chosen
    // (its index among filter's entries), or nothing when the user
    // cancelled. suggested is the name first offered. Without an override
    // of its own a service saves nothing.
    struct SaveChoice {
        QString path;
        int filter = 0;
    };
    virtual std::optional<SaveChoice> GetSaveFileName(QWidget* owner, const QString& filter,
                                                      const QString& title,
                                                      const QString& suggested);

    // Shows the folder picker owned by owner, with prompt above the folders.
    // Returns the chosen folder as the dialog gives it, or nothing when the
    // user cancelled.
    virtual std::optional<QString> GetExistingFolder(QWidget* owner, const QString& prompt) = 0;

    // Tells, owned by owner, that no file is named name: the text the
    // open-file dialog gives a typed name that does not exist
    // (FileNotFoundText), in a message box as the dialog shows it.
    virtual void ShowFileNotFound(QWidget* owner, const QString& name) = 0;
};

// The words the dialogs' "Type" column names entries with, in the window's
// language (Qt's own words would be the system's, or English).
struct FileTypeWords {
    QString folder;     // "Folder"
    QString file;       // a file whose name has no suffix: "File"
    QString fileOfType; // a file with a suffix, %1 the suffix in capitals: "%1 File"
};

// The type of the entry info describes, in words: a folder (a link to one
// too), a file of a suffix ("SHA256 File"), a file.
QString FileTypeName(const QFileInfo& info, const FileTypeWords& words);

// Qt's own dialogs, modal to their owner.
class QtDialogService final : public DialogService {
public:
    // Entries' types in Qt's words.
    QtDialogService() = default;
    // Entries' types in words.
    explicit QtDialogService(FileTypeWords words);

    QString GetOpenFileName(QWidget* owner, const QString& filter) override;
    QStringList GetOpenFileNames(QWidget* owner, const QString& filter) override;
    QString GetOpenFileNameTitled(QWidget* owner, const QString& filter,
                                  const QString& title) override;
    std::optional<SaveChoice> GetSaveFileName(QWidget* owner, const QString& filter,
                                              const QString& title,
                                              const QString& suggested) override;
    std::optional<QString> GetExistingFolder(QWidget* owner, const QString& prompt) override;
    void ShowFileNotFound(QWidget* owner, const QString& name) override;

private:
    std::optional<FileTypeWords> m_TypeWords;
};

// What Qt's open-file dialog says of a typed name that names no file, in the
// language of the installed Qt translations.
QString FileNotFoundText(const QString& name);

// Turns a common-dialog filter ("Exe File (*.exe;*.dll)|*.exe;*.dll|File
// (*.*)|*.*") into Qt name filters. Each Qt filter keeps the designed
// description as its visible label (shown with QFileDialog's
// HideNameFilterDetails) followed by the patterns in Qt's blank-separated
// form; "*.*" becomes "*", which matches every name as it does on the
// designed system. A trailing description without patterns is dropped.
QStringList NameFiltersFromCommonDialogFilter(const QString& filter);

// Points Qt's user-scope settings at a location where nothing can be
// written, so that Qt's dialogs store no history in the user's folder.
// Harmless to call more than once.
void KeepQtSettingsOffDisk();

} // namespace varnel::platform
