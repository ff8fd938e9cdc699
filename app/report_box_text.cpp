#include "app/report_box_text.h"

#include <QByteArrayView>
#include <QStringDecoder>

namespace varnel {

void AppendBoxText(QString& box, std::string_view report) {
    const qsizetype start = box.size();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QByteArrayView bytes(report.data(), static_cast<qsizetype>(report.size()));
    box.resize(start + decoder.requiredSpace(bytes.size()));
    QChar* const begin = box.data() + start;
    const QChar* const end = decoder.appendToBuffer(begin, bytes);
    // The separators are shorter than the pairs they replace, so the text is
    // rewritten in place, front to back.
    const auto crLfAt = [end](const QChar* at) {
        return end - at >= 2 && at[0] == u'\r' && at[1] == u'\n';
    };
    QChar* out = begin;
    for (const QChar* in = begin; in != end;) {
        if (!crLfAt(in)) {
            *out++ = *in++;
            continue;
        }
        *out++ = QChar::LineSeparator;
        in += 2;
        if (crLfAt(in)) {
            *out++ = u'\n';
            in += 2;
        }
    }
    box.resize(out - box.constData());
}

QString ReportTextOfBox(QString raw) {
    raw.replace(QChar::ParagraphSeparator, u'\n');
    raw.replace(QChar::LineSeparator, u'\n');
    raw.replace(u'\n', QLatin1String("\r\n"));
    return raw;
}

} // namespace varnel
