#include "winstyle/window_style.h"

#include "i18n/shown_text.h"
#include "platform/os/x11_window_state.h"
#include "platform/qt/window_services.h"

#include <QAction>
#include <QByteArray>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

namespace varnel::platform {
namespace {

constexpr Qt::WindowFlags kManagedHints = Qt::FramelessWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                                          Qt::WindowContextHelpButtonHint;

constexpr std::uint32_t kGrayedOrDisabled = MF_GRAYED | MF_DISABLED;

// Asks the window manager to add a _NET_WM_STATE atom to a mapped window or
// to take it away. Only an X server has one to ask; elsewhere nothing
// happens.
void SendNetWmState(const QWidget* window, const char* atomName, bool on) {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    // The native window of the QWindow: the widget's own id can lag behind
    // after Qt has re-created the native window for new flags.
    const QWindow* handle = window->windowHandle();
    if (x11 == nullptr || x11->connection() == nullptr || handle == nullptr ||
        handle->handle() == nullptr) {
        return;
    }
    platform::SendNetWmState(x11->connection(), static_cast<std::uint32_t>(handle->winId()),
                             atomName, on);
}

// The style words and system menu of one top-level window: a child object of
// the window, so it goes with it.
class WindowStyleState : public QObject {
public:
    static WindowStyleState* Find(const QWidget* window) {
        for (QObject* child : window->children()) {
            if (auto* state = dynamic_cast<WindowStyleState*>(child); state != nullptr) {
                return state;
            }
        }
        return nullptr;
    }

    static WindowStyleState* For(QWidget* window) {
        WindowStyleState* state = Find(window);
        return state != nullptr ? state : new WindowStyleState(window);
    }

    std::uint32_t style = 0;
    std::uint32_t exStyle = 0; // without WS_EX_TOPMOST, which answers from the window
    std::unique_ptr<SystemMenu> menu;

    // Once the words have been applied, the window's task-bar presence
    // follows them; before that it is left as Qt made it.
    bool applied = false;
    // The size limits the window had before it lost its thick frame.
    std::optional<std::pair<QSize, QSize>> freeSizes;

