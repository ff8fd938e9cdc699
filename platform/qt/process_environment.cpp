#include "platform/qt/process_environment.h"

#include <QByteArray>
#include <QtGlobal>

namespace varnel::platform {

void DisableSessionBusAutolaunch() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        // "disabled:" is the bus library's own address for "no bus": a
        // connection fails at once, nothing is launched.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QByteArrayLiteral("disabled:"));
    }
}

} // namespace varnel::platform
