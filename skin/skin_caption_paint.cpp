// Skin_Caption's drawing: the layout pass that takes the skin's present
// value into the button holders, the caption's height, text and icon, the
// painting of the surface and the button images shown between passes.

#include "skin/skin_caption.h"

#include "platform/qt/units.h"
#include "platform/qt/window_services.h"
#include "platform/qt/work_area.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "skin/skin_ontop.h"
#include "skin/skin_value.h"

#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace varnel {

namespace {

constexpr int kDesignHeightTwips = 400;
const char* const kWorkAreaFailure = "调用 SystemParametersInfo 失败";

// Gap between the caption text (or the message) and what follows it.
constexpr int kTextGap = 8;

// Moves a label to (x, y) when both fit the 16-bit positions of the design.
void MoveLabel(QLabel* label, int x, int y) {
    constexpr int low = std::numeric_limits<std::int16_t>::min();
    constexpr int high = std::numeric_limits<std::int16_t>::max();
    if (x < low || x > high || y < low || y > high) {
        return;
    }
    label->move(x, y);
}
} // namespace

CaptionButtonRow Skin_Caption::ButtonRow() const {
    CaptionButtonRow row;
    row.surfaceWidth = width();
    row.fromRight = m_FromRight;
    row.iconSpace = m_IconSpace;
    row.closeWidth = m_CloseImage.Width();
    row.maxWidth = m_MaxImage.Width();
    row.minWidth = m_MinImage.Width();
    row.onTopWidth = m_OnTopImage.Width();
    return row;
}

DeviceGrid Skin_Caption::HitGrid() const {
    if (m_PaintedGrid) {
        return *m_PaintedGrid;
    }
    const double scale = devicePixelRatio();
    const QPoint origin = mapTo(window(), QPoint(0, 0));
    return {scale, scale * origin.x(), scale * origin.y()};
}

const Skin_clsBitmap* Skin_Caption::Holder(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return &m_CloseImage;
    case CaptionButton::Minimise:
        return &m_MinImage;
    case CaptionButton::MaxRestore:
        return &m_MaxImage;
    case CaptionButton::OnTop:
        return &m_OnTopImage;
    }
    return nullptr;
}

Skin_clsBitmap* Skin_Caption::Holder(CaptionButton button) {
    return const_cast<Skin_clsBitmap*>(std::as_const(*this).Holder(button));
}

Skin_clsOnTop& Skin_Caption::OnTop() {
    if (!m_OnTop) {
        m_OnTop = std::make_unique<Skin_clsOnTop>();
    }
    return *m_OnTop;
}

CaptionStyle Skin_Caption::StyleValue() const {
    if (m_Style >= 0 && m_Style <= 4) {
        return static_cast<CaptionStyle>(m_Style);
    }
    return CaptionStyle::Fixed;
}

bool Skin_Caption::Maximized() const {
    const SkinFrame* frame = parentWidget() != nullptr ? SkinFrame::Find(parentWidget()) : nullptr;
    return frame != nullptr && frame->placement() == FramePlacement::WorkArea;
}