    // Tells the window manager the task-bar presence and the topmost band
    // once more. Qt writes the window state before it maps a window, but a
    // window manager that is still unmanaging the window from an earlier
    // hide may erase it (a quick hide and show, as a style change or a
    // change of band makes); what it is told after the map stays.
    void AssertWindowState() {
        if (!m_Window->isVisible()) {
            return;
        }
        if (applied) {
            SendNetWmState(m_Window, "_NET_WM_STATE_SKIP_TASKBAR",
                           (exStyle & WS_EX_APPWINDOW) == 0);
        }
        SendNetWmState(m_Window, "_NET_WM_STATE_ABOVE", IsStaysOnTop(m_Window));
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The show event comes before the window is mapped: tell the window
        // manager once the map request has gone out, and again when the
        // window is exposed after it, which is when the window manager has
        // surely taken it in: a busy one may still be letting go of it from
        // a hide just before (a style change or a change of band hides and
        // shows the window) when the first word arrives.
        if (watched == m_Window && event->type() == QEvent::Show) {
            if (QWindow* handle = m_Window->windowHandle(); handle != nullptr) {
                if (handle != m_Watched) {
                    handle->installEventFilter(this);
                    m_Watched = handle;
                }
                m_TellWhenExposed = true;
            }
            QMetaObject::invokeMethod(
                this, [this] { AssertWindowState(); }, Qt::QueuedConnection);
        } else if (watched == m_Watched && event->type() == QEvent::Expose && m_TellWhenExposed &&
                   m_Watched->isExposed()) {
            m_TellWhenExposed = false;
            QMetaObject::invokeMethod(
                this, [this] { AssertWindowState(); }, Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    explicit WindowStyleState(QWidget* window) : QObject(window), m_Window(window) {
        const Qt::WindowFlags flags = window->windowFlags();
        const Qt::WindowType type = window->windowType();
        const bool decorated = !flags.testFlag(Qt::FramelessWindowHint) &&
                               (type == Qt::Window || type == Qt::Dialog || type == Qt::Tool ||
                                type == Qt::Sheet || type == Qt::Drawer);
        if (decorated) {
            if (!flags.testFlag(Qt::CustomizeWindowHint)) {
                style = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
                if (type == Qt::Window) {
                    style |= WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
                }
            } else {
                style = WS_THICKFRAME;
                style |= flags.testFlag(Qt::WindowTitleHint) ? WS_CAPTION : 0;
                style |= flags.testFlag(Qt::WindowSystemMenuHint) ? WS_SYSMENU : 0;
                style |= flags.testFlag(Qt::WindowMinimizeButtonHint) ? WS_MINIMIZEBOX : 0;
                style |= flags.testFlag(Qt::WindowMaximizeButtonHint) ? WS_MAXIMIZEBOX : 0;
            }
            if (window->minimumSize() == window->maximumSize()) {
                style &= ~WS_THICKFRAME;
            }
        }
        if (type == Qt::Tool) {
            exStyle |= WS_EX_TOOLWINDOW;
        } else if (type == Qt::Window && window->parentWidget() == nullptr) {
            exStyle |= WS_EX_APPWINDOW;
        }
        if (flags.testFlag(Qt::WindowContextHelpButtonHint)) {
            exStyle |= WS_EX_CONTEXTHELP;
        }
        window->installEventFilter(this);
    }

    QWidget* m_Window;
    QPointer<QWindow> m_Watched;    // the native window whose exposure is watched
    bool m_TellWhenExposed = false; // shown, not yet exposed since
};

QWidget* TopLevel(const QWidget* widget) {
    return widget != nullptr ? widget->window() : nullptr;
}

// The Close item's state decides the close button, as on a system where
// graying Close grays the button of the title bar.
bool CloseEnabled(const SystemMenu* menu) {
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        const std::uint32_t id = GetMenuItemID(menu, position);
        if (id == SC_CLOSE) {
            const auto item = GetMenuItemInfo(menu, position);
            return item && (item->state & kGrayedOrDisabled) == 0;
        }
    }
    return false;
}

// Whether the system would offer command for the window in its present state
// and style.
bool FitsWindow(const QWidget* window, std::uint32_t command) {
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

// Runs the action of the enabled item the program added under id, if any.
void RunAddedItem(QWidget* top, std::uint32_t id) {
    const SystemMenu* menu = GetSystemMenu(top);
    for (int position = 0; position < menu->count(); ++position) {
        const MenuItemInfo item = *menu->at(position);
        if (!item.separator && item.id == id && item.action) {
            if ((item.state & kGrayedOrDisabled) == 0) {
                item.action();
            }
            return;
        }
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

std::uint32_t GetWindowLong(const QWidget* window, WindowLong which) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return 0;
    }
    const WindowStyleState* state = WindowStyleState::For(top);
    if (which == WindowLong::Style) {
        return state->style;
    }
    return state->exStyle | (IsStaysOnTop(top) ? WS_EX_TOPMOST : 0);
}

void SetWindowLong(QWidget* window, WindowLong which, std::uint32_t value) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return;
    }
    WindowStyleState* state = WindowStyleState::For(top);
    if (which == WindowLong::Style) {
        state->style = value;
    } else {
        state->exStyle = value & ~WS_EX_TOPMOST;
    }
}

void FrameChanged(QWidget* window) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return;
    }
    WindowStyleState* state = WindowStyleState::For(top);
    state->applied = true;
    const std::uint32_t style = state->style;
    const std::uint32_t exStyle = state->exStyle;

