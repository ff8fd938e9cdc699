#pragma once

// The hints an X11 window gives its window manager (the ICCCM WM_HINTS
// property), read and written through the X connection the toolkit holds.

#include <cstdint>

struct xcb_connection_t;

namespace varnel::platform {

// When the window's hints ask to be mapped as an icon (initial state
// iconic), makes them ask for the normal state; any other hint is kept. The
// window manager reads this when the window is next mapped. Nothing happens
// without a connection or when the window has no such hints.
void SetNormalInitialState(xcb_connection_t* connection, std::uint32_t window);

} // namespace varnel::platform
