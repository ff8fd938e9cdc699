#include "skin/skin_caption.h"

#include "platform/qt/units.h"
#include "platform/qt/window_services.h"
#include "platform/qt/work_area.h"
#include "skin/caption_label.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "skin/skin_ontop.h"
#include "skin/skin_value.h"

#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace varnel {

namespace {

// The caption's own look before a skin is read.
constexpr Colour kDesignBackColour = Colour::FromRgb(90, 126, 220); // &H00DC7E5A
constexpr Colour kWhite{0x00FFFFFF};
// System colour 18, button text: the default colour of the caption's back copy.
constexpr Colour kButtonText{0x80000012};

constexpr int kIconSize = 16;
constexpr int kDesignHeightTwips = 400;

// The pointer setting for a movable caption: a custom pointer, which without
// a pointer image of its own shows as the platform's arrow.
constexpr std::int32_t kCustomPointer = 99;

const char* const kWorkAreaFailure = "调用 SystemParametersInfo 失败";
// The design-time sample caption; every repaint at run time replaces it.
const char* const kSampleCaption = "酷毙了的 XP 窗体控件 (支持换皮肤)";

// Gap between the caption text (or the message) and what follows it.
constexpr int kTextGap = 8;

void SetLabelColour(QLabel* label, Colour colour) {
    const QColor wanted = colour.toQColor();
    if (label->palette().color(QPalette::WindowText) == wanted) {
        return;
    }
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, wanted);
    label->setPalette(palette);
}

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

// ---------------------------------------------------------------- control