    // Sizing: without the thick frame the window keeps its size.
    if ((style & WS_THICKFRAME) == 0) {
        if (!state->freeSizes) {
            state->freeSizes = std::make_pair(top->minimumSize(), top->maximumSize());
        }
        if (!top->isMaximized() && !top->isMinimized() && !top->isFullScreen()) {
            top->setFixedSize(top->size());
        }
    } else if (state->freeSizes) {
        top->setMinimumSize(state->freeSizes->first);
        top->setMaximumSize(state->freeSizes->second);
        state->freeSizes.reset();
    } else if (top->minimumSize() == top->maximumSize()) {
        top->setMinimumSize(0, 0);
        top->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

    // The title bar needs both caption bits; its buttons need the
    // system-menu box.
    const bool title = (style & WS_CAPTION) == WS_CAPTION;
    const bool systemMenu = title && (style & WS_SYSMENU) != 0;
    Qt::WindowType type = top->windowType();
    if ((exStyle & WS_EX_TOOLWINDOW) != 0) {
        type = Qt::Tool;
    } else if (type == Qt::Tool) {
        type = Qt::Window;
    }
    Qt::WindowFlags flags = top->windowFlags() & ~(kManagedHints | Qt::WindowType_Mask);
    flags |= type;
    flags |= Qt::CustomizeWindowHint;
    flags.setFlag(Qt::WindowTitleHint, title);
    flags.setFlag(Qt::WindowSystemMenuHint, systemMenu);
    flags.setFlag(Qt::WindowCloseButtonHint, systemMenu && CloseEnabled(GetSystemMenu(top)));
    flags.setFlag(Qt::WindowMinimizeButtonHint, systemMenu && (style & WS_MINIMIZEBOX) != 0);
    flags.setFlag(Qt::WindowMaximizeButtonHint, systemMenu && (style & WS_MAXIMIZEBOX) != 0);
    flags.setFlag(Qt::WindowContextHelpButtonHint, title && (exStyle & WS_EX_CONTEXTHELP) != 0);
    if (flags != top->windowFlags()) {
        // Changed on the live window: no re-creation, so it keeps its place.
        top->overrideWindowFlags(flags);
        if (QWindow* handle = top->windowHandle(); handle != nullptr) {
            handle->setFlags(flags);
        }
    }
    state->AssertWindowState();
    top->update();
}

void SetTopMost(QWidget* window, bool topMost) {
    SetStaysOnTop(TopLevel(window), topMost);
}

void ShowWindow(QWidget* window, ShowCommand command) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return;
    }
    switch (command) {
    case ShowCommand::Hide:
        top->hide();
        break;
    case ShowCommand::Show:
        top->show();
        break;
    case ShowCommand::ShowNormal:
        top->showNormal();
        break;
    }
}

bool IsWindowVisible(const QWidget* window) {
    const QWidget* top = TopLevel(window);
    return top != nullptr && top->isVisible();
}

WindowUpdateLock::WindowUpdateLock(QWidget* window)
    : m_Window(TopLevel(window)), m_WasEnabled(m_Window != nullptr && m_Window->updatesEnabled()) {
    if (m_Window != nullptr) {
        m_Window->setUpdatesEnabled(false);
    }
}

WindowUpdateLock::~WindowUpdateLock() {
    if (m_Window != nullptr) {
        m_Window->setUpdatesEnabled(m_WasEnabled);
    }
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

void SystemMenu::ItemsChanged() {
    // The close button follows the Close item once the frame is ours.
    const WindowStyleState* state = WindowStyleState::Find(m_Window);
    if (state != nullptr && state->applied) {
        FrameChanged(m_Window);
    }
}

SystemMenu* GetSystemMenu(QWidget* window) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return nullptr;
    }
    WindowStyleState* state = WindowStyleState::For(top);
    if (!state->menu) {
        state->menu = std::make_unique<SystemMenu>(top);
    }
    return state->menu.get();
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

QMenu* PopupSystemMenu(QWidget* window, QPoint screen) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
        return nullptr;
    }
    const SystemMenu* model = GetSystemMenu(top);
    auto* menu = new QMenu(top);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("SystemMenu"));
    QPointer<QWidget> target(top);
    for (int position = 0; position < model->count(); ++position) {
        const MenuItemInfo item = *model->at(position);
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        // A grayed item keeps its glyph: the identifier with bit 15 set again.
        const std::uint32_t glyph = item.id | 0x8000;
        QAction* action = menu->addAction(CommandIcon(top, glyph), item.text);
        action->setData(item.id);
        action->setEnabled((item.state & kGrayedOrDisabled) == 0 && FitsWindow(top, item.id));
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
    menu->popup(screen);
    return menu;
}

void SysCommand(QWidget* window, std::uint32_t command) {
    QWidget* top = TopLevel(window);
    if (top == nullptr) {
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
