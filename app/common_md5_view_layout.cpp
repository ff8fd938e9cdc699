// The main window's designed layout: its controls at their designed
// rectangles (in twips), with their captions, hints and tab order, and the
// events they are wired to.

#include "app/common_md5_view.h"

#include "app/program_icon.h"
#include "platform/qt/designed_font.h"
#include "platform/qt/keyboard_access.h"
#include "platform/qt/units.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <iterator>

namespace varnel {

namespace {

// Designed client area, in twips.
constexpr int kClientWidthTwips = 7380;
constexpr int kClientHeightTwips = 5085;

struct ControlRect {
    int left;
    int top;
    int width;
    int height;
};

} // namespace

void Common_MD5_View::CreateControls() {
    setObjectName(QStringLiteral("Common_MD5_View"));
    setWindowTitle(QStringLiteral("Varnel2012"));
    setFont(platform::DesignedFont());

    const int tpp = platform::TwipsPerPixel(this);
    const auto place = [this, tpp](QWidget* control, const char* name, ControlRect rect) {
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(
            platform::TwipsToPixels(rect.left, tpp), platform::TwipsToPixels(rect.top, tpp),
            platform::TwipsToPixels(rect.width, tpp), platform::TwipsToPixels(rect.height, tpp));
        // A click the control does not use must not reach the window, where
        // a double click would close it.
        control->setAttribute(Qt::WA_NoMousePropagation, true);
        control->installEventFilter(this);
    };
    const auto button = [this, &place](const char* name, const char* caption, const char* hint,
                                       ControlRect rect) {
        auto* control = new QPushButton(QString::fromUtf8(caption), this);
        place(control, name, rect);
        control->setToolTip(QString::fromUtf8(hint));
        control->setMouseTracking(true);
        platform::PressWithEnter(control);
        return control;
    };
    const auto check = [this, &place](const char* name, const char* caption, bool ticked,
                                      ControlRect rect) {
        auto* control = new QCheckBox(QString::fromUtf8(caption), this);
        place(control, name, rect);
        control->setChecked(ticked);
        control->setMouseTracking(true);
        return control;
    };

    // In tab order.
    Command1 = button("Command1", "打开", "Open File", {235, 3885, 990, 360});
    Command4 = button("Command4", "清除", "Clear Value", {6000, 3885, 990, 360});
    Command3 = button("Command3", "复制", "Copy Value", {4080, 3885, 990, 360});
    Command5 = button("Command5", kCloseCaption, "Close", {240, 4440, 990, 360});

    Text1 = new QPlainTextEdit(this);
    place(Text1, "Text1", {200, 600, 6975, 2535});
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // Drops are handled by the window (Form_Load turns them on); until then,
    // and for anything but files, the box takes none.
    Text1->setAcceptDrops(false);
    // A folder report appends thousands of blocks; an undo history of them
    // would keep a second copy of the whole text.
    Text1->setUndoRedoEnabled(false);
    // Tab and Shift+Tab move along the window's tab order, as they do from
    // every other control; the report needs no tab characters.
    Text1->setTabChangesFocus(true);
    Text1->viewport()->installEventFilter(this);

    Command2 = button("Command2", "批量", "Open Folder", {2160, 3885, 990, 360});
    Check1 = check("Check1", "MD5值.", true, {240, 3360, 855, 255});
    Check2 = check("Check2", "SHA1值.", true, {1260, 3360, 975, 255});
    Check3 = check("Check3", "CRC32值.", false, {2360, 3360, 1095, 255});
    Check4 = check("Check4", "修改时间.", true, {3600, 3360, 1095, 255});
    Check5 = check("Check5", "文件大小.", true, {4820, 3360, 1095, 255});
    Check6 = check("Check6", "文件版本.", false, {6060, 3360, 1095, 255});
    Command7 = button("Command7", "更多工具", "More Tools", {4080, 4440, 990, 375});

    // Tab places 13 to 16: the skin's caption and border controls, docked
    // along the window's edges. They take no focus, so Tab passes over them.
    // Each loads the properties the window keeps for it; they stay hidden
    // until the load procedure finds a usable skin.
    m_Frame = SkinFrame::Install(this, 3);
    Skin_Caption1 = m_Frame->caption();
    Skin_Border1 = m_Frame->border(FrameEdge::Left);
    Skin_Border2 = m_Frame->border(FrameEdge::Right);
    Skin_Border3 = m_Frame->border(FrameEdge::Bottom);

    Command6 = button("Command6", "比较", "Comp", {2160, 4440, 990, 360});
    Command8 = button("Command8", "关于作者", "About", {6000, 4440, 990, 375});

    QWidget* const tabOrder[] = {Command1,     Command4,     Command3, Command5,      Text1,
                                 Command2,     Check1,       Check2,   Check3,        Check4,
                                 Check5,       Check6,       Command7, Skin_Caption1, Skin_Border1,
                                 Skin_Border2, Skin_Border3, Command6, Command8};
    for (std::size_t i = 0; i + 1 < std::size(tabOrder); ++i) {
        QWidget::setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    // The focus starts on the first place of the tab order and is drawn from
    // the start, so a keyboard user sees where a key goes before any Tab.
    Command1->setFocus(Qt::OtherFocusReason);
    platform::ShowFocusFromStart(this);

    // The images: Image2 holds the window's icon, Image1 and Image3 small
    // forms of it, Image4 nothing. None of them is shown.
    const auto image = [this, &place](const char* name, int pictureSize, ControlRect rect) {
        auto* control = new QLabel(this);
        place(control, name, rect);
        control->removeEventFilter(this);
        if (pictureSize > 0) {
            control->setPixmap(DrawProgramIcon(pictureSize));
        }
        return control;
    };
    Image1 = image("Image1", 16, {360, 3720, 240, 240});
    Image2 = image("Image2", 32, {600, 3720, 480, 480});
    Image3 = image("Image3", 16, {960, 3720, 240, 240});
    Image4 = image("Image4", 0, {1200, 3720, 255, 255});

    connect(Command1, &QPushButton::clicked, this, &Common_MD5_View::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Common_MD5_View::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Common_MD5_View::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Common_MD5_View::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Common_MD5_View::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Common_MD5_View::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &Common_MD5_View::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &Common_MD5_View::Command8_Click);
    connect(Check1, &QCheckBox::clicked, this, &Common_MD5_View::Check1_Click);
    resize(platform::TwipsToPixels(kClientWidthTwips, tpp),
           platform::TwipsToPixels(kClientHeightTwips, tpp));
}

} // namespace varnel
