#pragma once

// Opening a web address in the user's browser: what "explorer <address>"
// does on the system the program was designed for. Callers hold a LinkOpener
// so that tests can watch which address would have been opened.

#include <QString>

namespace varnel::platform {

class LinkOpener {
public:
    LinkOpener() = default;
    virtual ~LinkOpener();
    LinkOpener(const LinkOpener&) = delete;
    LinkOpener& operator=(const LinkOpener&) = delete;

    // Hands address to the system's link handler. True when it was handed on;
    // false when the address is not a web address or nothing could take it.
    // Never blocks on the browser and never shows a message.
    virtual bool OpenLink(const QString& address) = 0;
};

// The system's link handler (QDesktopServices). Only http and https
// addresses are passed on: anything else (a local path, a script scheme) is
// refused, so a link can never start a program.
class DesktopLinkOpener final : public LinkOpener {
public:
    bool OpenLink(const QString& address) override;
};

// True when address is an absolute http or https address with a host.
bool IsWebAddress(const QString& address);

} // namespace varnel::platform
