#include "winstyle/system_menu.h"

#include "i18n/shown_text.h"
#include "platform/qt/window_services.h"
#include "winstyle/window_style.h"

#include <QAction>
#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <utility>

namespace varnel::platform {
namespace {

// The window a widget stands for; null for no widget.
QWidget* TopLevel(const QWidget* widget) {
    return widget != nullptr ? widget->window() : nullptr;
}

// The commands a window's own frame may answer for.
bool OwnFrameCommand(std::uint32_t command) {
    return command == SC_RESTORE || command == SC_MINIMIZE || command == SC_MAXIMIZE;
}

// Whether the system would offer command for the window in its present state
// and style (or, for a window with a frame of its own, what that frame says).
bool FitsWindow(QWidget* window, std::uint32_t command) {
    const SystemMenu::OwnFrame& own = GetSystemMenu(window)->ownFrame();
    if (own.can && OwnFrameCommand(command)) {
        return own.can(command);
    }
    const std::uint32_t style = GetWindowLong(window, WindowLong::Style);
    const bool minimized = window->isMinimized();
    const bool maximized = window->isMaximized();
    switch (command) {
    case SC_RESTORE:
        return minimized || maximized;
    case SC_MOVE:
        return !maximized;
    case SC_SIZE:
        return !maximized && !minimized && (style & WS_THICKFRAME) != 0;
    case SC_MINIMIZE:
        return !minimized && (style & WS_MINIMIZEBOX) != 0;
    case SC_MAXIMIZE:
        return !maximized && (style & WS_MAXIMIZEBOX) != 0;
    default:
        return true;
    }
}

// The small glyph beside a menu item: two overlapping windows for Restore, a
// bar for Minimize, a window for Maximize, a cross for Close.
QPixmap CommandGlyph(std::uint32_t command, const QColor& ink) {
    constexpr int kSize = 16;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QPen pen(ink, 1);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const auto frame = [&painter, &ink](QRect box) {
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.fillRect(QRect(box.left(), box.top(), box.width(), 2), ink); // title edge
    };
    switch (command) {
    case SC_RESTORE:
        frame(QRect(6, 3, 8, 7));
        // The front window hides the back one where they overlap.
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(QRect(3, 6, 8, 7), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        frame(QRect(3, 6, 8, 7));
        break;
    case SC_MINIMIZE:
        painter.fillRect(QRect(4, 11, 8, 2), ink);
        break;
    case SC_MAXIMIZE:
        frame(QRect(3, 3, 10, 10));
        break;
    case SC_CLOSE:
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(ink, 1.6));
        painter.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        painter.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
        break;
    default:
        break;
    }
    painter.end();
    return pixmap;
}

// The glyph in the menu's text colour, and in its disabled text colour for a
// disabled item (the same gray as the item's text).
QIcon CommandIcon(const QWidget* window, std::uint32_t command) {
    if (command != SC_RESTORE && command != SC_MINIMIZE && command != SC_MAXIMIZE &&
        command != SC_CLOSE) {
        return {};
    }
    const QPalette& palette = window->palette();
    QIcon icon;
    icon.addPixmap(CommandGlyph(command, palette.color(QPalette::Active, QPalette::Text)),
                   QIcon::Normal);
    icon.addPixmap(CommandGlyph(command, palette.color(QPalette::Disabled, QPalette::Text)),
                   QIcon::Disabled);
    return icon;
}

// The item under id in items or their submenus (separators and submenus
// themselves apart); null when none. Items is the vector, const or not.
template <typename Items>
auto FindItem(Items& items, std::uint32_t id) -> decltype(&items.front()) {
    for (auto& item : items) {
        if (!item.submenu.empty()) {
            if (auto* inner = FindItem(item.submenu, id)) {
                return inner;
            }
        } else if (!item.separator && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

// Runs the action of the enabled item the program added under id, if any.
void RunAddedItem(QWidget* top, std::uint32_t id) {
    const MenuItemInfo* item = GetSystemMenu(top)->find(id);
    if (item != nullptr && item->action && (item->state & kGrayedOrDisabled) == 0) {
        // A copy: the action may change the menu it stands in.
        const std::function<void()> action = item->action;
        action();
    }
}

} // namespace

QString MenuText(MenuWord word) {
    struct Texts {
        const char* english;
        const char* chinese; // Simplified; Big5 in the Traditional mode
    };
    static constexpr Texts kTexts[] = {
        {"&Restore", "还原(&R)"},    {"&Move", "移动(&M)"},
        {"&Size", "大小(&S)"},       {"Mi&nimize", "最小化(&N)"},
        {"Ma&ximize", "最大化(&X)"}, {"&Close\tAlt+F4", "关闭(&C)\tAlt+F4"},
    };
    const Texts& texts = kTexts[static_cast<std::size_t>(word)];
    return ShownText(texts.chinese, texts.english);
}

SystemMenu::SystemMenu(QWidget* window) : m_Window(window) {
    const auto item = [](std::uint32_t id, QString text) {
        MenuItemInfo info;
        info.id = id;
        info.text = std::move(text);
        return info;
    };
    MenuItemInfo separator;
    separator.separator = true;
    m_Items = {item(SC_RESTORE, MenuText(MenuWord::Restore)),
               item(SC_MOVE, MenuText(MenuWord::Move)),
               item(SC_SIZE, MenuText(MenuWord::Size)),
               item(SC_MINIMIZE, MenuText(MenuWord::Minimize)),
               item(SC_MAXIMIZE, MenuText(MenuWord::Maximize)),
               separator,
               item(SC_CLOSE, MenuText(MenuWord::Close))};
}

std::optional<MenuItemInfo> SystemMenu::at(int position) const {
    if (position < 0 || position >= count()) {
        return std::nullopt;
    }
    return m_Items[static_cast<std::size_t>(position)];
}

bool SystemMenu::set(int position, std::uint32_t mask, const MenuItemInfo& info) {
    if (position < 0 || position >= count()) {
        return false;
    }
    MenuItemInfo& item = m_Items[static_cast<std::size_t>(position)];
    if ((mask & MIIM_STATE) != 0) {
        item.state = info.state;
    }
    if ((mask & MIIM_ID) != 0) {
        item.id = info.id;
    }
    ItemsChanged();
    return true;
}

bool SystemMenu::removeAt(int position) {
    if (position < 0 || position >= count()) {
        return false;
    }
    m_Items.erase(m_Items.begin() + position);
    ItemsChanged();
    return true;
}

bool SystemMenu::removeCommand(std::uint32_t id) {
    const auto found = std::find_if(m_Items.begin(), m_Items.end(),
                                    [id](const MenuItemInfo& item) { return item.id == id; });
    if (found == m_Items.end()) {
        return false;
    }
    m_Items.erase(found);
    ItemsChanged();
    return true;
}

void SystemMenu::append(MenuItemInfo item) {
    m_Items.push_back(std::move(item));
    ItemsChanged();
}

const MenuItemInfo* SystemMenu::find(std::uint32_t id) const {
    return FindItem(m_Items, id);
}

bool SystemMenu::setChecked(std::uint32_t id, bool checked) {
    MenuItemInfo* item = FindItem(m_Items, id);
    if (item == nullptr) {
        return false;
    }
    item->state = checked ? (item->state | MF_CHECKED) : (item->state & ~MF_CHECKED);
    return true;
}

void SystemMenu::ItemsChanged() {
    // The close button follows the Close item once the frame is ours.
    if (detail::StyleApplied(m_Window)) {
        FrameChanged(m_Window);
    }
}

SystemMenu* GetSystemMenu(QWidget* window) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return nullptr;
    }
    std::unique_ptr<SystemMenu>& menu = detail::SystemMenuOf(top);
    if (!menu) {
        menu = std::make_unique<SystemMenu>(top);
    }
    return menu.get();
}

int GetMenuItemCount(const SystemMenu* menu) {
    return menu != nullptr ? menu->count() : -1;
}

std::uint32_t GetMenuItemID(const SystemMenu* menu, int position) {
    const auto item = GetMenuItemInfo(menu, position);
    if (!item) {
        return NoMenuItem;
    }
    return item->separator ? 0 : item->id;
}

std::optional<MenuItemInfo> GetMenuItemInfo(const SystemMenu* menu, int position) {
    return menu != nullptr ? menu->at(position) : std::nullopt;
}

bool SetMenuItemInfo(SystemMenu* menu, int position, std::uint32_t mask, const MenuItemInfo& info) {
    return menu != nullptr && menu->set(position, mask, info);
}

bool RemoveMenuByPosition(SystemMenu* menu, int position) {
    return menu != nullptr && menu->removeAt(position);
}

bool RemoveMenuByCommand(SystemMenu* menu, std::uint32_t id) {
    return menu != nullptr && menu->removeCommand(id);
}

bool AppendMenuItem(SystemMenu* menu, std::uint32_t id, const QString& text,
                    std::function<void()> action) {
    if (menu == nullptr) {
        return false;
    }
    MenuItemInfo item;
    item.id = id;
    item.text = text;
    item.action = std::move(action);
    menu->append(std::move(item));
    return true;
}

bool AppendMenuSeparator(SystemMenu* menu) {
    if (menu == nullptr) {
        return false;
    }
    MenuItemInfo separator;
    separator.separator = true;
    menu->append(std::move(separator));
    return true;
}

bool AppendSubMenu(SystemMenu* menu, const QString& text, std::vector<MenuItemInfo> items) {
    if (menu == nullptr || items.empty()) {
        return false;
    }
    MenuItemInfo item;
    item.text = text;
    item.submenu = std::move(items);
    menu->append(std::move(item));
    return true;
}

bool CheckMenuItem(SystemMenu* menu, std::uint32_t id, bool checked) {
    return menu != nullptr && menu->setChecked(id, checked);
}

void SetOwnFrameCommands(QWidget* window, SystemMenu::OwnFrame commands) {
    if (SystemMenu* menu = GetSystemMenu(window); menu != nullptr) {
        menu->setOwnFrame(std::move(commands));
    }
}

namespace {

// Fills menu with items: separators, submenus, and commands that act on top.
void AddMenuItems(QMenu* menu, QWidget* top, const std::vector<MenuItemInfo>& items) {
    QPointer<QWidget> target(top);
    for (const MenuItemInfo& item : items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        if (!item.submenu.empty()) {
            QMenu* submenu = menu->addMenu(item.text);
            submenu->setEnabled((item.state & kGrayedOrDisabled) == 0);
            AddMenuItems(submenu, top, item.submenu);
            continue;
        }
        // A grayed item keeps its glyph: the identifier with bit 15 set again.
        const std::uint32_t glyph = item.id | 0x8000;
        QAction* action = menu->addAction(CommandIcon(top, glyph), item.text);
        action->setData(item.id);
        action->setEnabled((item.state & kGrayedOrDisabled) == 0 && FitsWindow(top, item.id));
        if (item.checkable) {
            action->setCheckable(true);
            action->setChecked((item.state & MF_CHECKED) != 0);
        }
        if (glyph == SC_CLOSE) {
            menu->setDefaultAction(action);
        }
        const std::uint32_t command = item.id;
        // Acts once the menu has closed and let go of the mouse.
        QObject::connect(action, &QAction::triggered, top, [target, command, run = item.action] {
            QMetaObject::invokeMethod(
                target,
                [target, command, run] {
                    if (run) {
                        run();
                    } else {
                        SysCommand(target, command);
                    }
                },
                Qt::QueuedConnection);
        });
    }
}

} // namespace

QMenu* PopupSystemMenu(QWidget* window, QPoint screen) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return nullptr;
    }
    const SystemMenu* model = GetSystemMenu(top);
    auto* menu = new QMenu(top);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("SystemMenu"));
    std::vector<MenuItemInfo> items;
    for (int position = 0; position < model->count(); ++position) {
        items.push_back(*model->at(position));
    }
    AddMenuItems(menu, top, items);
    menu->popup(screen);
    return menu;
}

void SysCommand(QWidget* window, std::uint32_t command) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return;
    }
    if (const SystemMenu::OwnFrame& own = GetSystemMenu(top)->ownFrame();
        own.run && OwnFrameCommand(command)) {
        // A copy: the command may close the window and its menu with it.
        const std::function<void(std::uint32_t)> run = own.run;
        run(command);
        return;
    }
    switch (command) {
    case SC_RESTORE:
        top->showNormal();
        break;
    case SC_MOVE:
        BeginSystemMove(top, QCursor::pos());
        break;
    case SC_SIZE:
        BeginSystemResize(top, Qt::RightEdge | Qt::BottomEdge, QCursor::pos());
        break;
    case SC_MINIMIZE:
        top->showMinimized();
        break;
    case SC_MAXIMIZE:
        top->showMaximized();
        break;
    case SC_CLOSE:
        top->close();
        break;
    default:
        RunAddedItem(top, command);
        break;
    }
}

} // namespace varnel::platform
