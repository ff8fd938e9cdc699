#include "platform/link_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace varnel::platform {

LinkOpener::~LinkOpener() = default;

bool IsWebAddress(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool DesktopLinkOpener::OpenLink(const QString& address) {
    if (!IsWebAddress(address)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

} // namespace varnel::platform
