// The about window: the ways it closes (each brings the main window back),
// its pinned size, its texts, hints, hover looks and links in the three
// language modes, the prepared mail, and opening it from the main window.

#include "about/common_about_form.h"
#include "about/credits.h"
#include "about/suggestion_mail.h"
#include "app/common_md5_view.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "platform/qt/link_opener.h"
#include "platform/qt/qt_translations.h"
#include "platform/qt/units.h"
#include "skin/skin_caption.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace varnel {
namespace {

const QString kWebSite = QString::fromUtf8(credits::kWebSite);
const QString kDownload = QString::fromUtf8(credits::kDownloadPage);
const QString kShop = QString::fromUtf8(credits::kWebShop);

class Recorder final : public platform::LinkOpener {
public:
    Recorder(QStringList& links, QStringList& mails) : m_Links(links), m_Mails(mails) {}
    bool OpenLink(const QString& address) override {
        m_Links.append(address);
        return true;
    }
    bool OpenMail(const QString& message) override {
        m_Mails.append(message);
        return true;
    }

private:
    QStringList& m_Links;
    QStringList& m_Mails;
};

void SendMouse(QWidget* target, QEvent::Type type, QPointF at,
               Qt::MouseButton button = Qt::NoButton,
               std::optional<QPointF> global = std::nullopt) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
    QMouseEvent event(type, at, global.value_or(target->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}
void Move(QWidget* target, QPointF at) {
    SendMouse(target, QEvent::MouseMove, at);
}
void Click(QWidget* target, QPointF at, Qt::MouseButton button = Qt::LeftButton) {
    Move(target, at);
    SendMouse(target, QEvent::MouseButtonPress, at, button);
    SendMouse(target, QEvent::MouseButtonRelease, at, button);
}
// Press, release, double click, release, as the window system sends them.
void DoubleClick(QWidget* target, QPointF at) {
    Click(target, at);
    SendMouse(target, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
    SendMouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton);
}
QPointF Middle(const QWidget* w) {
    return {w->width() / 2.0, w->height() / 2.0};
}

// The locale the process runs in, for one test: the load procedure and the
// mail take the language from it.
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name) {
        if (const char* old = std::getenv("LC_ALL")) {
            m_Old = old;
        }
        setenv("LC_ALL", name, 1);
    }
    ~ScopedLocale() {
        if (m_Old) {
            setenv("LC_ALL", m_Old->c_str(), 1);
        } else {
            unsetenv("LC_ALL");
        }
    }
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

private:
    std::optional<std::string> m_Old;
};

const QDate kDay(2026, 12, 7);
const QString kChineseMail = QStringLiteral("mailto:") + QString::fromUtf8(credits::kAuthorEmail) +
                             QStringLiteral("?subject=关于Quarrow的建议&body=向您提出以下建议:"
                                            "\r\n\r\n\r\n                    2026 年 12 月 7 日");
const QString kTaiwanMail = QStringLiteral("mailto:") + QString::fromUtf8(credits::kAuthorEmail) +
                            QStringLiteral("?subject=關於Quarrow的建議&body=向您提出以下建議:"
                                           "\r\n\r\n\r\n                    2026 年 12 月 7 日");

class AboutFormTest : public ::testing::Test {
public:
    void SetUp() override {
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
        m_Main = std::make_unique<QWidget>();
        m_Main->resize(200, 100);
    }
    void TearDown() override {
        delete m_Form;
        UiLanguage.clear();
        detail::SetConversionLibraryPathForTesting(std::nullopt);
    }

    // Opens the about window as the main window does: hidden main window,
    // the about window shown and deleted when it closes.
    Common_About_Form* Open(const std::filesystem::path& folder = VARNEL_PROGRAM_DIR) {
        m_Form = new Common_About_Form(m_Main.get(), folder);
        m_Form->setAttribute(Qt::WA_DeleteOnClose, true);
        m_Form->setLinkOpener(std::make_unique<Recorder>(m_Links, m_Mails));
        m_Form->setClock([] { return kDay; });
        m_Main->hide();
        m_Form->show();
        return m_Form;
    }

