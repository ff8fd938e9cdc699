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

} // namespace varnel::platform
