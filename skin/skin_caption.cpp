#include "skin/skin_caption.h"

#include "platform/docking_host.h"
#include "platform/gdi.h"
#include "platform/units.h"
#include "platform/window_services.h"
#include "platform/work_area.h"
#include "skin/skin_bitmap.h"
#include "skin/skin_library.h"
#include "skin/skin_ontop.h"

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

// Rounds to the nearest whole number, halves to the even neighbour, whatever
// rounding mode the floating-point unit is in.
double RoundHalfEven(double value) {
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5) {
        return below + 1.0;
    }
    if (fraction < 0.5) {
        return below;
    }
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

// A holder's image width or height, 0 when it holds none.
int ImageWidth(const Skin_clsBitmap* holder) {
    return holder != nullptr && holder->hdc() != 0 ? holder->Width() : 0;
}
int ImageHeight(const Skin_clsBitmap* holder) {
    return holder != nullptr && holder->hdc() != 0 ? holder->Height() : 0;
}

void CopyImage(platform::HDC dc, int x, int y, const Skin_clsBitmap* holder) {
    if (holder == nullptr || holder->hdc() == 0) {
        return;
    }
    platform::BitBlt(dc, x, y, holder->Width(), holder->Height(), holder->hdc(), 0, 0,
                     platform::SRCCOPY);
}

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

// ------------------------------------------------------------- button row

double CaptionButtonRow::Right(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return surfaceWidth - fromRight;
    case CaptionButton::MaxRestore:
        return Left(CaptionButton::Close) - iconSpace;
    case CaptionButton::Minimise:
        return Left(CaptionButton::MaxRestore) - iconSpace;
    case CaptionButton::OnTop:
        return Left(CaptionButton::Minimise) - iconSpace;
    }
    return 0.0;
}

double CaptionButtonRow::Left(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return Right(button) - closeWidth;
    case CaptionButton::MaxRestore:
        return Right(button) - maxWidth;
    case CaptionButton::Minimise:
        return Right(button) - minWidth;
    case CaptionButton::OnTop:
        return Right(button) - onTopWidth;
    }
    return 0.0;
}

int CaptionButtonRow::PlacedLeft(CaptionButton button) const {
    return static_cast<int>(RoundHalfEven(Left(button)));
}

bool CaptionButtonRow::Contains(CaptionButton button, float x) const {
    return static_cast<float>(Left(button)) < x && x < static_cast<float>(Right(button));
}

// ---------------------------------------------------------------- control

