// Skin_Caption the control: its making, its properties (the skin file it
// reads, the buttons it shows, its colours and font) and their persistence.
// Its drawing is in skin_caption_paint.cpp, its mouse in skin_caption_mouse.cpp.

#include "skin/skin_caption.h"

#include "platform/qt/work_area.h"
#include "skin/caption_label.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"
#include "skin/skin_ontop.h"
#include "skin/skin_value.h"

#include <QLabel>
#include <QPalette>

#include <memory>
#include <utility>

namespace varnel {

namespace {

// The caption's own look before a skin is read.
constexpr Colour kDesignBackColour = Colour::FromRgb(90, 126, 220); // &H00DC7E5A
constexpr Colour kWhite{0x00FFFFFF};
// System colour 18, button text: the default colour of the caption's back copy.
constexpr Colour kButtonText{0x80000012};

// The pointer setting for a movable caption: a custom pointer, which without
// a pointer image of its own shows as the platform's arrow.
constexpr std::int32_t kCustomPointer = 99;

// The design-time sample caption; every repaint at run time replaces it.
const char* const kSampleCaption = "酷毙了的 XP 窗体控件 (支持换皮肤)";
} // namespace

// ---------------------------------------------------------------- control

void Skin_Caption::SetLabelColour(QLabel* label, Colour colour) {
    const QColor wanted = colour.toQColor();
    if (label->palette().color(QPalette::WindowText) == wanted) {
        return;
    }
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, wanted);
    label->setPalette(palette);
}

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
    Image1->setGeometry(0, 0, kCaptionIconSize, kCaptionIconSize);
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

} // namespace varnel
