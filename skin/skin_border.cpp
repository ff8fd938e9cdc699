#include "skin/skin_border.h"

#include "platform/qt/units.h"
#include "skin/skin_bitmap.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "skin/skin_value.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QTimer>

#include <algorithm>

namespace varnel {

namespace {

constexpr std::int32_t kLeft = 1;
constexpr std::int32_t kRight = 2;
constexpr std::int32_t kBottom = 3;

// Length of the corner zones, bounds included.
constexpr int kCornerZone = 10;

// Thickness kept while the control is edited in a designer.
constexpr int kDesignThicknessTwips = 100;

// The edges of the window that a press on the given part of a border sizes
// (the system's hit-test codes HTBOTTOMLEFT, HTLEFT, ... as edge sets); none
// where the border has no code.
Qt::Edges SizingEdges(std::int32_t borderType, std::int16_t borderEdge) {
    switch (borderType) {
    case kLeft:
        if (borderEdge == 0) {
            return Qt::BottomEdge | Qt::LeftEdge; // HTBOTTOMLEFT
        }
        if (borderEdge == 1) {
            return Qt::LeftEdge; // HTLEFT
        }
        return {};
    case kRight:
        if (borderEdge == 1) {
            return Qt::RightEdge; // HTRIGHT
        }
        if (borderEdge == 2) {
            return Qt::BottomEdge | Qt::RightEdge; // HTBOTTOMRIGHT
        }
        return {};
    case kBottom:
        if (borderEdge == 0) {
            return Qt::BottomEdge | Qt::LeftEdge; // HTBOTTOMLEFT
        }
        if (borderEdge == 1) {
            return Qt::BottomEdge; // HTBOTTOM
        }
        if (borderEdge == 2) {
            return Qt::BottomEdge | Qt::RightEdge; // HTBOTTOMRIGHT
        }
        return {};
    default:
        return {};
    }
}

} // namespace

Skin_Border::Skin_Border(QWidget* parent) : QWidget(parent) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, backgroundColour());
    setPalette(palette);
    setAutoFillBackground(true);
    // The pointer shape follows the pointer without a button held.
    setMouseTracking(true);
}

QColor Skin_Border::backgroundColour() {
    return QColor(90, 126, 220);
}

void Skin_Border::setBORDERTYPE(std::int32_t value) {
    m_BorderType = value;
    // Other types leave the docking as it is.
    if (parentWidget() != nullptr && value >= kLeft && value <= kBottom) {
        SkinFrame::For(parentWidget())
            ->setBorder(this, value == kLeft    ? FrameEdge::Left
                              : value == kRight ? FrameEdge::Right
                                                : FrameEdge::Bottom);
    }
    m_Changes.PropertyChanged(QStringLiteral("BORDERTYPE"));
}

void Skin_Border::setPath(const QString& value) {
    m_SkinPath = value;
    m_Changes.PropertyChanged(QStringLiteral("Path"));
    UseSource();
    if (m_Source != nullptr) {
        m_Source->currentValue();
    }
    DrawBorder(nullptr);
    update();
}

void Skin_Border::UseSource() {
    SkinSource* source = m_DesignMode ? nullptr : SkinSource::For(m_SkinPath);
    if (source == m_Source) {
        return;
    }
    if (m_Source != nullptr) {
        disconnect(m_Source, nullptr, this, nullptr);
    }
    m_Source = source;
    if (source != nullptr) {
        // A new version of the file: the thickness follows, then a repaint.
        connect(source, &SkinSource::changed, this, [this] {
            DrawBorder(nullptr);
            update();
        });
    }
}

void Skin_Border::REDRAW() {
    update();
}

void Skin_Border::setDesignMode(bool designMode) {
    m_DesignMode = designMode;
    UseSource();
    UserControl_Resize();
    update();
}

void Skin_Border::UserControl_ReadProperties(const PropertyBag& propBag) {
    m_BorderType = propBag.ReadProperty(QStringLiteral("BORDERTYPE"), std::int32_t{0});
    m_SkinPath = propBag.ReadProperty(QStringLiteral("Path"), QString());
}

void Skin_Border::UserControl_WriteProperties(PropertyBag& propBag) const {
    propBag.WriteProperty(QStringLiteral("BORDERTYPE"), m_BorderType, std::int32_t{0});
    propBag.WriteProperty(QStringLiteral("Path"), m_SkinPath, QString());
}

void Skin_Border::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    UserControl_Paint(painter);
}

void Skin_Border::mousePressEvent(QMouseEvent* event) {
    UserControl_MouseDown(event->globalPosition().toPoint());
    event->accept();
}

void Skin_Border::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    UserControl_MouseMove(pos.x(), pos.y());
    event->accept();
}

void Skin_Border::mouseReleaseEvent(QMouseEvent* event) {
    UserControl_MouseUp();
    event->accept();
}