Skin_Caption::Skin_Caption(QWidget* parent)
    : QWidget(parent), m_OnTop(std::make_unique<Skin_clsOnTop>()), m_OwnForeColour(kWhite),
      m_OwnBackColour(kDesignBackColour), m_Label1Colour(kWhite), m_Label2Colour(kButtonText),
      m_WorkArea(std::make_unique<platform::ScreenWorkArea>()) {
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
    Label2 = new QLabel(sample, this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label1 = new QLabel(sample, this);
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

Skin_Caption::~Skin_Caption() {
    // Terminate: the picture holders free their surfaces and bitmaps.
    m_TopLeft.reset();
    m_TopMid.reset();
    m_TopRight.reset();
    m_CloseImage.reset();
    m_MaxImage.reset();
    m_MinImage.reset();
}

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
    DrawCaption(nullptr);
    update();
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
    m_Style2 = value;
    m_Changes.PropertyChanged(QStringLiteral("Style2"));
}

void Skin_Caption::REDRAW() {
    repaint();
}

StdFont Skin_Caption::Font() const {
    return StdFont::FromQFont(font());
}

void Skin_Caption::setFont(const StdFont& value) {
    QWidget::setFont(value.toQFont());
    m_Changes.PropertyChanged(QStringLiteral("Font"));
    DrawCaption(nullptr);
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
    UserControl_Resize();
    update();
}

void Skin_Caption::setWorkAreaSource(std::unique_ptr<platform::WorkAreaSource> source) {
    if (source) {
        m_WorkArea = std::move(source);
    }
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
    if (parentWidget() != nullptr) {
        platform::DockingHost::For(parentWidget())->setAlign(this, platform::Align::Top);
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
    row.closeWidth = ImageWidth(m_CloseImage.get());
    row.maxWidth = ImageWidth(m_MaxImage.get());
    row.minWidth = ImageWidth(m_MinImage.get());
    row.onTopWidth = ImageWidth(m_OnTopImage.get());
    return row;
}

Skin_clsBitmap* Skin_Caption::Holder(CaptionButton button) const {
    switch (button) {
    case CaptionButton::Close:
        return m_CloseImage.get();
    case CaptionButton::Minimise:
        return m_MinImage.get();
    case CaptionButton::MaxRestore:
        return m_MaxImage.get();
    case CaptionButton::OnTop:
        return m_OnTopImage.get();
    }
    return nullptr;
}

Skin_clsOnTop& Skin_Caption::OnTop() {
    if (!m_OnTop) {
        m_OnTop = std::make_unique<Skin_clsOnTop>();
    }
    return *m_OnTop;
}

int Skin_Caption::TwipsPerPixel() const {
    return platform::TwipsPerPixel(this);
}

void Skin_Caption::DrawCaption(QPainter* painter) {
    if (!m_DesignMode) {
        m_TopLeft = std::make_unique<Skin_clsBitmap>();
        m_TopMid = std::make_unique<Skin_clsBitmap>();
        m_TopRight = std::make_unique<Skin_clsBitmap>();
        m_CloseImage = std::make_unique<Skin_clsBitmap>();
        m_MaxImage = std::make_unique<Skin_clsBitmap>();
        m_MinImage = std::make_unique<Skin_clsBitmap>();
        m_OnTopImage = std::make_unique<Skin_clsBitmap>();
        m_SkinStore = OpenSkinStore(m_Path);

        LoadSkinPicture(*m_TopLeft, m_SkinStore, QStringLiteral("TOPLEFT"));
        LoadSkinPicture(*m_TopMid, m_SkinStore, QStringLiteral("TOPMID"));
        LoadSkinPicture(*m_TopRight, m_SkinStore, QStringLiteral("TOPRIGHT"));
        LoadSkinPicture(*m_CloseImage, m_SkinStore, QStringLiteral("CLOSE"));
        LoadSkinPicture(*m_MaxImage, m_SkinStore,
                        m_Maximized == 1 ? QStringLiteral("RES1") : QStringLiteral("MAX"));
        LoadSkinPicture(*m_MinImage, m_SkinStore, QStringLiteral("MIN"));

        if (m_Maximized == 1) {
            m_Style2 = 1;
        } else if (const int state = OwnerWindowState(); state == 0 || state == 1) {
            m_Style2 = 0;
        } else if (state == 2) {
            m_Style2 = 2;
        }

        LoadSkinPicture(*m_OnTopImage, m_SkinStore,
                        m_ONTOP ? QStringLiteral("ONTOP3") : QStringLiteral("ONTOP1"));

        const auto readInteger = [this](const char* name, std::int16_t& target) {
            if (const auto value = SkinInteger(m_SkinStore, QString::fromLatin1(name))) {
                target = *value;
            }
        };
        readInteger("XOFFSET", m_XOffset);
        readInteger("XOFFSET2", m_XOffset2);
        readInteger("YOFFSET", m_YOffset);
        readInteger("FROMRIGHT", m_FromRight);
        readInteger("FROMTOP", m_FromTop);
        readInteger("ICONSPACE", m_IconSpace);

        if (const auto colour = SkinColour(m_SkinStore, QStringLiteral("FORECOLOR"))) {
            m_OwnForeColour = *colour;
        }
        if (const auto colour = SkinColour(m_SkinStore, QStringLiteral("BackColor"))) {
            m_OwnBackColour = *colour;
        }
        if (const auto colour = SkinColour(m_SkinStore, QStringLiteral("PARENTBACKCOLOR"));
            colour && parentWidget() != nullptr) {
            QWidget* owner = parentWidget();
            const QColor wanted = colour->toQColor();
            if (owner->palette().color(QPalette::Window) != wanted) {
                QPalette palette = owner->palette();
                palette.setColor(QPalette::Window, wanted);
                owner->setPalette(palette);
            }
            if (!owner->isWindow()) {
                owner->setAutoFillBackground(true);
            }
        }

        const int tpp = TwipsPerPixel();
        SetHeight(platform::TwipsToPixels(ImageHeight(m_TopLeft.get()) * tpp, tpp));

        std::optional<platform::PainterDC> dc;
        if (painter != nullptr) {
            dc.emplace(*painter);
        }
        const int surfaceWidth = width();
        if (dc) {
            // The middle piece, repeated by count; copies that would start
            // past the right edge are clipped away whole, so they are not made.
            const int midWidth = ImageWidth(m_TopMid.get());
            if (midWidth > 0) {
                for (std::int64_t i = 0; i <= surfaceWidth; ++i) {
                    const std::int64_t x = i * midWidth;
                    if (x >= surfaceWidth) {
                        break;
                    }
                    CopyImage(dc->handle(), static_cast<int>(x), 0, m_TopMid.get());
                }
            }
            CopyImage(dc->handle(), 0, 0, m_TopLeft.get());
            CopyImage(dc->handle(), surfaceWidth - ImageWidth(m_TopRight.get()), 0,
                      m_TopRight.get());
        }

        if (m_ShowIcon && parentWidget() != nullptr) {
            // The picture is made again only when the owner's icon changed:
            // a new picture would repaint the bar beneath it.
            const QIcon icon = parentWidget()->windowIcon();
            if (icon.cacheKey() != m_IconKey) {
                m_IconKey = icon.cacheKey();
                Image1->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(kIconSize, kIconSize));
            }
        }

        if (dc) {
            const CaptionButtonRow row = ButtonRow();
            const auto place = [&](CaptionButton button) {
                CopyImage(dc->handle(), row.PlacedLeft(button), m_FromTop, Holder(button));
            };
            if (m_ControlBox) {
                place(CaptionButton::Close);
                if (m_Style != 0) {
                    place(CaptionButton::MaxRestore);
                    place(CaptionButton::Minimise);
                }
            }
            if (m_SHOWONTOP) {
                place(CaptionButton::OnTop);
            }
        }

        m_TopLeft.reset();
        m_TopMid.reset();
        m_TopRight.reset();
    }

    if (OwnerWindowState() == 2) {
        if (m_Painting) {
            // The owner's bounds cannot change inside a paint: take over
            // right after it.
            QTimer::singleShot(0, this, [this] {
                if (OwnerWindowState() == 2) {
                    TakeOverSystemMaximise();
                }
            });
        } else {
            TakeOverSystemMaximise();
        }
    }
}

void Skin_Caption::TakeOverSystemMaximise() {
    SetOwnerWindowStateNormal();
    m_Style2 = 1;
    SizingEnabled = false;
    m_Maximized = 1;
    MaximizeToWorkArea(Order::PlaceThenSize);
}

void Skin_Caption::UserControl_Paint(QPainter& painter) {
    DrawCaption(&painter);
    MoveLabel(Label1, m_XOffset + 17, m_YOffset);
    MoveLabel(Label2, m_XOffset + 16, m_YOffset - 1);
    SetCaptionText();
    SetLabelColour(Label1, m_OwnForeColour);
    m_Label1Colour = m_OwnForeColour;
    SetLabelColour(Label2, m_OwnBackColour);
    m_Label2Colour = m_OwnBackColour;
}

void Skin_Caption::SetCaptionText() {
    if (parentWidget() == nullptr) {
        return;
    }
    const QString caption = parentWidget()->windowTitle();
    for (QLabel* label : {Label1, Label2}) {
        if (label->text() != caption) {
            label->setText(caption);
            label->adjustSize();
        }
    }
}

void Skin_Caption::UserControl_Resize() {
    if (m_Maximized == 1) {
        SizingEnabled = false;
    } else if (m_Style == 1) {
        SizingEnabled = true;
    }
    DrawCaption(nullptr);
    update();
    if (m_DesignMode) {
        const int tpp = TwipsPerPixel();
        SetHeight(platform::TwipsToPixels(kDesignHeightTwips, tpp));
    }
    Image1->move(m_XOffset2, m_YOffset + 2);
    if (m_ShowIcon) {
        Image1->update();
    }
}

void Skin_Caption::SetHeight(int pixels) {
    if (pixels < 0 || height() == pixels) {
        return;
    }
    if (m_Painting) {
        // Resizing inside a paint event is not allowed; apply it right after,
        // which repaints the control at its new height.
        QTimer::singleShot(0, this, [this, pixels] { SetHeight(pixels); });
        return;
    }
    resize(width(), pixels);
    if (auto* host = platform::DockingHost::Find(parentWidget());
        host != nullptr && host->align(this) != platform::Align::None) {
        host->relayout();
    }
}

void Skin_Caption::EnsureSurface() {
    if (m_Surface.size() == size()) {
        return;
    }
    if (width() <= 0 || height() <= 0) {
        m_Surface = QImage();
        return;
    }
    m_Surface = QImage(size(), QImage::Format_RGB32);
    m_Surface.fill(m_OwnBackColour.toQColor());
    m_Flushed = QRegion();
}

void Skin_Caption::paintEvent(QPaintEvent* event) {
    EnsureSurface();
    if (m_Surface.isNull()) {
        return;
    }
    const QRegion region = event->region();
    if (!region.subtracted(m_Flushed).isEmpty()) {
        // A repaint: the background in the back colour, then the layout pass,
        // both limited to the region the system asks for.
        QPainter surface(&m_Surface);
        surface.setClipRegion(region);
        surface.fillRect(m_Surface.rect(), m_OwnBackColour.toQColor());
        m_MessageShown = false;
        m_Painting = true;
        UserControl_Paint(surface);
        m_Painting = false;
    }
    m_Flushed -= region;
    QPainter screen(this);
    screen.setClipRegion(region);
    screen.drawImage(0, 0, m_Surface);
}

void Skin_Caption::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void Skin_Caption::Flush(const QRect& rect) {
    const QRect shown = rect.intersected(this->rect());
    if (shown.isEmpty()) {
        return;
    }
    m_Flushed += shown;
    update(shown);
}

void Skin_Caption::ShowButtonImage(CaptionButton button, const char* entry) {
    Skin_clsBitmap* holder = Holder(button);
    if (holder == nullptr) {
        return;
    }
    // A missing entry leaves the holder empty: nothing is drawn and the
    // button counts as 0 wide until the next layout pass.
    holder->LoadResource(SkinPictureHandle(m_SkinStore, QString::fromLatin1(entry)));
    if (holder->hdc() == 0) {
        return;
    }
    EnsureSurface();
    if (m_Surface.isNull()) {
        return;
    }
    const int x = ButtonRow().PlacedLeft(button);
    {
        const platform::PainterDC dc(&m_Surface);
        CopyImage(dc.handle(), x, m_FromTop, holder);
    }
    Flush(QRect(x, m_FromTop, holder->Width(), holder->Height()));
}

void Skin_Caption::WriteWorkAreaFailure() {
    // Once written, the message stays until the next repaint; a second
    // failure before then finds it there.
    if (m_MessageShown) {
        return;
    }
    EnsureSurface();
    if (m_Surface.isNull()) {
        return;
    }
    // The text goes after the caption text, in the middle of the bar's
    // height, so that it covers neither the icon nor the caption.
    const QString text = QString::fromUtf8(kWorkAreaFailure);
    const QFontMetrics metrics(font());
    QRect place(Label1->geometry().right() + 9, (height() - metrics.height()) / 2,
                metrics.horizontalAdvance(text) + 1, metrics.height());
    // It ends before the buttons.
    const CaptionButtonRow row = ButtonRow();
    int end = width();
    if (m_SHOWONTOP) {
        end = row.PlacedLeft(CaptionButton::OnTop);
    } else if (m_ControlBox) {
        end = row.PlacedLeft(m_Style != 0 ? CaptionButton::Minimise : CaptionButton::Close);
    }
    place.setRight(std::min(place.right(), end - m_IconSpace - 1));
    if (place.isEmpty()) {
        return;
    }
    {
        QPainter painter(&m_Surface);
        painter.setClipRect(place);
        painter.setFont(font());
        painter.setPen(m_OwnForeColour.toQColor());
        painter.drawText(place, Qt::AlignLeft | Qt::AlignTop, text);
    }
    m_MessageShown = true;
    Flush(place);
}

// ------------------------------------------------------------ owner window

int Skin_Caption::OwnerWindowState() const {
    const QWidget* owner = parentWidget();
    if (owner == nullptr) {
        return -1;
    }
    const Qt::WindowStates state = owner->windowState();
    if (state.testFlag(Qt::WindowMinimized)) {
        return 1;
    }
    if (state.testFlag(Qt::WindowMaximized)) {
        return 2;
    }
    return 0;
}

void Skin_Caption::SetOwnerWindowStateNormal() {
    QWidget* owner = parentWidget();
    if (owner == nullptr) {
        return;
    }
    // The window comes back at its normal bounds at once, so that the bounds
    // read next are those and not the maximised ones.
    const QRect normal = owner->normalGeometry();
    owner->setWindowState(owner->windowState() &
                          ~(Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
    if (normal.isValid() && !normal.isEmpty()) {
        owner->setGeometry(normal);
    }
}

bool Skin_Caption::MaximizeToWorkArea(Order order) {
    QWidget* owner = parentWidget();
    const std::optional<platform::WorkArea> area = m_WorkArea->Query(owner);
    if (!area) {
        return false;
    }
    if (owner == nullptr) {
        return true;
    }
    const int tpp = TwipsPerPixel();
    m_RestoreWidth = owner->width() * tpp;
    m_RestoreHeight = owner->height() * tpp;
    m_RestoreLeft = owner->x() * tpp;
    m_RestoreTop = owner->y() * tpp;

    const auto setLeft = [owner, tpp](int twips) {
        owner->move(platform::TwipsToPixels(twips, tpp), owner->y());
    };
    const auto setTop = [owner, tpp](int twips) {
        owner->move(owner->x(), platform::TwipsToPixels(twips, tpp));
    };
    const auto place = [&] {
        const platform::WorkArea& rect = *area;
        if (rect.bottom > 0 && rect.left == 0 && rect.top == 0) {
            setLeft(0);
            setTop(0);
        } else if (rect.left > 0 && rect.top == 0) {
            setLeft(rect.left * tpp);
            setTop(0);
        } else if (rect.top > 0 && rect.left == 0) {
            setLeft(0);
            setTop(rect.top * tpp);
        } else if (rect.right > 0 && rect.top == 0) {
            setLeft(0);
            setTop(0);
        }
    };
    const auto size = [&] {
        const platform::WorkArea& rect = *area;
        owner->resize(platform::TwipsToPixels((rect.right - rect.left) * tpp, tpp),
                      owner->height());
        owner->resize(owner->width(), platform::TwipsToPixels((rect.bottom - rect.top) * tpp, tpp));
    };
    if (order == Order::PlaceThenSize) {
        place();
        size();
    } else {
        size();
        place();
    }
    return true;
}

void Skin_Caption::RestoreFromWorkArea() {
    QWidget* owner = parentWidget();
    if (owner == nullptr) {
        return;
    }
    const int tpp = TwipsPerPixel();
    owner->resize(platform::TwipsToPixels(m_RestoreWidth, tpp), owner->height());
    owner->resize(owner->width(), platform::TwipsToPixels(m_RestoreHeight, tpp));
    owner->move(platform::TwipsToPixels(m_RestoreLeft, tpp), owner->y());
    owner->move(owner->x(), platform::TwipsToPixels(m_RestoreTop, tpp));
}

// ------------------------------------------------------------------ mouse

void Skin_Caption::mousePressEvent(QMouseEvent* event) {
    m_PressGlobal = event->globalPosition().toPoint();
    m_PressedHere = true;
    event->accept();
    UserControl_MouseDown();
}

void Skin_Caption::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPointF pos = event->position();
    UserControl_MouseMove(static_cast<float>(pos.x()), static_cast<float>(pos.y()));
}

void Skin_Caption::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const bool click = m_PressedHere && rect().contains(event->position().toPoint());
    m_PressedHere = false;
    UserControl_MouseUp();
    if (click) {
        UserControl_Click();
    }
}

void Skin_Caption::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click raises the double click alone; its
    // release comes as an ordinary release without a click.
    event->accept();
    m_PressedHere = false;
    UserControl_DblClick();
}

