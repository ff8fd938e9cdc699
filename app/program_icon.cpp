#include "app/program_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace varnel {

QPixmap DrawProgramIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, true);
    // Drawn on a 32-unit grid and scaled, so the small sizes keep the shape.
    const double unit = size / 32.0;
    painter.scale(unit, unit);

    // The page, with its top right corner folded.
    QPainterPath page;
    page.moveTo(5, 2);
    page.lineTo(19, 2);
    page.lineTo(26, 9);
    page.lineTo(26, 29);
    page.lineTo(5, 29);
    page.closeSubpath();
    painter.setPen(QPen(QColor(40, 60, 110), 1.2));
    painter.setBrush(QColor(250, 250, 245));
    painter.drawPath(page);
    QPainterPath fold;
    fold.moveTo(19, 2);
    fold.lineTo(19, 9);
    fold.lineTo(26, 9);
    painter.setBrush(QColor(200, 212, 240));
    painter.drawPath(fold);

    // Ruled lines: the report's labelled values.
    painter.setPen(QPen(QColor(90, 126, 220), 1.6));
    for (int row = 0; row < 4; ++row) {
        const double y = 12.0 + row * 4.0;
        painter.drawLine(QPointF(8, y), QPointF(row % 2 == 0 ? 22 : 18, y));
    }

    // The magnifying glass over the lower right corner.
    painter.setPen(QPen(QColor(30, 30, 30), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(24, 24), QPointF(30, 30));
    painter.setPen(QPen(QColor(30, 30, 30), 2.0));
    painter.setBrush(QColor(255, 220, 90, 200));
    painter.drawEllipse(QPointF(20, 20), 6.0, 6.0);
    painter.end();
    return pixmap;
}

} // namespace varnel
