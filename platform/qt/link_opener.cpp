#include "platform/qt/link_opener.h"

#include <QDesktopServices>
#include <QStringList>

namespace varnel::platform {

LinkOpener::~LinkOpener() = default;

bool LinkOpener::OpenMail(const QString&) {
    return false;
}

bool IsWebAddress(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

std::optional<QUrl> MailAddress(const QString& message) {
    const QLatin1String scheme("mailto:");
    if (!message.startsWith(scheme, Qt::CaseInsensitive)) {
        return std::nullopt;
    }
    const QString rest = message.mid(scheme.size());
    const qsizetype question = rest.indexOf(QLatin1Char('?'));
    const QString recipient = question < 0 ? rest : rest.left(question);
    for (const QChar c : recipient) {
        if (c.isSpace() || c.category() == QChar::Other_Control ||
            QStringLiteral("?&=/\\:").contains(c)) {
            return std::nullopt;
        }
    }
    QByteArray encoded = "mailto:" + QUrl::toPercentEncoding(recipient, "@");
    if (question >= 0) {
        QStringList pairs = rest.mid(question + 1).split(QLatin1Char('&'));
        encoded += '?';
        for (qsizetype i = 0; i < pairs.size(); ++i) {
            const qsizetype equals = pairs[i].indexOf(QLatin1Char('='));
            if (i > 0) {
                encoded += '&';
            }
            if (equals < 0) {
                encoded += QUrl::toPercentEncoding(pairs[i]);
            } else {
                encoded += QUrl::toPercentEncoding(pairs[i].left(equals)) + '=' +
                           QUrl::toPercentEncoding(pairs[i].mid(equals + 1));
            }
        }
    }
    QUrl url = QUrl::fromEncoded(encoded, QUrl::StrictMode);
    if (!url.isValid()) {
        return std::nullopt;
    }
    return url;
}

bool DesktopLinkOpener::OpenLink(const QString& address) {
    if (!IsWebAddress(address)) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
}

bool DesktopLinkOpener::OpenMail(const QString& message) {
    const std::optional<QUrl> address = MailAddress(message);
    return address.has_value() && QDesktopServices::openUrl(*address);
}

} // namespace varnel::platform