bool Skin_Caption::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label1) {
        // The caption text forwards the mouse to the control as a left-button
        // event at (1, 1), wherever the pointer really is.
        switch (event->type()) {
        case QEvent::MouseMove:
            UserControl_MouseMove(1.0f, 1.0f);
            return true;
        case QEvent::MouseButtonPress:
            m_PressGlobal = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
            UserControl_MouseDown();
            return true;
        case QEvent::MouseButtonRelease:
            UserControl_MouseUp();
            return true;
        case QEvent::MouseButtonDblClick:
            UserControl_DblClick();
            return true;
        default:
            return false;
        }
    }
    if (watched == parentWidget()) {
        switch (event->type()) {
        case QEvent::WindowTitleChange:
            // The caption text follows the owner's title as it changes (a long
            // run shows its progress there).
            SetCaptionText();
            break;
        case QEvent::WindowIconChange:
            update();
            break;
        default:
            break;
        }
    }
    return false;
}

bool Skin_Caption::event(QEvent* event) {
    // The owner is watched for its title and icon, whichever widget it is.
    if (event->type() == QEvent::ParentAboutToChange && parentWidget() != nullptr) {
        parentWidget()->removeEventFilter(this);
    } else if (event->type() == QEvent::ParentChange && parentWidget() != nullptr) {
        parentWidget()->installEventFilter(this);
    }
    // Leaving the control ends a hover as leaving the band does.
    if (event->type() == QEvent::Leave && m_ControlBox && m_OverButton) {
        ShowNormalButtons();
    }
    return QWidget::event(event);
}

