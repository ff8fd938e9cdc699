#pragma once

// A real X server with a window manager for the tests that move, size or
// stack windows: what the window manager does with them cannot be seen on the
// offscreen platform. The session starts Xvfb on a free display and openbox
// on it, and ends both when it is destroyed.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace varnel::testing {

class XSession {
public:
    XSession() = default;
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Starts the server and the window manager; false (with the reason in
    // error()) when either cannot start, for instance when they are not
    // installed.
    bool Start();

    // ":N", the display the session runs.
    const std::string& display() const { return m_Display; }
    const std::string& error() const { return m_Error; }

private:
    pid_t m_Server = 0;
    pid_t m_Manager = 0;
    std::string m_Display;
    std::string m_Error;
};

// Pieces the X and Wayland sessions share.
// Starts a program quietly (its standard error into errorLog) with the given
// environment (this process's when null); 0 when it cannot start.
pid_t SpawnProcess(const std::vector<std::string>& argv, const std::string& errorLog = "/dev/null",
                   char** environment = nullptr);
// Ends a program started so and waits for it; sets pid to 0.
void StopProcess(pid_t& pid);
// Starts Xvfb on a free display (":N" into display, and DISPLAY set to it);
// false with the reason in error.
bool StartXvfb(pid_t& server, std::string& display, std::string& error);

// The reason the session could not start, empty when it runs; the X tests
// skip with it.
const std::string& XSessionUnavailable();

// Runs xdotool with args on the session's display while the Qt event loop
// keeps turning, so that the application sees the input as it comes; its
// standard output, or a null string when it failed.
QString RunXdotool(const QStringList& args, int timeoutMs = 10000);

// Where the X server has the window (screen coordinates), as xdotool reads it.
QRect XWindowGeometry(unsigned long windowId);

// How the X server has the window mapped: "IsViewable", "IsUnMapped" or
// "IsUnviewable" (xwininfo's words), empty when it cannot tell.
QString XMapState(unsigned long windowId);

// The frame the window manager put around the window, as it tells it on the
// window (_NET_FRAME_EXTENTS, read with xprop); null when the property is not
// set, which it is once the manager has taken the window in.
std::optional<QMargins> XFrameExtents(unsigned long windowId);

// Shows the window and waits until the window manager has taken it in (it
// has told the window its frame extents). A window the manager missed is
// hidden and shown again, up to attempts times, each waited for timeoutMs, so
// a map the manager never answered (one made while it was still starting, or
// lost on a loaded machine) costs a retry, not the test. False when the
// manager never took the window in.
bool ShowManaged(QWidget& window, int attempts = 3, int timeoutMs = 10000);

// A left-button drag with real input: press at from, move in steps to
// from + travel, release there.
bool DragWithPointer(QPoint from, QPoint travel);

// What the server and the window manager hold now (the manager's check
// window, the top-level windows), for the message of a failed test.
std::string XDiagnostics();

// Turns the event loop until done() holds or timeoutMs passes.
template <typename Predicate> bool WaitFor(Predicate done, int timeoutMs = 5000);

bool WaitForImpl(const std::function<bool()>& done, int timeoutMs);

template <typename Predicate> bool WaitFor(Predicate done, int timeoutMs) {
    return WaitForImpl(std::function<bool()>(done), timeoutMs);
}

} // namespace varnel::testing
