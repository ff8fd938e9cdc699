#include "about/common_about_form.h"

#include "about/credits.h"
#include "about/suggestion_mail.h"
#include "i18n/language.h"
#include "i18n/shown_text.h"
#include "platform/os/program_dir.h"
#include "platform/qt/designed_font.h"
#include "platform/qt/keyboard_access.h"
#include "platform/qt/link_opener.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/units.h"
#include "platform/qt/window_hints.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <initializer_list>

namespace varnel {

namespace {

// The outer size the window keeps, in twips.
constexpr int kWidthTwips = 6500;
constexpr int kHeightTwips = 4290;

constexpr const char* kSuiteLabel = "Quarrow2013 V12.6";
constexpr const char* kAuthorPrefix = "作者: ";
constexpr const char* kEmailPrefix = "Email: ";
// Shown after "Email: " when the build names no address.
constexpr const char* kNoAddress = "—";

struct ControlRect {
    int left;
    int top;
    int width;
    int height;
};

// The hover hints of the buttons Command1 to Command3, as designed.
const char* ButtonHint(int button) {
    return button == 1 ? "官方网站" : button == 2 ? "返回主窗体" : "下载工具箱";
}

// The built-in texts of the credit labels, Label1 to Label4, as designed.
QString CreditText(int label) {
    switch (label) {
    case 1:
        return QString::fromUtf8(kSuiteLabel);
    case 2:
        return QString::fromUtf8(kAuthorPrefix) + QString::fromUtf8(credits::kAuthorName);
    case 3:
        return QString::fromUtf8(credits::kRightsNotice);
    default: {
        const QString address = QString::fromUtf8(credits::kAuthorEmail);
        return QString::fromUtf8(kEmailPrefix) +
               (address.isEmpty() ? QString::fromUtf8(kNoAddress) : address);
    }
    }
}

// The first frame of a picture, fitted into size with its proportions kept.
QPixmap StillPicture(const QString& resource, QSize size) {
    QImageReader reader(resource);
    const QImage first = reader.read();
    if (first.isNull()) {
        return {};
    }
    return QPixmap::fromImage(first.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

} // namespace

Common_About_Form::Common_About_Form(QWidget* mainWindow)
    : Common_About_Form(mainWindow, platform::ProgramDir()) {}

Common_About_Form::Common_About_Form(QWidget* mainWindow,
                                     const std::filesystem::path& programFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_MainWindow(mainWindow),
      m_ProgramFolder(programFolder), m_LinkOpener(std::make_unique<platform::DesktopLinkOpener>()),
      m_Today([] { return QDate::currentDate(); }) {
    CreateControls();
    Form_Load();
    // Its pinned size holds against the window manager's sizing too.
    platform::KeepGivenSize(this);
}

Common_About_Form::~Common_About_Form() = default;

void Common_About_Form::setLinkOpener(std::unique_ptr<platform::LinkOpener> opener) {
    if (opener) {
        m_LinkOpener = std::move(opener);
    }
}

void Common_About_Form::setClock(std::function<QDate()> today) {
    if (today) {
        m_Today = std::move(today);
    }
}

void Common_About_Form::CreateControls() {
    setObjectName(QStringLiteral("Common_About_Form"));
    setWindowTitle(QStringLiteral("Quarrow"));
    setFont(platform::DesignedFont());
    setMouseTracking(true);

    const int tpp = platform::TwipsPerPixel(this);
    const auto pixels = [tpp](ControlRect rect) {
        return QRect(
            platform::TwipsToPixels(rect.left, tpp), platform::TwipsToPixels(rect.top, tpp),
            platform::TwipsToPixels(rect.width, tpp), platform::TwipsToPixels(rect.height, tpp));
    };
    // Each control takes its own mouse events: a click it does not use must
    // not reach the frame or the window, where a double click closes.
    const auto place = [this, &pixels](QWidget* control, const char* name, ControlRect rect) {
        control->setObjectName(QString::fromLatin1(name));
        control->setGeometry(pixels(rect));
        control->setAttribute(Qt::WA_NoMousePropagation, true);
        control->setMouseTracking(true);
        control->installEventFilter(this);
    };

    m_Skin = SkinFrame::Install(this, 0);

    Frame1 = new QGroupBox(this);
    place(Frame1, "Frame1", {180, 420, 6135, 3015});
    // The frame's body: pressing it moves the window, a double click closes.
    m_Skin->addBody(Frame1);
    const auto label = [this, &place](const char* name, const QString& caption, ControlRect rect) {
        auto* control = new QLabel(caption, Frame1);
        place(control, name, rect);
        return control;
    };
    Label1 = label("Label1", CreditText(1), {165, 240, 2175, 195});
    Label2 = label("Label2", CreditText(2), {160, 600, 2055, 195});
    Label3 = label("Label3", CreditText(3), {165, 960, 3075, 195});
    Label4 = label("Label4", CreditText(4), {160, 1320, 2385, 195});
    Label5 = label("Label5", QStringLiteral("一键下载 Quarrow."), {240, 1920, 2175, 195});
    Label6 =
        label("Label6", QStringLiteral("Varnel只是Quarrow2013的一个组件."), {240, 2400, 4065, 195});
    // The labels that open a page or the mail say so with the pointer, and
    // are links a keyboard reaches: Tab takes them, Enter opens.
    for (QLabel* link : {Label1, Label2, Label4, Label5}) {
        link->setCursor(Qt::PointingHandCursor);
        platform::MakeKeyboardLink(link, [this, link] { ClickLabel(link); });
    }

    const ControlRect pictureRect{4155, 240, 1635, 1935};
    CodeUsedGIF2 = label("CodeUsedGIF2", QString(), pictureRect);
    CodeUsedGIF2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    CodeUsedGIF2->setPixmap(
        StillPicture(QStringLiteral(":/about/CodeUsedGIF2.gif"), pixels(pictureRect).size()));
    Picture1 = label("Picture1", QString(), {4320, 240, 1695, 1935});

    const auto button = [this, &place](const char* name, const char* caption, ControlRect rect) {
        auto* control = new QPushButton(QString::fromUtf8(caption), this);
        place(control, name, rect);
        platform::PressWithEnter(control);
        return control;
    };
    Command1 = button("Command1", "官方网站", {360, 3660, 990, 360});
    Command3 = button("Command3", "工具箱", {2780, 3660, 990, 360});
    Command2 = button("Command2", "返回", {5160, 3660, 990, 360});

    Check100 = new QCheckBox(QStringLiteral("Used For Close Me"), this);
    place(Check100, "Check100", {4320, 3720, 255, 255});

    const auto image = [this, &place](const char* name, const char* picture, ControlRect rect) {
        auto* control = new QLabel(this);
        place(control, name, rect);
        if (picture != nullptr) {
            control->setPixmap(QPixmap(QString::fromLatin1(picture)));
        }
        return control;
    };
    Image1 = image("Image1", ":/about/Image1.png", {1440, 3480, 240, 240});
    Image2 = image("Image2", ":/about/Image2.png", {1680, 3480, 480, 480});
    Image3 = image("Image3", ":/about/Image3.png", {2040, 3480, 240, 240});
    Image4 = image("Image4", nullptr, {2280, 3480, 255, 255});

    QWidget::setTabOrder(Command1, Command3);
    QWidget::setTabOrder(Command3, Command2);
    // The window opens with the focus on its back button: Enter straight
    // after opening goes back, and a link opens only once the user has
    // moved to it.
    Command2->setFocus(Qt::OtherFocusReason);
    platform::ShowFocusFromStart(this);

    connect(Command1, &QPushButton::clicked, this, &Common_About_Form::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Common_About_Form::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Common_About_Form::Command3_Click);
    connect(Check100, &QCheckBox::clicked, this, &Common_About_Form::Check100_Click);

    resize(platform::TwipsToPixels(kWidthTwips, tpp), platform::TwipsToPixels(kHeightTwips, tpp));
}

void Common_About_Form::Form_Load() {
    ApplySystemLanguage();
    // Qt's own texts (the dialogs' buttons and labels) in the same language.
    platform::InstallQtTranslations(platform::QtLanguageForMode(UiLanguage));
    if (CurrentLanguageMode() == LanguageMode::Traditional) {
        setWindowTitle(ShownChinese(windowTitle()));
        for (QPushButton* control : {Command1, Command2, Command3}) {
            control->setText(ShownChinese(control->text()));
        }
        for (QLabel* control : {Label1, Label2, Label3, Label4, Label5, Label6}) {
            control->setText(ShownChinese(control->text()));
        }
    }

    Image1->setVisible(false);
    Image2->setVisible(false);
    Image3->setVisible(false);
    setWindowIcon(QIcon(Image3->pixmap()));
    Check100->setVisible(false);
    Picture1->setVisible(false);
    const int tpp = platform::TwipsPerPixel(this);
    CodeUsedGIF2->move(platform::TwipsToPixels(4320, tpp), CodeUsedGIF2->y());

    // The credit labels carry their built-in texts whatever the window's
    // resources were made to say.
    int n = 1;
    for (QLabel* control : {Label1, Label2, Label3, Label4}) {
        const QString builtIn = ShownChinese(CreditText(n++));
        if (control->text() != builtIn) {
            control->setText(builtIn);
        }
    }

    // A screen reader reads the buttons' descriptions in the window's
    // language from the start; the hover hints come with the pointer.
    if (CurrentLanguageMode() != LanguageMode::English) {
        int button = 1;
        for (QPushButton* control : {Command1, Command2, Command3}) {
            control->setAccessibleDescription(ShownChinese(ButtonHint(button++)));
        }
    }

    m_SkinFile = SkinFileFor(m_ProgramFolder);
    if (m_Skin->ApplySkin(m_SkinFile)) {
        Frame1->update();
        update();
    }
    // Without a usable skin the window has no title bar or borders: it is
    // moved by dragging its body or frame and closed by a double click or
    // with the back button.
}

// ---------------------------------------------------------------- commands

void Common_About_Form::OpenLink(const char* address) {
    m_LinkOpener->OpenLink(QString::fromUtf8(address));
}

void Common_About_Form::Command1_Click() {
    OpenLink(credits::kWebSite);
}

void Common_About_Form::Command2_Click() {
    close();
}

void Common_About_Form::Command3_Click() {
    OpenLink(credits::kDownloadPage);
}

void Common_About_Form::Label1_Click() {
    OpenLink(credits::kWebShop);
}

void Common_About_Form::Label2_Click() {
    OpenLink(credits::kWebShop);
}

void Common_About_Form::Label4_Click() {
    const QString mail =
        SuggestionMail(GetSystemLanguage(), m_Today(), QString::fromUtf8(credits::kAuthorEmail));
    // An empty text opens nothing.
    if (!mail.isEmpty()) {
        m_LinkOpener->OpenMail(mail);
    }
    OpenLink(credits::kWebSite);
}

void Common_About_Form::Label4_DblClick() {
    Label4_Click();
}

void Common_About_Form::Label5_Click() {
    OpenLink(credits::kDownloadPage);
}

void Common_About_Form::Check100_Click() {
    if (!Check100->isChecked()) {
        close();
    }
}

void Common_About_Form::CodeUsedGIF2_Click() {}

void Common_About_Form::Private_AboutMe() {}

void Common_About_Form::ClickLabel(QLabel* label) {
    if (label == Label1) {
        Label1_Click();
    } else if (label == Label2) {
        Label2_Click();
    } else if (label == Label4) {
        Label4_Click();
    } else if (label == Label5) {
        Label5_Click();
    } else if (label == CodeUsedGIF2) {
        CodeUsedGIF2_Click();
    }
}

// ------------------------------------------------------------ hover looks

namespace {

// Gives label its weight and text colour; a label that has them already is
// left alone, so moving the pointer does not redraw it again and again.
void SetLabelLook(QLabel* label, bool bold, const QColor& colour) {
    if (label->font().bold() != bold) {
        QFont font = label->font();
        font.setBold(bold);
        label->setFont(font);
    }
    if (label->palette().color(QPalette::WindowText) != colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
}

} // namespace

void Common_About_Form::Label_MouseMove(QLabel* label) {
    SetLabelLook(label, true, QColor(0, 0, 255));
}

void Common_About_Form::Form_MouseMove() {
    // The system's button-text colour.
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5, Label6}) {
        SetLabelLook(label, false, buttonText);
    }
}

void Common_About_Form::Command_MouseMove(QPushButton* button) {
    const char* hint = ButtonHint(button == Command1 ? 1 : button == Command2 ? 2 : 3);
    if (CurrentLanguageMode() != LanguageMode::English) {
        button->setToolTip(ShownChinese(hint));
    }
}

// ------------------------------------------------------------------ events

bool Common_About_Form::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease ||
                       type == QEvent::MouseButtonDblClick || type == QEvent::MouseMove;
    if (!mouse) {
        return false;
    }
    auto* const mouseEvent = static_cast<QMouseEvent*>(event);
    if (watched == Frame1) {
        // Presses and double clicks on the frame are the window frame's.
        if (type == QEvent::MouseMove) {
            Form_MouseMove();
        }
        return true;
    }
    if (watched == Command1 || watched == Command2 || watched == Command3) {
        if (type == QEvent::MouseMove) {
            Command_MouseMove(static_cast<QPushButton*>(watched));
        }
        return false;
    }
    auto* const label = qobject_cast<QLabel*>(watched);
    if (label == nullptr || label->parentWidget() != Frame1) {
        return false;
    }
    switch (type) {
    case QEvent::MouseMove:
        if (label != CodeUsedGIF2 && label != Picture1) {
            Label_MouseMove(label);
        }
        break;
    case QEvent::MouseButtonPress:
        m_PressedLabel = mouseEvent->button() == Qt::LeftButton ? label : nullptr;
        break;
    case QEvent::MouseButtonRelease:
        if (m_PressedLabel == label && mouseEvent->button() == Qt::LeftButton &&
            label->rect().contains(mouseEvent->position().toPoint())) {
            m_PressedLabel = nullptr;
            ClickLabel(label);
        }
        m_PressedLabel = nullptr;
        break;
    case QEvent::MouseButtonDblClick:
        if (label == Label4 && mouseEvent->button() == Qt::LeftButton) {
            Label4_DblClick();
        }
        break;
    default:
        break;
    }
    // A label's events stay with it (a double click on one does not close).
    return true;
}

void Common_About_Form::keyPressEvent(QKeyEvent* event) {
    // Escape leaves the window as its back button does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        Command2_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Common_About_Form::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    event->accept();
}

void Common_About_Form::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Common_About_Form::Form_Resize() {
    // Minimised or maximised the window cannot be sized: the attempt is
    // ignored.
    if (m_Pinning || (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != 0) {
        return;
    }
    const int tpp = platform::TwipsPerPixel(this);
    const QSize pinned(platform::TwipsToPixels(kWidthTwips, tpp),
                       platform::TwipsToPixels(kHeightTwips, tpp));
    if (size() != pinned) {
        m_Pinning = true;
        resize(pinned);
        m_Pinning = false;
    }
}

void Common_About_Form::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    QWidget::closeEvent(event);
}

void Common_About_Form::Form_QueryUnload() {
    // The close is never cancelled; the main window comes back, in its
    // normal state even when it was minimised before it was hidden.
    if (m_MainWindow) {
        platform::ShowInNormalState(m_MainWindow);
    }
}

} // namespace varnel