void Skin_Caption::UserControl_MouseMove(float x, float y) {
    if (!m_ControlBox) {
        return;
    }
    const double bandTop = m_FromTop;
    const double bandBottom = static_cast<double>(m_FromTop) + ImageHeight(m_CloseImage.get());
    if (!(static_cast<float>(bandTop) < y && y < static_cast<float>(bandBottom))) {
        // Off the band the pointer is over no button: the hover ends here, so
        // that a later press or click away from the buttons never acts on the
        // button hovered last.
        if (m_OverButton) {
            ShowNormalButtons();
        }
        return;
    }
    const CaptionButtonRow row = ButtonRow();
    if (row.Contains(CaptionButton::Close, x)) {
        if (m_Style != 4) {
            ShowButtonImage(CaptionButton::Close, "CLOSE3");
            m_HotButton = 0;
            m_OverButton = true;
        }
    } else if (row.Contains(CaptionButton::MaxRestore, x)) {
        if (m_Style != 3 && m_Style != 0) {
            ShowButtonImage(CaptionButton::MaxRestore, m_Maximized == 1 ? "RES2" : "MAX3");
            m_HotButton = 2;
            m_OverButton = true;
        }
    } else if (row.Contains(CaptionButton::Minimise, x)) {
        if (m_Style != 0) {
            ShowButtonImage(CaptionButton::Minimise, "MIN3");
            m_HotButton = 1;
            m_OverButton = true;
        }
    } else if (row.Contains(CaptionButton::OnTop, x)) {
        if (m_SHOWONTOP) {
            m_HotButton = 3;
            m_OverButton = true;
        }
    } else {
        ShowNormalButtons();
    }
}

