// The caption with a long title (a run's progress) and after a failed
// work-area query: the text stays before the buttons, the buttons keep the
// mouse, the failure message is shown whole, and a restore without
// remembered bounds leaves the window as it is. The mouse goes where the
// window system would send it: to the child under the pointer.
#include "caption_skin_fixture.h"
#include "platform/qt/work_area.h"
#include "skin/skin_caption.h"
#include "skin/skin_frame.h"
#include "skin/skin_library.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace varnel;

namespace {

using Skin = test::CaptionSkin;

// Sends a mouse event to whatever widget of window lies under at (window
// coordinates), as the window system does.
void SendAt(QWidget& window, QEvent::Type type, QPoint at) {
    QWidget* target = window.childAt(at);
    if (target == nullptr) {
        target = &window;
    }
    const QPointF local = target->mapFrom(&window, QPointF(at));
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ? Qt::LeftButton
                                                                                : Qt::NoButton;
    QMouseEvent event(type, local, window.mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void ClickAt(QWidget& window, QPoint at) {
    SendAt(window, QEvent::MouseMove, at);
    SendAt(window, QEvent::MouseButtonPress, at);
    SendAt(window, QEvent::MouseButtonRelease, at);
}

void DoubleClickAt(QWidget& window, QPoint at) {
    ClickAt(window, at);
    SendAt(window, QEvent::MouseButtonDblClick, at);
    SendAt(window, QEvent::MouseButtonRelease, at);
}

const QString kLongTitle =
    QStringLiteral("Varnel2012 - 已完成 1234 个文件, 共 56789 个, 3.2 GB / 41.7 GB, 每秒 812 MB, "
                   "剩余时间 00:12:31 (D:\\\\Data\\\\Archive\\\\2012\\\\backup.iso)");

struct Framed {
    explicit Framed(std::int32_t style, const test::SkinFixture& file) {
        window.setWindowFlags(Qt::FramelessWindowHint);
        window.setGeometry(100, 120, 300, 200);
        window.setWindowTitle(QStringLiteral("Varnel2012"));
        caption = new Skin_Caption(&window);
        PropertyBag saved;
        saved.WriteProperty(QStringLiteral("Style"), style, std::int32_t{1});
        caption->UserControl_ReadProperties(saved);
        SkinFrame::For(&window)->setCaption(caption);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        caption->setPath(file.path());
        caption->REDRAW();
    }
    QLabel* Label(const char* name) const {
        return caption->findChild<QLabel*>(QString::fromLatin1(name));
    }
    QWidget window;
    Skin_Caption* caption = nullptr;
};

class CaptionFaultsTest : public ::testing::Test {
protected:
    void SetUp() override { Skin().WriteTo(file); }
    void TearDown() override { SizingEnabled = false; }
    test::SkinFixture file{{}};
};

TEST_F(CaptionFaultsTest, ALongTitleEndsBeforeTheButtonsAndTheButtonsStillAct) {
    const struct {
        std::int32_t style;
        CaptionButton leftmost; // the leftmost button drawn
    } cases[] = {{2, CaptionButton::Minimise}, {0, CaptionButton::Close}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        Framed framed(c.style, file);
        framed.window.setWindowTitle(kLongTitle);
        const CaptionButtonRow row = framed.caption->ButtonRow();
        const int rowLeft = row.PlacedLeft(c.leftmost);
        for (const char* name : {"Label1", "Label2"}) {
            QLabel* label = framed.Label(name);
            ASSERT_NE(label, nullptr);
            EXPECT_LT(label->geometry().right(), rowLeft) << name;
            EXPECT_TRUE(label->text().endsWith(QChar(0x2026))) << name; // an ellipsis
            EXPECT_LT(label->text().size(), kLongTitle.size()) << name;
        }
        // The close button takes the click, not the caption text.
        const QPoint close = framed.caption->mapTo(
            &framed.window,
            QPoint(static_cast<int>(
                       (row.Left(CaptionButton::Close) + row.Right(CaptionButton::Close)) / 2),
                   Skin::kFromTop + 7));
        ClickAt(framed.window, close);
        EXPECT_FALSE(framed.window.isVisible());
    }
}

TEST_F(CaptionFaultsTest, TheFailureMessageIsShownWholeBeforeTheButtons) {
    for (const QString& title : {QStringLiteral("Varnel2012"), kLongTitle}) {
        SCOPED_TRACE(title.toStdString());
        Framed framed(1, file);
        framed.window.setWindowTitle(title);
        framed.caption->setWorkAreaSource(std::make_unique<platform::FixedWorkArea>(std::nullopt));
        const QImage clean = framed.caption->surface();
        const CaptionButtonRow row = framed.caption->ButtonRow();
        const int rowLeft = row.PlacedLeft(CaptionButton::Minimise);
        const QPoint max = framed.caption->mapTo(
            &framed.window,
            QPoint(static_cast<int>(row.Left(CaptionButton::MaxRestore)) + 5, Skin::kFromTop + 7));
        ClickAt(framed.window, max);
        ASSERT_TRUE(framed.caption->MaximizedToWorkArea());
        const QImage shown = framed.caption->surface();
        int left = shown.width();
        int right = -1;
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < rowLeft; ++x) {
                if (shown.pixel(x, y) != clean.pixel(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        // Written before the buttons, as wide as the whole text.
        const int width = QFontMetrics(framed.caption->font())
                              .horizontalAdvance(QStringLiteral("调用 SystemParametersInfo 失败"));
        ASSERT_GE(right, 0) << "nothing written";
        EXPECT_LT(right, rowLeft);
        EXPECT_GE(right - left + 1, width - 4);
        // The caption text gives way to it.
        EXPECT_LT(framed.Label("Label1")->geometry().right(), left);
    }
}

TEST_F(CaptionFaultsTest, RestoringAfterAFailedMaximiseKeepsTheWindow) {
    const struct {
        const char* what;
        std::function<void(Framed&, QPoint)> act;
    } ways[] = {
        {"double-click twice",
         [](Framed& f, QPoint bar) {
             DoubleClickAt(f.window, bar);
             DoubleClickAt(f.window, bar);
         }},
        {"button twice",
         [](Framed& f, QPoint) {
             const CaptionButtonRow row = f.caption->ButtonRow();
             const QPoint max = f.caption->mapTo(
                 &f.window, QPoint(static_cast<int>(row.Left(CaptionButton::MaxRestore)) + 5,
                                   Skin::kFromTop + 7));
             ClickAt(f.window, max);
             ClickAt(f.window, max);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        Framed framed(1, file);
        framed.caption->setWorkAreaSource(std::make_unique<platform::FixedWorkArea>(std::nullopt));
        const QRect before = framed.window.geometry();
        way.act(framed, framed.caption->mapTo(&framed.window, QPoint(150, 12)));
        QApplication::processEvents();
        EXPECT_EQ(framed.window.geometry(), before);
        EXPECT_FALSE(framed.caption->MaximizedToWorkArea());
    }
}

} // namespace