    template <typename T = QWidget> T* Control(const char* name) {
        T* control = m_Form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    // The frame's labels (the caption control has labels of its own).
    QLabel* Label(int n) {
        QLabel* label = Control("Frame1")->findChild<QLabel*>(QStringLiteral("Label%1").arg(n),
                                                              Qt::FindDirectChildrenOnly);
        EXPECT_NE(label, nullptr) << n;
        return label;
    }
    QPushButton* Button(int n) {
        return Control<QPushButton>(("Command" + std::to_string(n)).c_str());
    }

    std::unique_ptr<QWidget> m_Main;
    QPointer<Common_About_Form> m_Form;
    QStringList m_Links;
    QStringList m_Mails;
};

TEST_F(AboutFormTest, EveryWayOfClosingBringsTheMainWindowBack) {
    struct Way {
        const char* name;
        std::function<void(AboutFormTest&)> close;
    };
    const Way ways[] = {
        {"back button", [](AboutFormTest& t) { QTest::mouseClick(t.Button(2), Qt::LeftButton); }},
        {"double click on the body",
         [](AboutFormTest& t) {
             // Between the frame and the buttons.
             DoubleClick(t.m_Form, {200.0, 236.0});
         }},
        {"double click on the frame",
         [](AboutFormTest& t) {
             DoubleClick(t.Control("Frame1"), {200.0, 150.0});
         }},
        {"caption's close button",
         [](AboutFormTest& t) {
             auto* caption = t.Control<Skin_Caption>("Skin_Caption1");
             const CaptionButtonRow row = caption->ButtonRow();
             const QPointF at(row.PlacedLeft(CaptionButton::Close) + row.closeWidth / 2.0,
                              caption->height() / 2.0);
             Click(caption, at);
         }},
        {"closed by the system", [](AboutFormTest& t) { t.m_Form->close(); }},
        {"hidden box unticked",
         [](AboutFormTest& t) {
             auto* box = t.Control<QCheckBox>("Check100");
             box->setChecked(true);
             box->click();
         }},
    };
    for (const Way& way : ways) {
        Open();
        ASSERT_FALSE(m_Main->isVisible());
        way.close(*this);
        EXPECT_TRUE(m_Main->isVisible()) << way.name;
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_Form.isNull(); }, 2000)) << way.name;
        delete m_Form;
    }
}

TEST_F(AboutFormTest, ClicksThatDoNotClose) {
    struct Case {
        const char* name;
        std::function<void(AboutFormTest&)> act;
    };
    const Case cases[] = {
        {"double click on a label",
         [](AboutFormTest& t) {
             DoubleClick(t.Label(1), {5, 5});
         }},
        {"double click on the picture",
         [](AboutFormTest& t) {
             DoubleClick(t.Control("CodeUsedGIF2"), {20, 20});
         }},
        {"hidden box ticked", [](AboutFormTest& t) { t.Control<QCheckBox>("Check100")->click(); }},
        {"nothing method", [](AboutFormTest& t) { t.m_Form->Private_AboutMe(); }},
    };
    for (const Case& c : cases) {
        Open();
        c.act(*this);
        QCoreApplication::processEvents();
        EXPECT_FALSE(m_Form.isNull()) << c.name;
        EXPECT_FALSE(m_Main->isVisible()) << c.name;
        delete m_Form;
    }
}