void Skin_Caption::ShowNormalButtons() {
    ShowButtonImage(CaptionButton::Close, "CLOSE");
    if (m_Style != 0) {
        ShowButtonImage(CaptionButton::MaxRestore, m_Maximized == 1 ? "RES1" : "MAX");
        ShowButtonImage(CaptionButton::Minimise, "MIN");
    }
    m_OverButton = false;
}

void Skin_Caption::UserControl_MouseDown() {
    if (!m_OverButton) {
        DragWindow();
        return;
    }
    if (!m_ControlBox) {
        return;
    }
    switch (m_HotButton) {
    case 0:
        ShowButtonImage(CaptionButton::Close, "CLOSE2");
        break;
    case 2:
        ShowButtonImage(CaptionButton::MaxRestore, m_Maximized == 1 ? "RES3" : "MAX2");
        break;
    case 1:
        ShowButtonImage(CaptionButton::Minimise, "MIN2");
        break;
    default:
        break;
    }
}

void Skin_Caption::UserControl_MouseUp() {
    if (!m_ControlBox || !m_OverButton) {
        return;
    }
    switch (m_HotButton) {
    case 0:
        ShowButtonImage(CaptionButton::Close, "CLOSE");
        break;
    case 2:
        ShowButtonImage(CaptionButton::MaxRestore, m_Maximized == 1 ? "RES1" : "MAX");
        break;
    case 1:
        ShowButtonImage(CaptionButton::Minimise, "MIN");
        break;
    default:
        break;
    }
}

