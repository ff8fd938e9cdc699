#include "winstyle/change_when_run.h"

#include "platform/qt/window_services.h"
#include "winstyle/window_style.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMouseEvent>
#include <QWidget>

namespace varnel {

using namespace platform;

namespace {

// Bit 15 cleared: the identifier a grayed item carries.
constexpr std::uint32_t Grayed(std::uint32_t id) {
    return id & ~std::uint32_t{0x8000};
}

// The state of the menu item at position; 0 when there is none.
std::uint32_t GetSysMenuItemState(const SystemMenu* menu, int position) {
    const auto item = GetMenuItemInfo(menu, position);
    return item ? item->state : 0;
}

// The MDI area of an MDI parent form, or null.
QMdiArea* MdiAreaOf(const QMainWindow* form) {
    return form != nullptr ? dynamic_cast<QMdiArea*>(form->centralWidget()) : nullptr;
}

} // namespace

QObject* ChangeWhenRun::Client() const {
    if (m_Client != nullptr) {
        return m_Client;
    }
    return m_MdiClient;
}

void ChangeWhenRun::setClient(QObject* obj) {
    m_hWnd = nullptr;
    auto* widget = dynamic_cast<QWidget*>(obj);
    if (widget == nullptr || !widget->isWindow()) {
        return; // not a form: no window, the earlier form stays attached
    }
    auto* mainWindow = dynamic_cast<QMainWindow*>(widget);
    if (MdiAreaOf(mainWindow) != nullptr) {
        m_Client = nullptr;
        m_MdiClient = mainWindow;
    } else {
        m_MdiClient = nullptr;
        m_Client = widget;
    }
    m_hWnd = widget;
    Watch(EventSource());
}

QObject* ChangeWhenRun::EventSource() const {
    if (m_Client != nullptr) {
        return m_Client;
    }
    if (QMdiArea* area = MdiAreaOf(m_MdiClient); area != nullptr) {
        return area->viewport();
    }
    return nullptr;
}

void ChangeWhenRun::Watch(QObject* source) {
    if (m_Watched == source) {
        return;
    }
    if (m_Watched != nullptr) {
        m_Watched->removeEventFilter(this);
    }
    m_Watched = source;
    if (source != nullptr) {
        source->installEventFilter(this);
    }
}

bool ChangeWhenRun::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_Watched) {
        return QObject::eventFilter(watched, event);
    }
    const bool mdi = m_Client == nullptr;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: { // the second press of a double click
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint screen = mouse->globalPosition().toPoint();
        if (mdi) {
            m_MdiClient_MouseDown(mouse->button(), screen);
        } else {
            m_Client_MouseDown(mouse->button(), screen);
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint screen = mouse->globalPosition().toPoint();
        if (mdi) {
            m_MdiClient_MouseUp(mouse->button(), screen);
        } else {
            m_Client_MouseUp(mouse->button(), screen);
        }
        break;
    }
    default:
        break;
    }
    // The form's own handlers see the event as well.
    return QObject::eventFilter(watched, event);
}

void ChangeWhenRun::m_Client_MouseDown(Qt::MouseButton Button, QPoint screen) {
    if (Button == Qt::LeftButton && m_AutoDrag && m_hWnd != nullptr) {
        // As a press on the title bar: the system moves the window.
        BeginSystemMove(m_hWnd, screen);
    }
}

void ChangeWhenRun::m_Client_MouseUp(Qt::MouseButton Button, QPoint screen) {
    // The release's screen position is where the cursor is.
    if (Button == Qt::RightButton && m_AutoSysMenu) {
        ShowSysMenu(screen.x(), screen.y());
    }
}

void ChangeWhenRun::m_MdiClient_MouseDown(Qt::MouseButton Button, QPoint screen) {
    m_Client_MouseDown(Button, screen);
}

void ChangeWhenRun::m_MdiClient_MouseUp(Qt::MouseButton Button, QPoint screen) {
    m_Client_MouseUp(Button, screen);
}

void ChangeWhenRun::SetStyleBits(std::uint32_t bits, bool on) {
    std::uint32_t style = GetWindowLong(m_hWnd, WindowLong::Style);
    style = on ? (style | bits) : (style & ~bits);
    SetWindowLong(m_hWnd, WindowLong::Style, style);
    REDRAW();
}

void ChangeWhenRun::SetExStyleBits(std::uint32_t bits, bool on) {
    std::uint32_t style = GetWindowLong(m_hWnd, WindowLong::ExStyle);
    style = on ? (style | bits) : (style & ~bits);
    SetWindowLong(m_hWnd, WindowLong::ExStyle, style);
    REDRAW();
}

bool ChangeWhenRun::StyleBit(std::uint32_t bits) const {
    return (GetWindowLong(m_hWnd, WindowLong::Style) & bits) != 0;
}

bool ChangeWhenRun::ExStyleBit(std::uint32_t bits) const {
    return (GetWindowLong(m_hWnd, WindowLong::ExStyle) & bits) != 0;
}