TEST_F(AboutFormTest, OnlyTheLeftButtonDragsByBodyAndFrame) {
    Open();
    auto* frame = Control("Frame1");
    struct Case {
        QWidget* target;
        Qt::MouseButton button;
        QPoint travel;
    };
    const Case cases[] = {
        {m_Form, Qt::LeftButton, {30, -12}},
        {frame, Qt::LeftButton, {-7, 9}},
        {m_Form, Qt::RightButton, {0, 0}},
        {frame, Qt::RightButton, {0, 0}},
    };
    const QPointF at = {200.0, 236.0};
    for (const Case& c : cases) {
        const QPointF press = c.target == m_Form ? at : QPointF(200.0, 150.0);
        const QPoint start = m_Form->pos();
        // The pointer's screen positions; the window's own coordinates of
        // them change as it moves.
        const QPointF global = c.target->mapToGlobal(press);
        SendMouse(c.target, QEvent::MouseButtonPress, press, c.button, global);
        SendMouse(c.target, QEvent::MouseMove, press, c.button, global + QPointF(30, -12));
        SendMouse(c.target, QEvent::MouseMove, press, c.button, global + QPointF(-7, 9));
        SendMouse(c.target, QEvent::MouseButtonRelease, press, c.button, global + QPointF(-7, 9));
        const QPoint moved = m_Form->pos() - start;
        EXPECT_EQ(moved, c.button == Qt::LeftButton ? QPoint(-7, 9) : QPoint(0, 0))
            << c.target->objectName().toStdString() << " " << c.button;
    }
}

TEST_F(AboutFormTest, ResizingByAnyMeansLeavesTheDesignedSize) {
    Common_About_Form* const form = Open();
    ASSERT_NE(form, nullptr);
    const int tpp = platform::TwipsPerPixel(form);
    const QSize pinned(platform::TwipsToPixels(6500, tpp), platform::TwipsToPixels(4290, tpp));
    EXPECT_EQ(form->size(), pinned) << "as shown";
    const std::function<void(QWidget&)> attempts[] = {
        [](QWidget& w) { w.resize(100, 60); },
        [](QWidget& w) { w.resize(1200, 900); },
        [](QWidget& w) { w.resize(w.width(), 900); },
        [](QWidget& w) { w.resize(80, w.height()); },
        [](QWidget& w) { w.setGeometry(10, 10, 640, 40); },
        [](QWidget& w) { w.adjustSize(); },
    };
    for (std::size_t i = 0; i < std::size(attempts); ++i) {
        attempts[i](*form);
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->size() == pinned; }, 1000)) << i;
        EXPECT_EQ(form->size(), pinned) << i;
    }
}

TEST_F(AboutFormTest, WithoutALanguageTheDesignStays) {
    Open();
    EXPECT_EQ(m_Form->windowTitle(), QStringLiteral("Quarrow"));
    const std::pair<QWidget*, const char*> captions[] = {
        {Button(1), "官方网站"},         {Button(2), "返回"},
        {Button(3), "工具箱"},           {Label(1), "Quarrow2013 V12.6"},
        {Label(5), "一键下载 Quarrow."}, {Label(6), "Varnel只是Quarrow2013的一个组件."},
    };
    for (const auto& [control, caption] : captions) {
        const QString shown = qobject_cast<QLabel*>(control)
                                  ? static_cast<QLabel*>(control)->text()
                                  : static_cast<QPushButton*>(control)->text();
        EXPECT_EQ(shown, QString::fromUtf8(caption));
    }
    EXPECT_EQ(Label(2)->text(), QStringLiteral("作者: ") + QString::fromUtf8(credits::kAuthorName));
    EXPECT_TRUE(Label(4)->text().startsWith(QStringLiteral("Email: ")));
    for (int n = 1; n <= 3; ++n) {
        Move(Button(n), Middle(Button(n)));
        EXPECT_TRUE(Button(n)->toolTip().isEmpty()) << n;
    }
    Click(Label(4), {5, 5});
    EXPECT_EQ(m_Links, QStringList{kWebSite});
    EXPECT_TRUE(m_Mails.isEmpty());
}