void Skin_Border::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void Skin_Border::UserControl_MouseDown(QPoint globalPos) {
    if (!SizingEnabled) {
        return;
    }
    const Qt::Edges edges = SizingEdges(m_BorderType, m_BorderEdge);
    if (edges == Qt::Edges() || parentWidget() == nullptr) {
        return;
    }
    // The press goes to the owning window's sizing loop; the control does no
    // sizing arithmetic of its own when the system runs it.
    SkinFrame::For(parentWidget())->Resize(this, edges, globalPos);
}

void Skin_Border::UserControl_MouseMove(int x, int y) {
    if (!SizingEnabled) {
        return;
    }
    const int w = width();
    const int h = height();
    Qt::CursorShape shape = Qt::SizeHorCursor;
    if (m_BorderType == kBottom) {
        if (x >= 0 && x <= kCornerZone) {
            m_BorderEdge = 0;
            shape = Qt::SizeBDiagCursor; // north-east to south-west
        } else if (x >= w - kCornerZone && x <= w) {
            m_BorderEdge = 2;
            shape = Qt::SizeFDiagCursor; // north-west to south-east
        } else {
            m_BorderEdge = 1;
            shape = Qt::SizeVerCursor;
        }
    } else if (m_BorderType == kLeft && y >= h - kCornerZone && y <= h) {
        m_BorderEdge = 0;
        shape = Qt::SizeBDiagCursor;
    } else if (m_BorderType == kRight && y >= h - kCornerZone && y <= h) {
        m_BorderEdge = 2;
        shape = Qt::SizeFDiagCursor;
    } else {
        m_BorderEdge = 1;
        shape = Qt::SizeHorCursor;
    }
    setCursor(shape);
}

void Skin_Border::UserControl_MouseUp() {}

void Skin_Border::UserControl_Paint(QPainter& painter) {
    m_Painting = true;
    DrawBorder(&painter);
    m_Painting = false;
}

void Skin_Border::UserControl_Resize() {
    if (!m_DesignMode) {
        return;
    }
    const int thickness =
        platform::TwipsToPixels(kDesignThicknessTwips, platform::TwipsPerPixel(this));
    if ((m_BorderType == kLeft || m_BorderType == kRight) && width() != thickness) {
        SetThickness(thickness);
    } else if (m_BorderType == kBottom && height() != thickness) {
        SetThickness(thickness);
    }
}

void Skin_Border::DrawBorder(QPainter* painter) {
    if (m_DesignMode) {
        return;
    }
    const std::shared_ptr<const SkinValue> skin =
        m_Source != nullptr ? m_Source->value() : SkinValue::Empty();
    Skin_clsBitmap a;
    Skin_clsBitmap b;
    Skin_clsBitmap c;
    switch (m_BorderType) {
    case kLeft:
        a.LoadResource(skin->picture(SkinPicture::LeftTop));
        b.LoadResource(skin->picture(SkinPicture::LeftMid));
        break;
    case kRight:
        a.LoadResource(skin->picture(SkinPicture::RightTop));
        b.LoadResource(skin->picture(SkinPicture::RightMid));
        break;
    case kBottom:
        a.LoadResource(skin->picture(SkinPicture::LeftBot));
        b.LoadResource(skin->picture(SkinPicture::RightBot));
        c.LoadResource(skin->picture(SkinPicture::Bottom));
        break;
    default:
        break;
    }

    if (m_BorderType == kLeft || m_BorderType == kRight) {
        SetThickness(a.Width());
    } else if (m_BorderType == kBottom) {
        SetThickness(c.Height());
    }

    if (painter == nullptr) {
        return;
    }
    const int w = width();
    const int h = height();
    // The pieces repeat along the edge; copies past the edge are clipped.
    if (m_BorderType == kLeft || m_BorderType == kRight) {
        b.PaintTiled(*painter, QRect(0, 0, b.Width(), h));
        a.Paint(*painter, 0, 0);
    } else if (m_BorderType == kBottom) {
        c.PaintTiled(*painter, QRect(0, 0, w, c.Height()));
        a.Paint(*painter, 0, 0);
        b.Paint(*painter, w - b.Width(), 0);
    }
}

void Skin_Border::SetThickness(int pixels) {
    pixels = std::max(0, pixels);
    // The latest pass decides: a thickness left pending by an earlier paint
    // (say, one made before the path was set) must not undo a newer one.
    m_WantedThickness = pixels;
    const bool across = m_BorderType == kLeft || m_BorderType == kRight;
    if ((across ? width() : height()) == pixels) {
        return;
    }
    if (m_Painting) {
        // Resizing inside a paint event is not allowed; apply it right after,
        // which repaints the control at its new size.
        QTimer::singleShot(0, this, [this] { SetThickness(m_WantedThickness); });
        return;
    }
    if (across) {
        resize(pixels, height());
    } else {
        resize(width(), pixels);
    }
    // The frame lays its controls out again at once (a control not shown
    // yet gets its resize event only when shown).
    if (SkinFrame* frame = SkinFrame::Find(parentWidget()); frame != nullptr) {
        frame->relayout();
    }
}

} // namespace varnel
