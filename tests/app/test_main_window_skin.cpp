// The main window's skin set-up: which skin files it takes, the order in
// which its four skin controls get the skin and are shown, its skinned size,
// and the frame the controls make around it.

#include "app/common_md5_view.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#include "skin/skin_border.h"
#include "skin/skin_caption.h"
#include "skin/skin_file.h"
#include "tests/skin/caption_skin_fixture.h"
#include "winstyle/system_menu.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

namespace varnel {
namespace {

// The caption skin with the border pieces, padded to exactly size bytes.
void WriteSkinOfSize(const std::filesystem::path& path, std::uintmax_t size) {
    PropertyBag bag = test::CaptionSkin().Bag();
    bag.setPictureCompression(9);
    const char* const borders[] = {"LEFTTOP", "LEFTMID",  "RIGHTTOP", "RIGHTMID",
                                   "LEFTBOT", "RIGHTBOT", "BOTTOM"};
    int tag = 90;
    for (const char* name : borders) {
        const bool bottom = QByteArray(name).contains("BOT");
        bag.SetValue(QString::fromLatin1(name),
                     test::PiecePicture(bottom ? 6 : 4, bottom ? 4 : 9, ++tag));
    }
    // Text pads two bytes a character; a 32-bit entry (an odd number of bytes)
    // evens out the parity.
    qsizetype padding = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        bag.SetValue(QStringLiteral("PADDING"), QString(padding, QLatin1Char('.')));
        ASSERT_TRUE(WriteSkinFile(path, bag));
        const auto written = static_cast<std::intmax_t>(std::filesystem::file_size(path));
        const std::intmax_t missing = static_cast<std::intmax_t>(size) - written;
        if (missing == 0) {
            return;
        }
        if (missing % 2 != 0) {
            if (bag.contains(QStringLiteral("ODD"))) {
                bag.remove(QStringLiteral("ODD"));
            } else {
                bag.SetValue(QStringLiteral("ODD"), std::int32_t{1});
            }
            continue;
        }
        padding += static_cast<qsizetype>(missing / 2);
        ASSERT_GE(padding, 0);
    }
    FAIL() << "could not make a skin file of " << size << " bytes";
}

struct Controls {
    explicit Controls(const QWidget& window)
        : caption(window.findChild<Skin_Caption*>(QStringLiteral("Skin_Caption1"))),
          left(window.findChild<Skin_Border*>(QStringLiteral("Skin_Border1"))),
          right(window.findChild<Skin_Border*>(QStringLiteral("Skin_Border2"))),
          bottom(window.findChild<Skin_Border*>(QStringLiteral("Skin_Border3"))) {}
    bool found() const { return caption && left && right && bottom; }
    QWidget* at(int i) const {
        QWidget* const all[] = {caption, left, right, bottom};
        return all[i];
    }
    QString path(int i) const { return i == 0 ? caption->Path() : borders(i)->Path(); }
    Skin_Border* borders(int i) const { return i == 1 ? left : i == 2 ? right : bottom; }

    Skin_Caption* caption;
    Skin_Border* left;
    Skin_Border* right;
    Skin_Border* bottom;
};

// A click of button on the caption's window button, delivered to whatever
// lies under the button's middle after the pointer has moved there.
void ClickCaptionButton(QWidget& window, Skin_Caption* caption, CaptionButton which,
                        Qt::MouseButton button) {
    const CaptionButtonRow row = caption->ButtonRow();
    const QPoint middle =
        caption->mapTo(&window, QPoint(static_cast<int>((row.Left(which) + row.Right(which)) / 2),
                                       caption->height() / 2));
    QWidget* target = window.childAt(middle);
    ASSERT_NE(target, nullptr);
    const QPoint local = target->mapFrom(&window, middle);
    QTest::mouseMove(target, local);
    QTest::mouseClick(target, button, Qt::NoModifier, local);
}

// A sparse file large enough that its report lasts while a test looks.
void WriteBigFile(const std::filesystem::path& path) {
    QFile file(QFile::decodeName(path.native().c_str()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(qint64{16} << 30));
}

// Records the order in which the skin controls are made visible, and
// whether every control had its skin path by then.
class ShowOrder : public QObject {
public:
    ShowOrder() { qApp->installEventFilter(this); }
    ~ShowOrder() override { qApp->removeEventFilter(this); }

    QStringList shown;
    bool pathsBeforeShow = true;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent &&
            watched->objectName().startsWith(QLatin1String("Skin_"))) {
            shown.append(watched->objectName());
            const Controls controls(*static_cast<QWidget*>(watched->parent()));
            for (int i = 0; i < 4 && controls.found(); ++i) {
                pathsBeforeShow = pathsBeforeShow && !controls.path(i).isEmpty();
            }
        }
        return false;
    }
};

class MainWindowSkinTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiLanguage.clear();
        ASSERT_TRUE(m_Folder.isValid());
        std::filesystem::create_directories(Folder() / "Skins");
    }

    std::filesystem::path Folder() const {
        return std::filesystem::path(QFile::encodeName(m_Folder.path()).toStdString());
    }
    std::filesystem::path SkinPath() const { return Folder() / "Skins" / "Skin20.dll"; }

    QTemporaryDir m_Folder;
};

} // namespace

