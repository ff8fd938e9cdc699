#pragma once

// A caption label that keeps its text drawn in a pixmap: the progress text of
// a run changes a few times a second, while the bar repaints far more often
// (hover images, the window above it), and a repaint then only copies the
// pixmap instead of laying the text out again.

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QSize>
#include <QString>

namespace varnel {

class CaptionLabel final : public QLabel {
public:
    CaptionLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_Cache;
    QString m_Text;
    QSize m_Size;
    QColor m_Colour;
    QFont m_Font;
    qreal m_Ratio = 0;
};

} // namespace varnel
