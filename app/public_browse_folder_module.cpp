#include "app/public_browse_folder_module.h"

#include "platform/qt/file_dialogs.h"

#include <QDir>
#include <QFileInfo>

namespace varnel {

QString FolderPathWithoutTrailingSeparator(const QString& path) {
    QString result = QDir::toNativeSeparators(path);
    const QChar separator = QDir::separator();
    while (result.size() > 1 && result.endsWith(separator)) {
        // A drive root ("C:\") keeps its separator.
        if (result.size() == 3 && result.at(1) == QLatin1Char(':')) {
            break;
        }
        result.chop(1);
    }
    return result;
}

bool BrowseForFolder(QWidget* owner, QString& folder, const QString& prompt, std::uint32_t flags,
                     std::uintptr_t& itemList, platform::DialogService& dialogs) {
    itemList = 0;
    const std::optional<QString> chosen = dialogs.GetExistingFolder(owner, prompt);
    if (!chosen.has_value() || chosen->isEmpty()) {
        return false;
    }
    const QString path = FolderPathWithoutTrailingSeparator(*chosen);
    if ((flags & BIF_RETURNONLYFSDIRS) != 0 && !QFileInfo(path).isDir()) {
        return false;
    }
    itemList = 1;
    folder = path;
    return true;
}

bool BrowseForFolder(QWidget* owner, QString& folder, const QString& prompt, std::uint32_t flags,
                     std::uintptr_t& itemList) {
    platform::QtDialogService dialogs;
    return BrowseForFolder(owner, folder, prompt, flags, itemList, dialogs);
}

} // namespace varnel
