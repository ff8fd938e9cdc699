#pragma once

// What the window manager is told about the program's windows: the state a
// window is shown again in, and the size it keeps.

class QWidget;

namespace varnel::platform {

// Shows the top-level window again in its normal state (keeping a maximised
// or full-screen state), never minimised: a window that was minimised and
// then restored by the window manager itself (a task-bar click) may still
// carry the minimised state in what the window system holds for it, and
// would otherwise come back as an icon. Nothing happens for a null widget.
void ShowInNormalState(QWidget* window);

// Keeps the top-level window at the size the program gives it, against the
// window manager: the window tells the manager that its size is fixed (equal
// minimum and maximum size hints), so tiling, snapping and keyboard sizing
// leave it as designed. The hints follow the window's state: loosened while
// the window is maximised or full screen, so that the manager and a caption
// that takes the maximised window over (filling the work area) may size it,
// and fixed again at whatever size the program gives the window in its
// normal state. The program's own moves and sizes are not limited. The
// keeper lives as long as the window. Nothing happens for a null widget.
void KeepGivenSize(QWidget* window);

} // namespace varnel::platform