TEST_F(AboutFormTest, LinksOfLabelsAndButtons) {
    Open();
    struct Case {
        QWidget* control;
        QString opened; // empty: nothing
    };
    const Case cases[] = {
        {Button(1), kWebSite}, {Button(3), kDownload}, {Label(1), kShop}, {Label(2), kShop},
        {Label(5), kDownload}, {Label(3), {}},         {Label(6), {}},
    };
    for (const Case& c : cases) {
        m_Links.clear();
        Click(c.control, {5, 5});
        EXPECT_EQ(m_Links, c.opened.isEmpty() ? QStringList() : QStringList{c.opened})
            << c.control->objectName().toStdString();
    }
    // A right click is no click.
    m_Links.clear();
    Click(Label(5), {5, 5}, Qt::RightButton);
    EXPECT_TRUE(m_Links.isEmpty());
}

// ------------------------------------------------------------- keyboard

// Tab reaches the links as it does the buttons, and Enter (main or keypad)
// opens what a click opens; the labels that are no links take no focus.
TEST_F(AboutFormTest, TheKeyboardReachesAndOpensEveryLink) {
    Open();
    m_Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_Form, 10000));
    struct Case {
        QWidget* control;
        QString opened;
    };
    const Case cases[] = {
        {Label(1), kShop},     {Label(2), kShop},     {Label(4), kWebSite},
        {Label(5), kDownload}, {Button(1), kWebSite}, {Button(3), kDownload},
    };
    QList<QWidget*> reached;
    for (int i = 0; i < 12; ++i) {
        reached.append(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (const Case& c : cases) {
        const std::string name = c.control->objectName().toStdString();
        EXPECT_TRUE(reached.contains(c.control)) << name << " is not reached by Tab";
        for (const Qt::KeyboardModifiers modifiers : {Qt::NoModifier, Qt::KeypadModifier}) {
            m_Links.clear();
            c.control->setFocus(Qt::TabFocusReason);
            QTest::keyClick(c.control, modifiers == Qt::NoModifier ? Qt::Key_Return : Qt::Key_Enter,
                            modifiers);
            // The mail link opens the web site after the mail.
            ASSERT_FALSE(m_Links.isEmpty()) << name;
            EXPECT_EQ(m_Links.last(), c.opened) << name;
        }
    }
    for (const int n : {3, 6}) {
        EXPECT_FALSE(reached.contains(Label(n))) << "Label" << n;
    }
}

// Escape, Enter on the back button and the back button's click all close the
// window and bring the main window back.
TEST_F(AboutFormTest, EscapeAndEnterOnBackCloseTheWindow) {
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        Open();
        m_Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_Form, 10000));
        QWidget* target = key == Qt::Key_Escape ? QApplication::focusWidget() : Button(2);
        ASSERT_NE(target, nullptr);
        target->setFocus(Qt::TabFocusReason);
        QTest::keyClick(target, key);
        EXPECT_TRUE(QTest::qWaitFor([this] { return m_Form.isNull(); }, 10000)) << key;
        EXPECT_TRUE(m_Main->isVisible()) << key;
    }
}

// The window opens with the focus on its back button: Enter straight after
// opening goes back and opens no page.
TEST_F(AboutFormTest, OpensWithTheFocusOnBackSoEnterOpensNoPage) {
    Open();
    m_Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_Form, 10000));
    EXPECT_EQ(QApplication::focusWidget(), Button(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(m_Links.isEmpty()) << m_Links.join(u' ').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([this] { return m_Form.isNull(); }, 10000));
}

// The focus is drawn from the start: the focused control looks different
// from itself unfocused before any Tab was pressed.
TEST_F(AboutFormTest, FocusIsVisibleWithoutATab) {
    Open();
    m_Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_Form, 10000));
    for (QWidget* control : {static_cast<QWidget*>(Button(1)), static_cast<QWidget*>(Label(1))}) {
        control->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(control->hasFocus());
        const QImage focused = control->grab().toImage();
        Button(2)->setFocus(Qt::OtherFocusReason);
        const QImage unfocused = control->grab().toImage();
        EXPECT_NE(focused, unfocused) << control->objectName().toStdString();
    }
}

