#include "winstyle/window_style.h"

#include "platform/os/x11_window_state.h"
#include "platform/qt/window_services.h"

#include <QByteArray>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <cstdlib>
#include <memory>
#include <utility>

namespace varnel::platform {
namespace {

constexpr Qt::WindowFlags kManagedHints = Qt::FramelessWindowHint | Qt::WindowTitleHint |
                                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint |
                                          Qt::WindowContextHelpButtonHint;

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

} // namespace

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

namespace detail {

std::unique_ptr<SystemMenu>& SystemMenuOf(QWidget* top) {
    return WindowStyleState::For(top)->menu;
}

bool StyleApplied(const QWidget* top) {
    const WindowStyleState* state = WindowStyleState::Find(top);
    return state != nullptr && state->applied;
}

} // namespace detail

} // namespace varnel::platform
