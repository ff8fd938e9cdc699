#include "platform/qt/window_services.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace varnel::platform {
namespace {

// Moves or sizes a window by following the mouse from a press until the
// button is released. Watches the application's mouse events (the pressed
// widget keeps the mouse until release) and deletes itself at the end.
class ManualDrag : public QObject {
public:
    ManualDrag(QWidget* window, Qt::Edges edges, QPoint globalPress)
        : QObject(window), m_Window(window), m_Edges(edges), m_Press(globalPress),
          m_StartGeometry(window->geometry()), m_StartPos(window->pos()) {
        qApp->installEventFilter(this);
    }

    ~ManualDrag() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() == Qt::NoButton) {
                Finish(); // the release went elsewhere
                return false;
            }
            Follow(mouse->globalPosition().toPoint());
            return true; // the system loop keeps moves from the window, so do we
        }
        case QEvent::MouseButtonRelease:
            Finish();
            return false;
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    void Follow(QPoint global) {
        if (m_Window == nullptr) {
            return;
        }
        const QPoint delta = global - m_Press;
        if (m_Edges == Qt::Edges()) {
            m_Window->move(m_StartPos + delta);
            return;
        }
        const int minWidth = std::max(1, m_Window->minimumWidth());
        const int minHeight = std::max(1, m_Window->minimumHeight());
        const int maxWidth = std::max(minWidth, m_Window->maximumWidth());
        const int maxHeight = std::max(minHeight, m_Window->maximumHeight());
        const QRect start = m_StartGeometry;
        int left = start.left();
        int top = start.top();
        int width = start.width();
        int height = start.height();
        if (m_Edges & Qt::LeftEdge) {
            width = std::clamp(start.width() - delta.x(), minWidth, maxWidth);
            left = start.left() + start.width() - width; // the right edge stays
        } else if (m_Edges & Qt::RightEdge) {
            width = std::clamp(start.width() + delta.x(), minWidth, maxWidth);
        }
        if (m_Edges & Qt::TopEdge) {
            height = std::clamp(start.height() - delta.y(), minHeight, maxHeight);
            top = start.top() + start.height() - height;
        } else if (m_Edges & Qt::BottomEdge) {
            height = std::clamp(start.height() + delta.y(), minHeight, maxHeight);
        }
        m_Window->setGeometry(left, top, width, height);
    }

    void Finish() {
        qApp->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_Window;
    Qt::Edges m_Edges;
    QPoint m_Press;
    QRect m_StartGeometry;
    QPoint m_StartPos;
};

// One manual drag per window at a time: a new press replaces a drag whose
// release was never seen.
DragStart BeginManual(QWidget* window, Qt::Edges edges, QPoint globalPress) {
    for (QObject* child : window->children()) {
        if (auto* running = dynamic_cast<ManualDrag*>(child); running != nullptr) {
            delete running;
            break;
        }
    }
    new ManualDrag(window, edges, globalPress);
    return DragStart::Manual;
}

} // namespace

bool ClientPlacesWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void SetStaysOnTop(QWidget* widget, bool onTop) {
    if (widget == nullptr) {
        return;
    }
    QWidget* window = widget->window();
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        return;
    }
    const QRect geometry = window->geometry();
    const Qt::WindowStates state = window->windowState();
    const bool visible = window->isVisible();
    const bool placed = window->testAttribute(Qt::WA_Moved) || visible;
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    window->setWindowState(state);
    if (!state.testAnyFlags(Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized)) {
        if (placed) {
            window->setGeometry(geometry);
        } else {
            window->resize(geometry.size());
        }
    }
    if (visible) {
        window->show();
    }
}

bool IsStaysOnTop(const QWidget* widget) {
    return widget != nullptr && widget->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

DragStart BeginSystemMove(QWidget* source, QPoint globalPress) {
    if (source == nullptr) {
        return DragStart::None;
    }
    QWidget* window = source->window();
    if (!ClientPlacesWindows()) {
        // Only the compositor places the window, and it follows the pointer
        // from where the pointer is when it takes the move over: handed over
        // after a drag threshold, the window would lag the pointer by the
        // travel so far for the whole drag. So the press hands the move over,
        // as soon as the events that came with it have been delivered: a
        // click whose release came together with its press (a quick click,
        // a tap) has ended by then and is no move at all, so the compositor
        // never starts a move without a held button, which would swallow the
        // next click (the second of a double click). A slower click hands
        // over a move the compositor ends, without travel, at the release.
        QPointer<QWindow> handle = window->windowHandle();
        if (handle == nullptr || QGuiApplication::mouseButtons() == Qt::NoButton) {
            return DragStart::None;
        }
        QTimer::singleShot(0, handle, [handle] {
            if (handle != nullptr && QGuiApplication::mouseButtons() != Qt::NoButton) {
                handle->startSystemMove();
            }
        });
        return DragStart::System;
    }
    // The window follows the pointer by our own loop, never the window
    // manager's: a system move takes the pointer away from the window for the
    // rest of the gesture, so the second click of a double click (which closes
    // or maximises the window) would never reach it; and a system move that
    // starts after the pointer has already travelled places the window
    // wrongly under some managers. Following the pointer's screen position
    // from the press moves the window by exactly the pointer's travel.
    return BeginManual(window, Qt::Edges(), globalPress);
}

DragStart BeginSystemResize(QWidget* source, Qt::Edges edges, QPoint globalPress) {
    if (source == nullptr || edges == Qt::Edges()) {
        return DragStart::None;
    }
    QWidget* window = source->window();
    // Sizing is handed to the window system's own loop, which starts at the
    // press and follows the pointer exactly; without a window manager the
    // dragged edges follow the pointer by our own loop.
    if (QWindow* handle = window->windowHandle();
        handle != nullptr && handle->startSystemResize(edges)) {
        return DragStart::System;
    }
    return BeginManual(window, edges, globalPress);
}

} // namespace varnel::platform