TEST_F(AboutFormTest, LabelsHoverBoldBlueAndTurnBackOnBodyOrFrame) {
    Open();
    const QColor blue(0, 0, 255);
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    const auto looks = [](QLabel* label, bool bold, const QColor& colour) {
        return label->font().bold() == bold &&
               label->palette().color(QPalette::WindowText) == colour;
    };
    QWidget* const resets[] = {Control("Frame1"), m_Form};
    for (QWidget* reset : resets) {
        for (int n = 1; n <= 6; ++n) {
            Move(Label(n), {3, 3});
            EXPECT_TRUE(looks(Label(n), true, blue)) << n;
        }
        // Over a button or the picture the looks stay.
        Move(Button(1), {3, 3});
        Move(Control("CodeUsedGIF2"), {3, 3});
        EXPECT_TRUE(looks(Label(6), true, blue));
        Move(reset, reset == m_Form ? QPointF(200.0, 236.0) : QPointF(200.0, 150.0));
        for (int n = 1; n <= 6; ++n) {
            EXPECT_TRUE(looks(Label(n), false, buttonText))
                << n << " after " << reset->objectName().toStdString();
        }
    }
}

TEST_F(AboutFormTest, ChineseModeHintsAndMail) {
    const ScopedLocale locale("zh_CN.UTF-8");
    Open();
    EXPECT_EQ(UiLanguage, "CHINESE");
    const char* hints[] = {"官方网站", "返回主窗体", "下载工具箱"};
    for (int n = 1; n <= 3; ++n) {
        Move(Button(n), Middle(Button(n)));
        EXPECT_EQ(Button(n)->toolTip(), QString::fromUtf8(hints[n - 1])) << n;
    }
    Click(Label(4), {5, 5});
    EXPECT_EQ(m_Mails, QStringList{kChineseMail});
    EXPECT_EQ(m_Links, QStringList{kWebSite}) << "the web site opens after the mail";
    // A double click writes the mail once more for its second press.
    m_Mails.clear();
    m_Links.clear();
    SendMouse(Label(4), QEvent::MouseButtonDblClick, {5, 5}, Qt::LeftButton);
    EXPECT_EQ(m_Mails, QStringList{kChineseMail});
    EXPECT_FALSE(m_Form.isNull());
}

TEST_F(AboutFormTest, TaiwanModeConvertsCaptionsHintsAndMail) {
    const ScopedLocale locale("zh_TW.UTF-8");
    Open();
    EXPECT_EQ(UiLanguage, "TAIWAN");
    EXPECT_EQ(Button(1)->text(), QStringLiteral("官方網站"));
    EXPECT_EQ(Label(5)->text(), QStringLiteral("一鍵下載 Quarrow."));
    EXPECT_EQ(Label(6)->text(), QStringLiteral("Varnel只是Quarrow2013的一個組件."));
    EXPECT_EQ(Label(2)->text(),
              QString::fromStdString(ConvertToBig5(std::string("作者: ") + credits::kAuthorName)));
    Move(Button(2), Middle(Button(2)));
    EXPECT_EQ(Button(2)->toolTip(), QStringLiteral("返回主窗體"));
    Move(Button(3), Middle(Button(3)));
    EXPECT_EQ(Button(3)->toolTip(), QStringLiteral("下載工具箱"));
    Click(Label(4), {5, 5});
    EXPECT_EQ(m_Mails, QStringList{kTaiwanMail});
    EXPECT_EQ(m_Links, QStringList{kWebSite});
}

