#pragma once

// The environment the program sets for itself before the toolkit starts.

namespace varnel::platform {

// Without a session bus announced (DBUS_SESSION_BUS_ADDRESS unset), the
// toolkit's first use of the bus would have the bus library start one of its
// own ("autolaunch"): a daemon that outlives the program, made by a tool that
// only reads files. The program then tells the library that there is no bus,
// so it starts nothing and the bus features (global menus, portals) stay off.
// An announced bus is used as it is. Call before the application object.
void DisableSessionBusAutolaunch();

} // namespace varnel::platform
