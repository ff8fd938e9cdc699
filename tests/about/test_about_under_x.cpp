// The about window under a real X server with a window manager, driven with
// real pointer input as a new user would: the more-tools button hides the
// main window and opens the about window; it is dragged by its body and
// frame; the back button, a double click and the caption's close button
// each bring the main window back.
#include "about/common_about_form.h"
#include "app/common_md5_view.h"
#include "skin/skin_caption.h"
#include "tests/support/x_session.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

using namespace varnel;
using varnel::testing::DragWithPointer;
using varnel::testing::RunXdotool;
using varnel::testing::WaitFor;
using varnel::testing::XMapState;
using varnel::testing::XWindowGeometry;

namespace {

class AboutUnderX : public ::testing::Test {
protected:
    void SetUp() override {
        if (!varnel::testing::XSessionUnavailable().empty()) {
            GTEST_SKIP() << "no X server with a window manager: "
                         << varnel::testing::XSessionUnavailable();
        }
        main = std::make_unique<Common_MD5_View>(std::filesystem::path(VARNEL_PROGRAM_DIR));
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get(), 30000))
            << varnel::testing::XDiagnostics();
    }

    static QPoint XPosition(const QWidget* w) { return XWindowGeometry(w->winId()).topLeft(); }

    static bool MoveTo(QPoint at) {
        return !RunXdotool(
                    {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())})
                    .isNull();
    }

    static bool ClickAt(QPoint at, int count = 1) {
        return MoveTo(at) && !RunXdotool({QStringLiteral("click"), QStringLiteral("--repeat"),
                                          QString::number(count), QStringLiteral("--delay"),
                                          QStringLiteral("80"), QStringLiteral("1")})
                                  .isNull();
    }

    // A point of a control, on the screen, from where the X server has its
    // window.
    static QPoint OnScreen(const QWidget* control, QPoint inControl) {
        const QWidget* window = control->window();
        return XPosition(window) + control->mapTo(window, inControl);
    }

    // Clicks the more-tools button and waits for the about window.
    Common_About_Form* OpenAbout() {
        auto* more = main->findChild<QPushButton*>(QStringLiteral("Command7"));
        EXPECT_TRUE(WaitFor([&] { return XPosition(main.get()) == main->pos(); }, 30000));
        EXPECT_TRUE(ClickAt(OnScreen(more, more->rect().center())));
        Common_About_Form* about = nullptr;
        EXPECT_TRUE(WaitFor(
            [&] {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* form = qobject_cast<Common_About_Form*>(w);
                        form && form->isVisible()) {
                        about = form;
                    }
                }
                return about != nullptr && !main->isVisible();
            },
            5000));
        if (about != nullptr) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(about, 10000));
            EXPECT_TRUE(WaitFor([&] { return XPosition(about) == about->pos(); }, 10000));
        }
        return about;
    }

    std::unique_ptr<Common_MD5_View> main;
};

TEST_F(AboutUnderX, MoreToolsOpensTheAboutWindowAndEveryCloseBringsTheMainWindowBack) {
    struct Way {
        const char* name;
        std::function<bool(Common_About_Form*)> close;
    };
    const Way ways[] = {
        {"back button",
         [](Common_About_Form* about) {
             auto* back = about->findChild<QPushButton*>(QStringLiteral("Command2"));
             return ClickAt(OnScreen(back, back->rect().center()));
         }},
        {"double click on the frame",
         [](Common_About_Form* about) {
             auto* frame = about->findChild<QWidget*>(QStringLiteral("Frame1"));
             return ClickAt(OnScreen(frame, {200, 150}), 2);
         }},
        {"caption's close button",
         [](Common_About_Form* about) {
             auto* caption = about->findChild<Skin_Caption*>(QStringLiteral("Skin_Caption1"));
             WaitFor([&] { return caption->ButtonRow().closeWidth > 0; });
             const CaptionButtonRow row = caption->ButtonRow();
             const int x = static_cast<int>(
                 (row.Left(CaptionButton::Close) + row.Right(CaptionButton::Close)) / 2);
             // Come from the bar's middle so the pointer moves onto the button.
             MoveTo(OnScreen(caption, caption->rect().center()));
             return ClickAt(OnScreen(caption, {x, caption->height() / 2}));
         }},
    };
    for (const Way& way : ways) {
        QPointer<Common_About_Form> about = OpenAbout();
        ASSERT_FALSE(about.isNull()) << way.name << "\n" << varnel::testing::XDiagnostics();
        ASSERT_TRUE(way.close(about.data())) << way.name;
        EXPECT_TRUE(WaitFor([&] { return about.isNull(); }, 5000)) << way.name;
        EXPECT_TRUE(WaitFor([&] { return main->isVisible(); }, 5000)) << way.name;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main.get(), 10000)) << way.name;
    }
}