TEST_F(MainWindowSkinTest, TakesTheSkinOnlyFromThirtyKilobytesOn) {
    const struct {
        std::intmax_t bytes; // -1: no file
        bool skinned;
    } cases[] = {{-1, false}, {30719, false}, {30720, true}, {30721, true}};
    for (const auto& c : cases) {
        std::filesystem::remove(SkinPath());
        if (c.bytes >= 0) {
            WriteSkinOfSize(SkinPath(), static_cast<std::uintmax_t>(c.bytes));
        }
        Common_MD5_View window(Folder());
        const Controls controls(window);
        ASSERT_TRUE(controls.found());
        const QString expectedFile = QFile::decodeName(SkinPath().native().c_str());
        EXPECT_EQ(window.SkinFile(), expectedFile) << c.bytes;
        EXPECT_EQ(window.isVisible(), c.skinned) << c.bytes;
        EXPECT_EQ(window.size(), c.skinned ? QSize(491, 338) : QSize(492, 339)) << c.bytes;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(controls.path(i), c.skinned ? expectedFile : QString())
                << c.bytes << " " << i;
            EXPECT_EQ(controls.at(i)->isVisible(), c.skinned) << c.bytes << " " << i;
        }
    }
}

TEST_F(MainWindowSkinTest, EveryControlHasThePathBeforeAnyIsShownInOrder) {
    WriteSkinOfSize(SkinPath(), 40000);
    ShowOrder order;
    Common_MD5_View window(Folder());
    EXPECT_EQ(order.shown,
              QStringList({"Skin_Caption1", "Skin_Border1", "Skin_Border2", "Skin_Border3"}));
    EXPECT_TRUE(order.pathsBeforeShow);
}

TEST_F(MainWindowSkinTest, TheSkinFramesTheWindow) {
    WriteSkinOfSize(SkinPath(), 40000);
    Common_MD5_View window(Folder());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Controls controls(window);
    ASSERT_TRUE(controls.found());

    EXPECT_EQ(controls.caption->Style(), 3);
    EXPECT_EQ(controls.caption->Font().family, QStringLiteral("Tahoma"));
    EXPECT_EQ(controls.caption->Font().pointSize, 8.25);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(controls.borders(i)->BORDERTYPE(), i);
    }
    // Bar 30 high across the top; borders 4 wide at the sides, between the
    // bar and the 4-pixel bottom border.
    EXPECT_EQ(controls.caption->geometry(), QRect(0, 0, 491, 30));
    EXPECT_EQ(controls.left->geometry(), QRect(0, 30, 4, 304));
    EXPECT_EQ(controls.right->geometry(), QRect(487, 30, 4, 304));
    EXPECT_EQ(controls.bottom->geometry(), QRect(0, 334, 491, 4));
    EXPECT_EQ(controls.caption->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(window.palette().color(QPalette::Window),
              test::CaptionSkin::kParentBackColor.toQColor());
}

TEST_F(MainWindowSkinTest, DoubleClickingTheBarNeitherMaximisesNorCloses) {
    WriteSkinOfSize(SkinPath(), 40000);
    Common_MD5_View window(Folder());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Controls controls(window);
    ASSERT_TRUE(controls.found());
    const QRect before = window.geometry();
    QTest::mouseDClick(controls.caption, Qt::LeftButton, Qt::NoModifier, QPoint(200, 12));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.geometry(), before);
    EXPECT_FALSE(controls.caption->MaximizedToWorkArea());
}

