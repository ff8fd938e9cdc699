#include "platform/qt/window_hints.h"

#include "platform/os/x11_window_hints.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace varnel::platform {

namespace {

// Watches the window it belongs to and sets the size hints of its native
// window (not the widget's own limits, which would also stop the program's
// own sizing).
class GivenSizeKeeper : public QObject {
public:
    explicit GivenSizeKeeper(QWidget* window) : QObject(window), m_Window(window) {
        window->installEventFilter(this);
        if (window->isVisible()) {
            Pin();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_Window) {
            return false;
        }
        switch (event->type()) {
        case QEvent::Show:
            // A native window made afresh (new window flags) starts without
            // hints.
            Follow();
            break;
        case QEvent::WindowStateChange:
            if (Normal()) {
                Pin();
            } else {
                Loosen();
                // The program's own maximise went out under the fixed
                // hints, which a manager refuses: asked again after them.
                QWindow* native = m_Window->windowHandle();
                if (!event->spontaneous() && native != nullptr) {
                    const Qt::WindowStates state = m_Window->windowState();
                    native->setWindowStates(state & Qt::WindowMinimized);
                    native->setWindowStates(state);
                }
            }
            break;
        case QEvent::Resize:
            // The program's own sizing (a spontaneous resize comes from the
            // window system). The request has gone out under the old hints,
            // which a manager enforces: the hints are fixed at the new size
            // and the size asked for once more, after them.
            if (!event->spontaneous() && Normal() && m_Window->isVisible() &&
                m_Window->size() != m_Pinned) {
                Pin();
                if (QWindow* native = m_Window->windowHandle()) {
                    native->resize(m_Window->size());
                }
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool Normal() const {
        return (m_Window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) == 0;
    }

    void Follow() {
        if (Normal()) {
            Pin();
        } else {
            Loosen();
        }
    }

    void Pin() {
        QWindow* native = m_Window->windowHandle();
        if (native == nullptr) {
            return;
        }
        m_Pinned = m_Window->size();
        native->setMinimumSize(m_Pinned);
        native->setMaximumSize(m_Pinned);
    }

    void Loosen() {
        QWindow* native = m_Window->windowHandle();
        if (native == nullptr) {
            return;
        }
        m_Pinned = QSize();
        native->setMinimumSize(QSize(0, 0));
        native->setMaximumSize(QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }

    QWidget* m_Window;
    QSize m_Pinned;
};

} // namespace

void KeepGivenSize(QWidget* window) {
    if (window != nullptr) {
        new GivenSizeKeeper(window);
    }
}

void ShowInNormalState(QWidget* window) {
    if (window == nullptr) {
        return;
    }
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    // On X11 a window minimised once keeps asking to be mapped as an icon
    // even after the window manager restored it (a task-bar click): Qt
    // writes that hint only when the program itself changes the state. A
    // hidden window is therefore told to come back normal before it is
    // mapped again.
    if (!window->isVisible() && window->windowHandle() != nullptr) {
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            SetNormalInitialState(x11->connection(),
                                  static_cast<std::uint32_t>(window->internalWinId()));
        }
    }
    window->show();
}

} // namespace varnel::platform