Skin_Caption::Skin_Caption(QWidget* parent)
    : QWidget(parent), m_OnTop(std::make_unique<Skin_clsOnTop>()), m_OwnForeColour(kWhite),
      m_OwnBackColour(kDesignBackColour), m_Label1Colour(kWhite), m_Label2Colour(kButtonText) {
    // The surface is drawn whole from the kept image; nothing shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    QWidget::setFont(
        StdFont{QStringLiteral("宋体"), 8.25, false, false, false, false, 400, 134}.toQFont());

    // Created back to front: later siblings are drawn over earlier ones.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kIconSize, kIconSize);
    Image1->setScaledContents(true);
    // Image1 and Label2 have no mouse handling: what happens over them stays
    // there and never reaches the control.
    Image1->setAttribute(Qt::WA_NoMousePropagation);

    const QString sample = QString::fromUtf8(kSampleCaption);
    Label2 = new CaptionLabel(sample, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label1 = new CaptionLabel(sample, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    for (QLabel* label : {Label2, Label1}) {
        label->setFont(CaptionTextFont());
        label->setAutoFillBackground(false);
        label->setMargin(0);
        label->setIndent(0);
        label->adjustSize();
    }
    Label2->setAttribute(Qt::WA_NoMousePropagation);
    Label1->setMouseTracking(true);
    Label1->installEventFilter(this);
    SetLabelColour(Label1, m_Label1Colour);
    SetLabelColour(Label2, m_Label2Colour);

    if (parent != nullptr) {
        parent->installEventFilter(this);
    }
}

// Terminate: the picture holders let go of their pictures with the control.
Skin_Caption::~Skin_Caption() = default;

QFont Skin_Caption::CaptionTextFont() {
    QFont font;
    // Trebuchet MS where the system has it; the families after it carry the
    // Latin and Chinese glyphs where it does not.
    font.setFamilies({QStringLiteral("Trebuchet MS"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Microsoft YaHei")});
    font.setPointSizeF(11.25);
    font.setWeight(QFont::Bold);
    // Set explicitly so that nothing of the control's own font reaches the
    // caption text.
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

// ------------------------------------------------------------- properties

void Skin_Caption::setControlBox(bool value) {
    m_ControlBox = value;
    m_Changes.PropertyChanged(QStringLiteral("ControlBox"));
}

void Skin_Caption::setMovable(bool value) {
    m_Movable = value;
    m_Changes.PropertyChanged(QStringLiteral("Movable"));
}

void Skin_Caption::setONTOP(bool value) {
    m_ONTOP = value;
    if (value) {
        OnTop().MakeTopMost(parentWidget());
    } else {
        OnTop().MakeNormal(parentWidget());
    }
    m_Changes.PropertyChanged(QStringLiteral("ONTOP"));
}

void Skin_Caption::setPath(const QString& value) {
    m_Path = value;
    m_Changes.PropertyChanged(QStringLiteral("Path"));
    UseSource(value);
    if (m_Source != nullptr) {
        m_Source->currentValue();
    }
    DrawCaption();
    update();
}

void Skin_Caption::UseSource(const QString& path) {
    SkinSource* source = m_DesignMode ? nullptr : SkinSource::For(path);
    if (source == m_Source) {
        return;
    }
    if (m_Source != nullptr) {
        disconnect(m_Source, nullptr, this, nullptr);
    }
    m_Source = source;
    if (source != nullptr) {
        // A new version of the file: a layout pass, then a repaint.
        connect(source, &SkinSource::changed, this, [this] {
            DrawCaption();
            update();
        });
    }
}

void Skin_Caption::setShowIcon(bool value) {
    m_ShowIcon = value;
    m_Changes.PropertyChanged(QStringLiteral("ShowIcon"));
}

void Skin_Caption::setSHOWONTOP(bool value) {
    m_SHOWONTOP = value;
    m_Changes.PropertyChanged(QStringLiteral("SHOWONTOP"));
}

void Skin_Caption::setStyle(std::int32_t value) {
    m_Style = value;
    m_Changes.PropertyChanged(QStringLiteral("Style"));
}

void Skin_Caption::setStyle2(std::int32_t value) {
    m_Style2 = static_cast<CaptionWindowState>(value);
    m_Changes.PropertyChanged(QStringLiteral("Style2"));
}

void Skin_Caption::REDRAW() {
    DrawCaption();
    repaint();
}

StdFont Skin_Caption::Font() const {
    return StdFont::FromQFont(font());
}

void Skin_Caption::setFont(const StdFont& value) {
    QWidget::setFont(value.toQFont());
    m_Changes.PropertyChanged(QStringLiteral("Font"));
    DrawCaption();
    update();
}

void Skin_Caption::setBackColor(Colour value) {
    m_Label2Colour = value;
    SetLabelColour(Label2, value);
    m_Changes.PropertyChanged(QStringLiteral("BackColor"));
}

void Skin_Caption::setForeColor(Colour value) {
    m_Label1Colour = value;
    SetLabelColour(Label1, value);
    m_Changes.PropertyChanged(QStringLiteral("ForeColor"));
}

void Skin_Caption::setDesignMode(bool designMode) {
    m_DesignMode = designMode;
    UseSource(m_Path);
    UserControl_Resize();
    update();
}

void Skin_Caption::setWorkAreaSource(std::unique_ptr<platform::WorkAreaSource> source) {
    if (SkinFrame* frame = Frame(); frame != nullptr) {
        frame->setWorkAreaSource(std::move(source));
    }
}

SkinFrame* Skin_Caption::Frame() const {
    return parentWidget() != nullptr ? SkinFrame::For(parentWidget()) : nullptr;
}

// ------------------------------------------------------------ persistence

namespace {

StdFont AmbientFont(const QWidget* caption) {
    const QWidget* container = caption->parentWidget();
    return StdFont::FromQFont(container != nullptr ? container->font() : QFont());
}

} // namespace

void Skin_Caption::UserControl_InitProperties() {
    QWidget::setFont(AmbientFont(this).toQFont());
    if (SkinFrame* frame = Frame(); frame != nullptr) {
        frame->setCaption(this);
    }
}

void Skin_Caption::UserControl_ReadProperties(const PropertyBag& propBag) {
    m_Path = propBag.ReadProperty(QStringLiteral("Path"), QString());
    m_Movable = propBag.ReadProperty(QStringLiteral("Movable"), true);
    m_Style = propBag.ReadProperty(QStringLiteral("Style"), std::int32_t{1});
    m_ShowIcon = propBag.ReadProperty(QStringLiteral("ShowIcon"), true);
    m_ControlBox = propBag.ReadProperty(QStringLiteral("ControlBox"), true);
    m_ONTOP = propBag.ReadProperty(QStringLiteral("ONTOP"), false);
    m_SHOWONTOP = propBag.ReadProperty(QStringLiteral("SHOWONTOP"), false);
    QWidget::setFont(propBag.ReadProperty(QStringLiteral("Font"), AmbientFont(this)).toQFont());
    SizingEnabled = false;
    m_MousePointer = m_Movable ? kCustomPointer : 0;
    if (m_ONTOP) {
        OnTop().MakeTopMost(parentWidget());
    } else {
        OnTop().MakeNormal(parentWidget());
    }
    m_Label2Colour = propBag.ReadProperty(QStringLiteral("BackColor"), kButtonText);
    SetLabelColour(Label2, m_Label2Colour);
    m_Label1Colour = propBag.ReadProperty(QStringLiteral("ForeColor"), kWhite);
    SetLabelColour(Label1, m_Label1Colour);
}

void Skin_Caption::UserControl_WriteProperties(PropertyBag& propBag) const {
    propBag.WriteProperty(QStringLiteral("Path"), m_Path, QString());
    propBag.WriteProperty(QStringLiteral("Movable"), m_Movable, true);
    propBag.WriteProperty(QStringLiteral("ShowIcon"), m_ShowIcon, true);
    propBag.WriteProperty(QStringLiteral("ControlBox"), m_ControlBox, true);
    propBag.WriteProperty(QStringLiteral("ONTOP"), m_ONTOP, false);
    propBag.WriteProperty(QStringLiteral("SHOWONTOP"), m_SHOWONTOP, false);
    propBag.WriteProperty(QStringLiteral("Style"), m_Style, std::int32_t{1});
    propBag.WriteProperty(QStringLiteral("Font"), Font(), AmbientFont(this));
    propBag.WriteProperty(QStringLiteral("BackColor"), m_Label2Colour, kButtonText);
    propBag.WriteProperty(QStringLiteral("ForeColor"), m_Label1Colour, kWhite);
}

// ---------------------------------------------------------------- drawing

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
                Image1->setPixmap(icon.isNull() ? QPixmap()
                                                : icon.pixmap(QSize(kIconSize, kIconSize), ratio));
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
