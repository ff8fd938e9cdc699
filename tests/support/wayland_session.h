#pragma once

// A real Wayland compositor for the tests of what only a compositor decides
// (where a window goes when it is dragged): sway inside a bare Xvfb, with its
// X11 back end and the software renderer, every window floating. sway does
// not run as root, so it runs as the unprivileged user nobody with a runtime
// folder of its own; the test process (root) reaches its socket there and is
// the Wayland client. xdotool on the Xvfb display drives the real pointer,
// which sway hands to its clients; swaymsg tells where sway put a window.

#include <QPoint>
#include <QRect>
#include <QString>

#include <sys/types.h>

#include <string>

namespace varnel::testing {

class WaylandSession {
public:
    WaylandSession() = default;
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    // Starts Xvfb and sway and points this process at them (DISPLAY for
    // xdotool, XDG_RUNTIME_DIR and WAYLAND_DISPLAY for Qt). False, with the
    // reason in error(), when either cannot start (not installed, no
    // unprivileged user to run sway as).
    bool Start();

    const std::string& error() const { return m_Error; }

private:
    pid_t m_Server = 0;
    pid_t m_Compositor = 0;
    std::string m_RuntimeDir;
    std::string m_Error;
};

// The reason the session could not start, empty when it runs; the Wayland
// tests skip with it.
const std::string& WaylandSessionUnavailable();

// Where sway has put the window whose title is title, in layout coordinates
// (those of the pointer on the Xvfb screen); an empty rectangle when sway
// shows no such window.
QRect SwayWindowGeometry(const QString& title);

// sway's tree as swaymsg gives it, for the message of a failed test.
std::string SwayDiagnostics();

} // namespace varnel::testing