TEST_F(AboutUnderX, BodyAndFrameDragMoveTheWindowByExactlyThePointersTravel) {
    QPointer<Common_About_Form> about = OpenAbout();
    ASSERT_FALSE(about.isNull()) << varnel::testing::XDiagnostics();
    const QWidget* frame = about->findChild<QWidget*>(QStringLiteral("Frame1"));
    const std::pair<const QWidget*, QPoint> grabs[] = {
        {about.data(), {200, 236}}, // between the frame and the buttons
        {frame, {200, 150}},        // the frame's empty middle
    };
    for (const auto& [target, grab] : grabs) {
        for (const QPoint travel : {QPoint(40, 25), QPoint(-33, -17)}) {
            const QPoint start = XPosition(about);
            ASSERT_TRUE(DragWithPointer(OnScreen(target, grab), travel));
            EXPECT_TRUE(WaitFor([&] { return XPosition(about) == start + travel; }, 3000))
                << target->objectName().toStdString() << " from " << start.x() << "," << start.y()
                << " to " << XPosition(about).x() << "," << XPosition(about).y();
        }
    }
    about->close();
}

// Minimised, then restored by the window manager (a task-bar click), the
// main window still comes back on screen from the about window, not as an
// icon.
TEST_F(AboutUnderX, TheMainWindowComesBackNormalAfterARestoreFromOutside) {
    const unsigned long id = main->winId();
    const QString window = QString::number(id);
    for (int round = 1; round <= 2; ++round) {
        // As the caption's minimise button does.
        main->setWindowState(main->windowState() | Qt::WindowMinimized);
        ASSERT_TRUE(WaitFor([&] { return XMapState(id) == QLatin1String("IsUnMapped"); }, 5000))
            << "round " << round << ": " << XMapState(id).toStdString();
        ASSERT_FALSE(RunXdotool({QStringLiteral("windowactivate"), window}).isNull());
        ASSERT_TRUE(WaitFor([&] { return XMapState(id) == QLatin1String("IsViewable"); }, 5000))
            << "round " << round;
        ASSERT_TRUE(WaitFor([&] { return !main->isMinimized(); }, 5000)) << "round " << round;

        QPointer<Common_About_Form> about = OpenAbout();
        ASSERT_FALSE(about.isNull()) << varnel::testing::XDiagnostics();
        auto* back = about->findChild<QPushButton*>(QStringLiteral("Command2"));
        ASSERT_TRUE(ClickAt(OnScreen(back, back->rect().center())));
        ASSERT_TRUE(WaitFor([&] { return about.isNull(); }, 5000)) << "round " << round;
        EXPECT_TRUE(WaitFor([&] { return XMapState(id) == QLatin1String("IsViewable"); }, 5000))
            << "round " << round << ": the main window is " << XMapState(id).toStdString();
        EXPECT_FALSE(main->isMinimized()) << "round " << round;
    }
}

// What a tiling, snapping or keyboard sizing asks for leaves the about
// window at its designed size.
TEST_F(AboutUnderX, TheWindowManagersSizingLeavesTheDesignedSize) {
    Common_About_Form* about = OpenAbout();
    ASSERT_NE(about, nullptr) << varnel::testing::XDiagnostics();
    const QSize designed = about->size();
    for (const QSize asked : {QSize(900, 650), QSize(200, 150)}) {
        ASSERT_FALSE(RunXdotool({QStringLiteral("windowsize"), QString::number(about->winId()),
                                 QString::number(asked.width()), QString::number(asked.height())})
                         .isNull());
        WaitFor([&] { return XWindowGeometry(about->winId()).size() != designed; }, 1500);
        // The window may snap back by itself; it must end at its size.
        WaitFor([&] { return XWindowGeometry(about->winId()).size() == designed; }, 1500);
        EXPECT_EQ(XWindowGeometry(about->winId()).size(), designed)
            << "asked " << asked.width() << "x" << asked.height();
    }
    about->close();
}

} // namespace