int ChangeWhenRun::FindSysMenuItem(std::uint32_t id) const {
    const SystemMenu* menu = GetSystemMenu(m_hWnd);
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const std::uint32_t itemId = GetMenuItemID(menu, position);
        if (itemId == id || itemId == Grayed(id)) {
            return position;
        }
    }
    return -1;
}

bool ChangeWhenRun::ControlBox() const {
    return StyleBit(WS_SYSMENU);
}

void ChangeWhenRun::setControlBox(bool value) {
    SetStyleBits(WS_SYSMENU, value);
}

bool ChangeWhenRun::MaxButton() const {
    return StyleBit(WS_MAXIMIZEBOX);
}

void ChangeWhenRun::setMaxButton(bool value) {
    SetStyleBits(WS_MAXIMIZEBOX, value);
    EnableMenuItem(SC_MAXIMIZE, value);
}

bool ChangeWhenRun::MinButton() const {
    return StyleBit(WS_MINIMIZEBOX);
}

void ChangeWhenRun::setMinButton(bool value) {
    SetStyleBits(WS_MINIMIZEBOX, value);
    EnableMenuItem(SC_MINIMIZE, value);
}

bool ChangeWhenRun::Moveable() const {
    return GetSysMenuItemState(GetSystemMenu(m_hWnd), FindSysMenuItem(SC_MOVE)) == 0;
}

void ChangeWhenRun::setMoveable(bool value) {
    EnableMenuItem(SC_MOVE, value);
}

bool ChangeWhenRun::Sizeable() const {
    return StyleBit(WS_THICKFRAME);
}

void ChangeWhenRun::setSizeable(bool value) {
    EnableMenuItem(SC_SIZE, value);
    SetStyleBits(WS_THICKFRAME, value);
}

bool ChangeWhenRun::ShowInTaskbar() const {
    return ExStyleBit(WS_EX_APPWINDOW);
}

void ChangeWhenRun::setShowInTaskbar(bool value) {
    // The task bar looks at a window when it is shown, so the window is
    // hidden and shown again; only a window that was showing, and in the
    // state it had (a maximised window is not restored by it).
    const bool visible = IsWindowVisible(m_hWnd);
    WindowUpdateLock lock(m_hWnd);
    if (visible) {
        ShowWindow(m_hWnd, ShowCommand::Hide);
    }
    SetExStyleBits(WS_EX_APPWINDOW, value);
    if (visible) {
        ShowWindow(m_hWnd, ShowCommand::Show);
    }
}

bool ChangeWhenRun::Titlebar() const {
    return StyleBit(WS_CAPTION);
}

void ChangeWhenRun::setTitlebar(bool value) {
    SetStyleBits(WS_CAPTION, value);
}

bool ChangeWhenRun::ToolWindow() const {
    return ExStyleBit(WS_EX_TOOLWINDOW);
}

void ChangeWhenRun::setToolWindow(bool value) {
    SetExStyleBits(WS_EX_TOOLWINDOW, value);
}

bool ChangeWhenRun::TopMost() const {
    return ExStyleBit(WS_EX_TOPMOST);
}

void ChangeWhenRun::setTopMost(bool value) {
    SetTopMost(m_hWnd, value);
}

bool ChangeWhenRun::WhatsThisButton() const {
    return ExStyleBit(WS_EX_CONTEXTHELP);
}

void ChangeWhenRun::setWhatsThisButton(bool value) {
    SetExStyleBits(WS_EX_CONTEXTHELP, value);
}

void ChangeWhenRun::EnableMenuItem(std::uint32_t menuItem, bool enabled) {
    SystemMenu* menu = GetSystemMenu(m_hWnd);
    const int position = FindSysMenuItem(menuItem);
    if (position < 0) {
        return;
    }
    auto item = GetMenuItemInfo(menu, position);
    if (!item) {
        return;
    }
    item->state = enabled ? MFS_ENABLED : MF_GRAYED;
    item->id = enabled ? menuItem : Grayed(menuItem);
    SetMenuItemInfo(menu, position, MIIM_STATE | MIIM_ID, *item);
}

void ChangeWhenRun::REDRAW() {
    FrameChanged(m_hWnd);
}

void ChangeWhenRun::RemoveMenuItem(std::uint32_t menuItem) {
    SystemMenu* menu = GetSystemMenu(m_hWnd);
    if (menuItem == SC_MINIMIZE) {
        setMinButton(false);
    } else if (menuItem == SC_MAXIMIZE) {
        setMaxButton(false);
    } else if (menuItem == SC_CLOSE) {
        // The separator above Close goes with it, but nothing else does:
        // with the separator already gone the item above is Maximize.
        const int above = FindSysMenuItem(SC_CLOSE) - 1;
        const auto item = GetMenuItemInfo(menu, above);
        if (item && item->separator) {
            RemoveMenuByPosition(menu, above);
        }
    }
    // Found under either identifier: a grayed item is removed as well.
    RemoveMenuByPosition(menu, FindSysMenuItem(menuItem));
}

void ChangeWhenRun::ShowSysMenu(int x, int y) {
    // Screen points are taken whole: no packing into 16 bits, so a point
    // beyond 32767 does not wrap round to the other side of the screen.
    PopupSystemMenu(m_hWnd, QPoint(x, y));
}

} // namespace varnel