void Skin_Caption::DrawCaption() {
    if (!m_DesignMode) {
        m_SkinStore = m_Source != nullptr ? m_Source->value() : SkinValue::Empty();
        const SkinValue& skin = *m_SkinStore;
        const bool maximized = Maximized();
        m_TopLeft.LoadResource(skin.picture(SkinPicture::TopLeft));
        m_TopMid.LoadResource(skin.picture(SkinPicture::TopMid));
        m_TopRight.LoadResource(skin.picture(SkinPicture::TopRight));
        m_CloseImage.LoadResource(skin.picture(SkinPicture::Close));
        m_MaxImage.LoadResource(
            skin.picture(ButtonPicture(CaptionButton::MaxRestore, ButtonLook::Normal, maximized)));
        m_MinImage.LoadResource(skin.picture(SkinPicture::Min));

        if (maximized) {
            m_Style2 = CaptionWindowState::WorkArea;
        } else if (parentWidget() != nullptr) {
            m_Style2 = parentWidget()->isMaximized() && !parentWidget()->isMinimized()
                           ? CaptionWindowState::SystemMaximised
                           : CaptionWindowState::Normal;
        }

        m_OnTopImage.LoadResource(skin.picture(OnTopPicture(m_ONTOP)));

        const SkinMetrics& metrics = skin.metrics();
        const auto take = [](const std::optional<std::int16_t>& value, std::int16_t& target) {
            if (value) {
                target = *value;
            }
        };
        take(metrics.xOffset, m_XOffset);
        take(metrics.xOffset2, m_XOffset2);
        take(metrics.yOffset, m_YOffset);
        take(metrics.fromRight, m_FromRight);
        take(metrics.fromTop, m_FromTop);
        take(metrics.iconSpace, m_IconSpace);
        if (metrics.foreColour) {
            m_OwnForeColour = *metrics.foreColour;
        }
        if (metrics.backColour) {
            m_OwnBackColour = *metrics.backColour;
        }
        if (metrics.parentBackColour && parentWidget() != nullptr) {
            QWidget* owner = parentWidget();
            const QColor wanted = metrics.parentBackColour->toQColor();
            if (owner->palette().color(QPalette::Window) != wanted) {
                QPalette palette = owner->palette();
                palette.setColor(QPalette::Window, wanted);
                owner->setPalette(palette);
            }
            if (!owner->isWindow()) {
                owner->setAutoFillBackground(true);
            }
        }
        SetHeight(m_TopLeft.Height());

        if (m_ShowIcon && parentWidget() != nullptr) {
            const QIcon icon = parentWidget()->windowIcon();
            // The picture is made again only when the owner's icon or the
            // screen's pixel density changed; it is made at the screen's
            // density, so the label shows it without scaling it again.
            const qreal ratio = devicePixelRatio();
            if (icon.cacheKey() != m_IconKey || ratio != m_IconRatio) {
                m_IconKey = icon.cacheKey();
                m_IconRatio = ratio;
                Image1->setPixmap(
                    icon.isNull() ? QPixmap()
                                  : icon.pixmap(QSize(kCaptionIconSize, kCaptionIconSize), ratio));
            }
        }
        // A layout pass shows the bar afresh: the message of a failed query
        // goes with it.
        m_MessageShown = false;
        MoveLabel(Label1, m_XOffset + 17, m_YOffset);
        MoveLabel(Label2, m_XOffset + 16, m_YOffset - 1);
        SetLabelColour(Label1, m_OwnForeColour);
        m_Label1Colour = m_OwnForeColour;
        SetLabelColour(Label2, m_OwnBackColour);
        m_Label2Colour = m_OwnBackColour;
        SetCaptionText();
    }
    if (parentWidget() != nullptr && parentWidget()->isMaximized() &&
        platform::ClientPlacesWindows()) {
        // The owner's bounds cannot change inside the event that found the
        // maximise: take over right after it.
        QTimer::singleShot(0, this, [this] { TakeOverSystemMaximise(); });
    }
}

void Skin_Caption::TakeOverSystemMaximise() {
    SkinFrame* frame = Frame();
    if (frame == nullptr || parentWidget() == nullptr || !parentWidget()->isMaximized()) {
        return;
    }
    m_Style2 = CaptionWindowState::WorkArea;
    SizingEnabled = false;
    if (frame->TakeOverSystemMaximise()) {
        DrawCaption();
        update();
    }
}

void Skin_Caption::UserControl_Paint(QPainter& painter) {
    const int surfaceWidth = width();
    if (const std::optional<DeviceGrid> grid = DeviceGrid::Of(painter); grid) {
        m_PaintedGrid = grid;
    }
    painter.fillRect(rect(), m_OwnBackColour.toQColor());
    if (m_DesignMode) {
        return;
    }
    // The middle piece repeated across, then the two ends over it.
    m_TopMid.PaintTiled(painter, QRect(0, 0, surfaceWidth, m_TopMid.Height()));
    m_TopLeft.Paint(painter, 0, 0);
    m_TopRight.Paint(painter, surfaceWidth - m_TopRight.Width(), 0);
    const CaptionButtonRow row = ButtonRow();
    const auto place = [&](CaptionButton button) {
        Holder(button)->Paint(painter, row.PlacedLeft(button), m_FromTop);
    };
    if (m_ControlBox) {
        place(CaptionButton::Close);
        if (StyleValue() != CaptionStyle::CloseOnly) {
            place(CaptionButton::MaxRestore);
            place(CaptionButton::Minimise);
        }
    }
    if (m_SHOWONTOP) {
        place(CaptionButton::OnTop);
    }
    if (m_MessageShown) {
        const QString text = QString::fromUtf8(kWorkAreaFailure);
        const QFontMetrics metrics(font());
        const int right = ButtonRowLeft() - std::max<int>(m_IconSpace, 2);
        const int left = std::max(m_XOffset + 17, right - metrics.horizontalAdvance(text));
        const QRect box(left, (height() - metrics.height()) / 2, right - left, metrics.height());
        painter.setFont(font());
        painter.setPen(m_OwnForeColour.toQColor());
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop,
                         metrics.elidedText(text, Qt::ElideRight, box.width()));
    }
}