// Qt's own texts (a dialog's standard buttons) follow the window's language
// mode, taken from the system locale when the window loads.
TEST_F(AboutFormTest, QtsOwnTextsFollowTheLanguageMode) {
    if (!QFile::exists(platform::QtTranslationsFolder() + QStringLiteral("/qtbase_zh_CN.qm"))) {
        GTEST_SKIP() << "Qt's translations are not installed";
    }
    struct Case {
        const char* locale;
        const char* texts;
    };
    const Case cases[] = {
        {"zh_CN.UTF-8", "打开|取消"},
        {"zh_TW.UTF-8", "開啟|取消"},
        {"en_US.UTF-8", "Open|Cancel"},
    };
    for (const Case& c : cases) {
        const ScopedLocale locale(c.locale);
        UiLanguage.clear();
        Open();
        const QDialogButtonBox box(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
        EXPECT_EQ((box.button(QDialogButtonBox::Open)->text() + QLatin1Char('|') +
                   box.button(QDialogButtonBox::Cancel)->text())
                      .toStdString(),
                  c.texts)
            << c.locale;
        delete m_Form;
    }
}

TEST_F(AboutFormTest, SkinFramesTheWindowOnlyWhenUsable) {
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    const std::pair<std::filesystem::path, bool> cases[] = {
        {VARNEL_PROGRAM_DIR, true},
        {QFile::encodeName(empty.path()).toStdString(), false},
    };
    for (const auto& [folder, skinned] : cases) {
        Open(folder);
        const char* names[] = {"Skin_Caption1", "Skin_Border1", "Skin_Border2", "Skin_Border3"};
        for (const char* name : names) {
            EXPECT_EQ(Control(name)->isVisible(), skinned) << name;
        }
        EXPECT_EQ(Control<Skin_Caption>("Skin_Caption1")->Path().isEmpty(), !skinned);
        EXPECT_EQ(Control<Skin_Caption>("Skin_Caption1")->Style(), 0);
        EXPECT_FALSE(m_Form->windowIcon().isNull());
        // The load procedure's own steps, skin or not.
        auto* picture = Control<QLabel>("CodeUsedGIF2");
        EXPECT_EQ(picture->x(), platform::TwipsToPixels(4320, platform::TwipsPerPixel(m_Form)));
        EXPECT_TRUE(picture->isVisible());
        EXPECT_FALSE(picture->pixmap().isNull());
        for (const char* hidden : {"Picture1", "Check100", "Image1", "Image2", "Image3"}) {
            EXPECT_FALSE(Control(hidden)->isVisible()) << hidden;
        }
        delete m_Form;
    }
}

TEST(AboutPictures, AnimatedGifAndIconsAsTheWindowNeedsThem) {
    QImageReader gif(QStringLiteral(":/about/CodeUsedGIF2.gif"));
    EXPECT_EQ(gif.format(), QByteArray("gif"));
    EXPECT_EQ(gif.size(), QSize(120, 142));
    EXPECT_GT(gif.imageCount(), 1);
    EXPECT_EQ(gif.loopCount(), -1) << "loops for ever";
    QFile file(QStringLiteral(":/about/CodeUsedGIF2.gif"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(6), QByteArray("GIF89a"));
    const std::pair<const char*, int> icons[] = {
        {":/about/Image1.png", 16}, {":/about/Image2.png", 32}, {":/about/Image3.png", 16}};
    for (const auto& [path, size] : icons) {
        EXPECT_EQ(QImage(QString::fromLatin1(path)).size(), QSize(size, size)) << path;
    }
}

TEST(SuggestionMail, TextForEachLanguageAndDay) {
    detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
    const QString to = QStringLiteral("a@b.org");
    EXPECT_EQ(SuggestionMail("System_Chinese_JianTi", kDay, to),
              QStringLiteral("mailto:a@b.org?subject=关于Quarrow的建议&body=向您提出以下建议:"
                             "\r\n\r\n\r\n                    2026 年 12 月 7 日"));
    EXPECT_EQ(SuggestionMail("System_Chinese_FanTi", kDay, to),
              QStringLiteral("mailto:a@b.org?subject=關於Quarrow的建議&body=向您提出以下建議:"
                             "\r\n\r\n\r\n                    2026 年 12 月 7 日"));
    for (const char* tag : {"System_English", "", "System_Chinese"}) {
        EXPECT_TRUE(SuggestionMail(tag, kDay, to).isEmpty()) << tag;
    }
    const std::pair<QDate, const char*> days[] = {
        {QDate(2026, 1, 1), "2026 年 1 月 1 日"},
        {QDate(1999, 10, 31), "1999 年 10 月 31 日"},
        {QDate(2030, 2, 9), "2030 年 2 月 9 日"},
    };
    for (const auto& [day, text] : days) {
        EXPECT_EQ(SuggestionDate(day), QString::fromUtf8(text));
    }
    detail::SetConversionLibraryPathForTesting(std::nullopt);
}

TEST(MailAddress, EncodesThePartsAndRefusesWhatIsNoMail) {
    const std::optional<QUrl> url = platform::MailAddress(kChineseMail);
    ASSERT_TRUE(url.has_value());
    const QByteArray encoded = url->toEncoded();
    EXPECT_TRUE(encoded.startsWith("mailto:"));
    EXPECT_TRUE(encoded.contains("%0D%0A%0D%0A%0D%0A%20%20")) << encoded.constData();
    EXPECT_TRUE(encoded.contains("subject=%E5%85%B3%E4%BA%8E")) << "关于 as UTF-8";
    EXPECT_FALSE(encoded.contains(' '));

    struct Case {
        const char* text;
        bool accepted;
    };
    const Case cases[] = {
        {"mailto:a@b.org", true},
        {"MAILTO:a@b.org?subject=x", true},
        {"mailto:?subject=x&body=y", true}, // no recipient: the user adds one
        {"mailto:a b@c.org", false},
        {"mailto:a@b.org/x", false},
        {"mailto:a@b.org\r\nBcc:c@d.org", false},
        {"http://example.org", false},
        {"", false},
        {"file:///etc/passwd", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::MailAddress(QString::fromUtf8(c.text)).has_value(), c.accepted)
            << c.text;
    }
    // The body keeps an "=" of its own; only the first one of a pair splits.
    const std::optional<QUrl> equals = platform::MailAddress(QStringLiteral("mailto:a@b?body=1=2"));
    ASSERT_TRUE(equals.has_value());
    EXPECT_TRUE(equals->toEncoded().endsWith("body=1%3D2")) << equals->toEncoded().constData();
}

TEST(MoreTools, HidesTheMainWindowAndOpensTheAboutWindowAfresh) {
    UiLanguage.clear();
    const auto aboutWindows = [] {
        QList<Common_About_Form*> found;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<Common_About_Form*>(w)) {
                found.append(form);
            }
        }
        return found;
    };
    Common_MD5_View main(std::filesystem::path(VARNEL_PROGRAM_DIR));
    main.show();
    auto* more = main.findChild<QPushButton*>(QStringLiteral("Command7"));
    ASSERT_NE(more, nullptr);
    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(more, Qt::LeftButton);
        EXPECT_FALSE(main.isVisible());
        ASSERT_EQ(aboutWindows().size(), 1) << round;
        Common_About_Form* const shown = aboutWindows().front();
        QPointer<Common_About_Form> about = shown;
        EXPECT_TRUE(shown->isVisible());
        EXPECT_FALSE(shown->isModal());
        QTest::mouseClick(shown->findChild<QPushButton*>(QStringLiteral("Command2")),
                          Qt::LeftButton);
        EXPECT_TRUE(main.isVisible()) << round;
        EXPECT_TRUE(QTest::qWaitFor([&about] { return about.isNull(); }, 2000));
    }
    // Opened again before the closed window is gone: a new one shows and
    // stays when the old one is deleted.
    QTest::mouseClick(more, Qt::LeftButton);
    QPointer<Common_About_Form> closing = aboutWindows().front();
    closing->close();
    QTest::mouseClick(more, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&closing] { return closing.isNull(); }, 2000));
    ASSERT_EQ(aboutWindows().size(), 1);
    EXPECT_TRUE(aboutWindows().front()->isVisible());
    EXPECT_FALSE(main.isVisible());
}

} // namespace
} // namespace varnel
