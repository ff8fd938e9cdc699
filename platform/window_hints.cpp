#include "platform/window_hints.h"

#include "platform/os/x11_window_hints.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

namespace varnel::platform {

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
