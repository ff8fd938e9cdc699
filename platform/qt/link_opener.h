#pragma once

// Opening a web address in the user's browser: what "explorer <address>"
// does on the system the program was designed for. Callers hold a LinkOpener
// so that tests can watch which address would have been opened.

#include <QString>
#include <QUrl>

#include <optional>

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

    // Hands a prepared mail message to the system's mail program, as the
    // shell does with "mailto:" + address + "?subject=...&body=..." (the
    // parts as plain text, not yet percent-encoded). True when it was handed
    // on. An opener that cannot send mail refuses it.
    virtual bool OpenMail(const QString& message);
};

// The system's link handler (QDesktopServices). Only http and https
// addresses are passed on: anything else (a local path, a script scheme) is
// refused, so a link can never start a program.
class DesktopLinkOpener final : public LinkOpener {
public:
    bool OpenLink(const QString& address) override;
    bool OpenMail(const QString& message) override;
};

// True when address is an absolute http or https address with a host.
bool IsWebAddress(const QString& address);

// The address a mail message in plain text stands for: "mailto:" (any letter
// case), the recipient (may be empty: the user fills it in), then optionally
// "?" and name=value pairs joined by "&". Each part is percent-encoded as
// UTF-8, so line breaks, blanks and Chinese text survive. Nothing when the
// text is not a mail message or its recipient holds a blank, a control
// character or one of ? & = / \ : that would change what it says.
std::optional<QUrl> MailAddress(const QString& message);

} // namespace varnel::platform
