#pragma once

// The folder picker: asks the user for a folder and gives back its path.

#include <QString>
#include <cstdint>

class QWidget;

namespace varnel {
namespace platform {
class DialogService;
}

// The flags value that asks for file-system folders only (the only flag the
// main window passes).
inline constexpr std::uint32_t BIF_RETURNONLYFSDIRS = 1;

// Shows the folder picker owned by owner with prompt shown as given (never
// converted). On a choice: folder receives the chosen folder's full path in
// native form, without a trailing separator except for a root, itemList
// receives a non-zero value, and the result is true. On cancel, or a choice
// that is no existing folder when BIF_RETURNONLYFSDIRS is set: false, folder
// unchanged, itemList 0. There is no shell item list on this platform, so
// itemList only tells whether a choice was made; nothing needs releasing.
bool BrowseForFolder(QWidget* owner, QString& folder, const QString& prompt, std::uint32_t flags,
                     std::uintptr_t& itemList, platform::DialogService& dialogs);

// The same with Qt's own folder dialog.
bool BrowseForFolder(QWidget* owner, QString& folder, const QString& prompt, std::uint32_t flags,
                     std::uintptr_t& itemList);

// A chosen folder's path as BrowseForFolder returns it: native separators,
// trailing separators removed except from a root.
QString FolderPathWithoutTrailingSeparator(const QString& path);

} // namespace varnel