TEST_F(MainWindowSkinTest, TheCaptionsCloseButtonStopsARunAndClosesTheWindow) {
    WriteSkinOfSize(SkinPath(), 40000);
    // A large file, sparse, so that the run lasts while the test clicks.
    const std::filesystem::path big = Folder() / "big.bin";
    {
        QFile file(QFile::decodeName(big.native().c_str()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(qint64{16} << 30));
    }
    Common_MD5_View window(Folder());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const Controls controls(window);
    ASSERT_TRUE(controls.found());
    // A title as long as a run's progress gets on a big folder: it reaches
    // the buttons.
    window.setWindowTitle(QStringLiteral("Varnel2012 - D:\\Archive\\2012\\Backups\\Weekly"));
    const QString idleTitle = window.windowTitle();
    window.setFilePathNative(big.native());
    window.ReportFile();
    ASSERT_TRUE(window.IsReportRunning());
    // The progress shows in the title bar, clipped before the buttons.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() != idleTitle; }, 10000));
    ASSERT_TRUE(window.IsReportRunning());

    // A click on the close button, delivered to whatever lies under it.
    const CaptionButtonRow row = controls.caption->ButtonRow();
    const QPoint close = controls.caption->mapTo(
        &window, QPoint(static_cast<int>(
                            (row.Left(CaptionButton::Close) + row.Right(CaptionButton::Close)) / 2),
                        controls.caption->height() / 2));
    QWidget* target = window.childAt(close);
    ASSERT_NE(target, nullptr);
    const QPoint local = target->mapFrom(&window, close);
    QTest::mouseMove(target, local);
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
    EXPECT_FALSE(window.IsReportRunning());
}

// A right click on the caption's buttons does what the button does; on the
// caption's text or icon it opens the system menu (as Alt+Space does), whose
// Minimize and Maximize follow the caption's working minimise button and
// inert maximise button.
TEST_F(MainWindowSkinTest, RightClicksOnTheCaptionAndItsSystemMenu) {
    WriteSkinOfSize(SkinPath(), 40000);
    const auto minimised = [](const QWidget& window) { return window.isMinimized(); };
    const auto closed = [](const QWidget& window) { return !window.isVisible(); };
    const struct {
        const char* what;
        std::function<void(Common_MD5_View&, Skin_Caption*)> act;
        std::function<bool(const QWidget&)> done; // null: the system menu opens
    } cases[] = {
        {"right click on minimise",
         [](Common_MD5_View& w, Skin_Caption* c) {
             ClickCaptionButton(w, c, CaptionButton::Minimise, Qt::RightButton);
         },
         minimised},
        {"right click on close",
         [](Common_MD5_View& w, Skin_Caption* c) {
             ClickCaptionButton(w, c, CaptionButton::Close, Qt::RightButton);
         },
         closed},
        {"right click on the text",
         [](Common_MD5_View&, Skin_Caption* c) {
             auto* text = c->findChild<QLabel*>(QStringLiteral("Label1"));
             ASSERT_NE(text, nullptr);
             QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(3, 3),
                                    text->mapToGlobal(QPoint(3, 3)));
             QApplication::sendEvent(text, &menu);
         },
         nullptr},
        {"Alt+Space",
         [](Common_MD5_View& w, Skin_Caption*) {
             QTest::keyClick(&w, Qt::Key_Space, Qt::AltModifier);
         },
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Common_MD5_View window(Folder());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const Controls controls(window);
        ASSERT_TRUE(controls.found());
        c.act(window, controls.caption);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (c.done) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return c.done(window); }, 5000));
            EXPECT_EQ(menu, nullptr);
            if (menu != nullptr) {
                menu->close();
            }
            continue;
        }
        ASSERT_NE(menu, nullptr);
        EXPECT_TRUE(window.isVisible());
        std::map<std::uint32_t, QAction*> items;
        for (QAction* action : menu->actions()) {
            items[action->data().toUInt()] = action;
        }
        ASSERT_TRUE(items[platform::SC_MINIMIZE] && items[platform::SC_MAXIMIZE]);
        EXPECT_FALSE(items[platform::SC_RESTORE]->isEnabled());
        EXPECT_TRUE(items[platform::SC_MINIMIZE]->isEnabled());
        EXPECT_FALSE(items[platform::SC_MAXIMIZE]->isEnabled()) << "the caption's is inert";
        items[platform::SC_MINIMIZE]->trigger();
        menu->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.isMinimized(); }, 5000));
    }
}

// The caption's short progress is in the window's own language form (its
// title is Chinese in every mode); a stop leaves the caption saying so until
// the next run.
TEST_F(MainWindowSkinTest, TheCaptionsProgressAndStopInTheWindowsLanguageForm) {
    detail::SetConversionLibraryPathForTesting(std::filesystem::path(VARNEL_GB2BIG5_LIBRARY));
    WriteSkinOfSize(SkinPath(), 40000);
    ASSERT_NO_FATAL_FAILURE(WriteBigFile(Folder() / "big.bin"));
    const std::filesystem::path small = Folder() / "small.txt";
    QFile(QFile::decodeName(small.native().c_str())).open(QIODevice::WriteOnly);
    for (const char* mode : {"", "CHINESE", "TAIWAN"}) {
        SCOPED_TRACE(mode);
        UiLanguage = mode;
        const auto inForm = [mode](const char* chinese) {
            return QString::fromStdString(
                std::string_view(mode) == "TAIWAN" ? ConvertToBig5(chinese) : std::string(chinese));
        };
        Common_MD5_View window(Folder());
        const Controls controls(window);
        ASSERT_TRUE(controls.found());
        const QString idleTitle = window.windowTitle();
        window.setFilePathNative((Folder() / "big.bin").native());
        window.ReportFile();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return !controls.caption->shortTitle().isEmpty() || !window.IsReportRunning(); },
            10000));
        const QString progress = controls.caption->shortTitle();
        EXPECT_TRUE(progress.contains(inForm("剩余")) || progress.contains(inForm("查找文件中")))
            << progress.toStdString();

        window.Command5_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.IsReportRunning(); }, 5000));
        EXPECT_EQ(controls.caption->shownText(),
                  idleTitle + QStringLiteral(" - ") + inForm("已停止"));
        EXPECT_EQ(window.windowTitle(), idleTitle);

        window.setFilePathNative(small.native());
        window.ReportFile();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !window.IsReportRunning(); }, 5000));
        EXPECT_EQ(controls.caption->shownText(), idleTitle);
    }
    UiLanguage.clear();
    detail::SetConversionLibraryPathForTesting(std::nullopt);
}

} // namespace varnel