void Skin_Caption::SetCaptionText() {
    LayoutText();
}

int Skin_Caption::ButtonRowLeft() const {
    return varnel::ButtonRowLeft(ButtonRow(), {.controlBox = m_ControlBox,
                                               .closeOnly = StyleValue() == CaptionStyle::CloseOnly,
                                               .showOnTop = m_SHOWONTOP});
}

void Skin_Caption::LayoutText() {
    if (parentWidget() == nullptr) {
        return;
    }
    const QString title = parentWidget()->windowTitle();
    const QString caption = m_ShortTitle.isEmpty() ? title : m_ShortTitle;
    // The text ends before the button row (and before the message of a
    // failed work-area query while it shows), cut with an ellipsis; it never
    // covers a button, so the buttons keep the mouse.
    int end = ButtonRowLeft() - kTextGap;
    if (m_MessageShown) {
        const QFontMetrics metrics(font());
        end -= metrics.horizontalAdvance(QString::fromUtf8(kWorkAreaFailure)) + kTextGap;
    }
    for (QLabel* label : {Label1, Label2}) {
        const int room = std::max(0, end - label->x());
        const QFontMetrics metrics(label->font());
        const QString shown = metrics.elidedText(caption, Qt::ElideRight, room);
        if (label->text() != shown) {
            label->setText(shown);
        }
        label->adjustSize();
        if (label->width() > room) {
            label->resize(room, label->height());
        }
    }
    // What the bar leaves out can still be read by pointing at it.
    const QString tip = Label1->text() == title ? QString() : title;
    if (toolTip() != tip) {
        setToolTip(tip);
    }
}

void Skin_Caption::setShortTitle(const QString& text) {
    if (m_ShortTitle == text) {
        return;
    }
    m_ShortTitle = text;
    LayoutText();
}

QString Skin_Caption::shownText() const {
    return Label1->text();
}

void Skin_Caption::UserControl_Resize() {
    if (Maximized()) {
        SizingEnabled = false;
    } else if (StyleValue() == CaptionStyle::Sizable) {
        SizingEnabled = true;
    }
    DrawCaption();
    update();
    if (m_DesignMode) {
        SetHeight(platform::TwipsToPixels(kDesignHeightTwips, platform::TwipsPerPixel(this)));
    }
    Image1->move(m_XOffset2, m_YOffset + 2);
    if (m_ShowIcon) {
        Image1->update();
    }
}

void Skin_Caption::SetHeight(int pixels) {
    pixels = std::max(0, pixels);
    if (height() == pixels) {
        return;
    }
    resize(width(), pixels);
    // The frame lays its controls out again at once (a control not shown
    // yet gets its resize event only when shown).
    if (SkinFrame* frame = SkinFrame::Find(parentWidget()); frame != nullptr) {
        frame->relayout();
    }
}

QImage Skin_Caption::surface(qreal ratio) const {
    QImage image(QSize(static_cast<int>(std::ceil(width() * ratio)),
                       static_cast<int>(std::ceil(height() * ratio))),
                 QImage::Format_RGB32);
    if (image.isNull()) {
        return image;
    }
    image.setDevicePixelRatio(ratio);
    QPainter painter(&image);
    const_cast<Skin_Caption*>(this)->UserControl_Paint(painter);
    return image;
}

void Skin_Caption::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setClipRegion(event->region());
    UserControl_Paint(painter);
}

void Skin_Caption::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void Skin_Caption::ShowButtonImage(CaptionButton button, SkinPicture entry) {
    Skin_clsBitmap* holder = Holder(button);
    if (holder == nullptr || !m_SkinStore) {
        return;
    }
    // A missing entry leaves the holder empty: nothing is drawn and the
    // button counts as 0 wide until the next layout pass.
    const int x = ButtonRow().PlacedLeft(button);
    const QRect before(x, m_FromTop, holder->Width(), holder->Height());
    holder->LoadResource(m_SkinStore->picture(entry));
    // A pixel more all round: on a fractional scale the image's edges are
    // rounded to device pixels that may reach past its logical rectangle.
    update(before
               .united(QRect(ButtonRow().PlacedLeft(button), m_FromTop, holder->Width(),
                             holder->Height()))
               .adjusted(-1, -1, 1, 1));
}

void Skin_Caption::WriteWorkAreaFailure() {
    // Once written, the message stays until the next layout pass.
    if (m_MessageShown) {
        return;
    }
    m_MessageShown = true;
    LayoutText();
    update();
}

} // namespace varnel