void Skin_Caption::UserControl_Click() {
    if (!m_ControlBox || !m_OverButton) {
        return;
    }
    QWidget* owner = parentWidget();
    switch (m_HotButton) {
    case 0:
        if (m_Style != 4 && owner != nullptr) {
            owner->close();
        }
        break;
    case 3:
        // The stored value changes without a change mark.
        if (m_ONTOP) {
            OnTop().MakeNormal(owner);
            m_ONTOP = false;
            ShowButtonImage(CaptionButton::OnTop, "ONTOP1");
        } else {
            OnTop().MakeTopMost(owner);
            m_ONTOP = true;
            ShowButtonImage(CaptionButton::OnTop, "ONTOP3");
        }
        break;
    case 2:
        if (m_Style == 3) {
            break;
        }
        if (m_Maximized == 1) {
            m_Maximized = 0;
            if (m_WorkArea->Query(owner)) {
                RestoreFromWorkArea();
            } else {
                WriteWorkAreaFailure();
            }
        } else {
            m_Maximized = 1;
            if (!MaximizeToWorkArea(Order::SizeThenPlace)) {
                WriteWorkAreaFailure();
            }
        }
        break;
    case 1:
        if (owner != nullptr) {
            owner->setWindowState((owner->windowState() & ~Qt::WindowMaximized) |
                                  Qt::WindowMinimized);
        }
        m_Style2 = 0;
        break;
    default:
        break;
    }
}

void Skin_Caption::UserControl_DblClick() {
    if (m_OverButton || m_Style == 0 || m_Style == 3) {
        return;
    }
    if (m_Maximized == 1) {
        m_Maximized = 0;
        RestoreFromWorkArea();
    } else {
        SizingEnabled = false;
        m_Maximized = 1;
        if (!MaximizeToWorkArea(Order::PlaceThenSize)) {
            WriteWorkAreaFailure();
        }
    }
}

void Skin_Caption::DragWindow() {
    if (!m_Movable) {
        return;
    }
    // The press's own mouse grab ends with the system's move loop.
    if (m_Maximized == 1 || parentWidget() == nullptr) {
        return;
    }
    platform::BeginSystemMove(parentWidget(), m_PressGlobal);
}

} // namespace varnel
