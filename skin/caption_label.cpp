#include "skin/caption_label.h"

#include <QPainter>

namespace varnel {

void CaptionLabel::paintEvent(QPaintEvent* /*event*/) {
    const qreal ratio = devicePixelRatioF();
    const QColor colour = palette().color(QPalette::WindowText);
    if (m_Cache.isNull() || m_Text != text() || m_Size != size() || m_Colour != colour ||
        m_Font != font() || m_Ratio != ratio) {
        m_Text = text();
        m_Size = size();
        m_Colour = colour;
        m_Font = font();
        m_Ratio = ratio;
        m_Cache = QPixmap(size() * ratio);
        m_Cache.setDevicePixelRatio(ratio);
        m_Cache.fill(Qt::transparent);
        QPainter painter(&m_Cache);
        painter.setFont(font());
        painter.setPen(colour);
        painter.drawText(rect(), static_cast<int>(alignment()), text());
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_Cache);
}

} // namespace varnel
