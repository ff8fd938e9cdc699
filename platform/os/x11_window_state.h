#pragma once

// The window state a window manager keeps for a window on X (the atoms of
// _NET_WM_STATE), asked for by a client message to the root window. The
// caller hands over the X connection and window it already has, so this
// layer needs no toolkit.

#include <cstdint>

namespace varnel::platform {

// Asks the window manager to add the _NET_WM_STATE atom named atomName (for
// example "_NET_WM_STATE_ABOVE") to window, or to take it away. connection is
// the client's xcb connection; nothing happens when it is null or the server
// does not know the atoms.
void SendNetWmState(void* connection, std::uint32_t window, const char* atomName, bool on);

} // namespace varnel::platform
