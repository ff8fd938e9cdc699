#pragma once

// A window's system menu: a model of our own (identifier, state, text per
// item), kept per top-level window by the window-style service
// (winstyle/window_style.h). PopupSystemMenu shows it as a QMenu whose items
// act on the window.
//
// Every function takes the window as a widget (any widget stands for its
// top-level window); a null widget or menu is "no menu": reads give -1,
// NoMenuItem or nothing, writes do nothing.

#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QMenu;
class QWidget;

namespace varnel::platform {

// System-menu command identifiers.
inline constexpr std::uint32_t SC_SIZE = 0xF000;
inline constexpr std::uint32_t SC_MOVE = 0xF010;
inline constexpr std::uint32_t SC_MINIMIZE = 0xF020;
inline constexpr std::uint32_t SC_MAXIMIZE = 0xF030;
inline constexpr std::uint32_t SC_CLOSE = 0xF060;
inline constexpr std::uint32_t SC_RESTORE = 0xF120;

// Menu item states (MFS_GRAYED is both bits: grayed and disabled).
inline constexpr std::uint32_t MFS_ENABLED = 0x0;
inline constexpr std::uint32_t MF_GRAYED = 0x1;
inline constexpr std::uint32_t MF_DISABLED = 0x2;
// A checkable item's check mark (see MenuItemInfo::checkable).
inline constexpr std::uint32_t MF_CHECKED = 0x8;

// Which fields SetMenuItemInfo writes.
inline constexpr std::uint32_t MIIM_STATE = 0x1;
inline constexpr std::uint32_t MIIM_ID = 0x2;

// Either state bit makes an item unavailable.
inline constexpr std::uint32_t kGrayedOrDisabled = MF_GRAYED | MF_DISABLED;

// What GetMenuItemID answers for a position that holds no item.
inline constexpr std::uint32_t NoMenuItem = 0xFFFFFFFF;

// The words of the system menu, in the interface's language mode: English,
// Simplified Chinese ("CHINESE"), or Traditional Chinese ("TAIWAN", the
// Simplified text converted).
enum class MenuWord { Restore, Move, Size, Minimize, Maximize, Close };
QString MenuText(MenuWord word);

// One item of a system menu. A separator has identifier 0.
struct MenuItemInfo {
    std::uint32_t id = 0;
    std::uint32_t state = MFS_ENABLED;
    QString text;
    bool separator = false;
    // An item a program adds runs this when chosen, in place of a system
    // command (empty for the system's own items).
    std::function<void()> action;
    // Shown with a check box, ticked while state has MF_CHECKED. Choosing it
    // runs its action only: the action says what the mark becomes
    // (CheckMenuItem).
    bool checkable = false;
    // Not empty: the item opens these items as a submenu, and is no command.
    std::vector<MenuItemInfo> submenu;
};

// A window's system menu: Restore, Move, Size, Minimize, Maximize, a
// separator and Close, in that order, until changed; their texts follow the
// language mode when the menu is made.
class SystemMenu {
public:
    explicit SystemMenu(QWidget* window);

    int count() const { return static_cast<int>(m_Items.size()); }
    // The item at position, or nothing when there is none.
    std::optional<MenuItemInfo> at(int position) const;
    // Writes the fields of mask (MIIM_STATE, MIIM_ID) at position; false when
    // there is no item there.
    bool set(int position, std::uint32_t mask, const MenuItemInfo& info);
    // Removes the item at position; false when there is none.
    bool removeAt(int position);
    // Removes the first item whose identifier is exactly id; false when none.
    bool removeCommand(std::uint32_t id);
    // Adds item after the last one.
    void append(MenuItemInfo item);
    // The item, at any depth of submenus, whose identifier is exactly id
    // (separators and submenus themselves apart); null when none.
    const MenuItemInfo* find(std::uint32_t id) const;
    // Sets or clears MF_CHECKED of that item; false when there is none.
    bool setChecked(std::uint32_t id, bool checked);

    // A window that draws its own frame (a skinned caption) tells the menu
    // what that frame can do now and carries out the commands itself: see
    // SetOwnFrameCommands.
    struct OwnFrame {
        // Whether Restore, Minimize or Maximize fits the window now.
        std::function<bool(std::uint32_t command)> can;
        // Carries the command out as the frame's own button does.
        std::function<void(std::uint32_t command)> run;
    };
    const OwnFrame& ownFrame() const { return m_OwnFrame; }
    void setOwnFrame(OwnFrame frame) { m_OwnFrame = std::move(frame); }

private:
    void ItemsChanged();

    QWidget* m_Window;
    std::vector<MenuItemInfo> m_Items;
    OwnFrame m_OwnFrame;
};

// The window's system menu, made on first use; it lives as long as the
// window. Null for no window.
SystemMenu* GetSystemMenu(QWidget* window);

// The Restore, Minimize and Maximize items of a window without a system
// title bar follow what its own frame can do (can), and act through that
// frame (run), in place of the style bits that such a window does not carry:
// the items are offered while the frame's buttons work, and do what those
// buttons do. Either function may be empty (the style bits' rule, and the
// system's command). Nothing for no window.
void SetOwnFrameCommands(QWidget* window, SystemMenu::OwnFrame commands);

// -1 for no menu.
int GetMenuItemCount(const SystemMenu* menu);
// The identifier at position: 0 for a separator, NoMenuItem when there is no
// item there.
std::uint32_t GetMenuItemID(const SystemMenu* menu, int position);
std::optional<MenuItemInfo> GetMenuItemInfo(const SystemMenu* menu, int position);
bool SetMenuItemInfo(SystemMenu* menu, int position, std::uint32_t mask, const MenuItemInfo& info);
bool RemoveMenuByPosition(SystemMenu* menu, int position);
bool RemoveMenuByCommand(SystemMenu* menu, std::uint32_t id);

// Adds an item of the program's own after the menu's last item: text, and
// the action run when it is chosen (identifiers below SC_SIZE are free for
// such items). AppendMenuSeparator adds a separator. False for no menu.
bool AppendMenuItem(SystemMenu* menu, std::uint32_t id, const QString& text,
                    std::function<void()> action);
bool AppendMenuSeparator(SystemMenu* menu);
// Adds a submenu of the program's own after the menu's last item: text, and
// its items (checkable ones among them), each chosen as an item of the menu
// itself would be. False for no menu.
bool AppendSubMenu(SystemMenu* menu, const QString& text, std::vector<MenuItemInfo> items);
// Ticks (checked) or clears the check mark of the item whose identifier is
// id, in the menu or its submenus; false for no menu or no such item.
bool CheckMenuItem(SystemMenu* menu, std::uint32_t id, bool checked);

// Pops the window's system menu up at a screen point and returns it (it
// deletes itself when closed); null for no window. An item acts on the
// window when chosen. Besides the menu's own states, items that do not fit
// the window's state and style are disabled, as the system does each time it
// shows the menu: Restore unless minimised or maximised; Move and Size while
// maximised; Size without the thick frame; Minimize and Maximize without
// their box or while already so. A grayed item no longer carries its command
// identifier, so no such rule enables it again.
QMenu* PopupSystemMenu(QWidget* window, QPoint screen);

// Carries out a system command on the window, as choosing it in the menu
// does: restore, move or size (the window follows the mouse), minimise,
// maximise, close, or the action of an item the program added under that
// identifier (unless the item is grayed). An identifier with bit 15 cleared
// (a grayed system item) and any other identifier do nothing.
void SysCommand(QWidget* window, std::uint32_t command);

} // namespace varnel::platform
