// The size hints a window gives its window manager follow its state: fixed
// at the size the program gives in the normal state, loose while maximised;
// and a window is shown again never minimised.
#include "platform/qt/window_hints.h"

#include <QWidget>
#include <QWindow>

#include <functional>
#include <gtest/gtest.h>

namespace varnel::platform {
namespace {

TEST(WindowHints, SizeHintsFollowTheStateAndTheProgramsSizes) {
    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.resize(491, 338);
    KeepGivenSize(&window);
    window.show();
    ASSERT_NE(window.windowHandle(), nullptr);
    const auto hints = [&] {
        return std::make_pair(window.windowHandle()->minimumSize(),
                              window.windowHandle()->maximumSize());
    };
    const QSize loose(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    struct Step {
        const char* what;
        std::function<void()> act;
        QSize minimum;
        QSize maximum;
    };
    const Step steps[] = {
        {"shown", [] {}, QSize(491, 338), QSize(491, 338)},
        {"sized by the program", [&] { window.resize(600, 400); }, QSize(600, 400),
         QSize(600, 400)},
        {"moved by the program", [&] { window.move(40, 30); }, QSize(600, 400), QSize(600, 400)},
        {"maximised", [&] { window.setWindowState(Qt::WindowMaximized); }, QSize(0, 0), loose},
        {"full screen", [&] { window.setWindowState(Qt::WindowFullScreen); }, QSize(0, 0), loose},
        {"normal again",
         [&] {
             window.setWindowState(Qt::WindowNoState);
             window.resize(700, 500);
         },
         QSize(700, 500), QSize(700, 500)},
        {"hidden and shown",
         [&] {
             window.hide();
             window.show();
         },
         QSize(700, 500), QSize(700, 500)},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(hints().first, step.minimum) << step.what;
        EXPECT_EQ(hints().second, step.maximum) << step.what;
    }
    // The program's own sizing is never limited by the hints.
    window.resize(320, 240);
    EXPECT_EQ(window.size(), QSize(320, 240));
}

TEST(WindowHints, AWindowIsShownAgainNeverMinimised) {
    for (const Qt::WindowStates state :
         {Qt::WindowStates(Qt::WindowMinimized), Qt::WindowStates(Qt::WindowNoState),
          Qt::WindowStates(Qt::WindowMinimized | Qt::WindowMaximized)}) {
        QWidget window;
        window.show();
        window.setWindowState(state);
        window.hide();
        ShowInNormalState(&window);
        EXPECT_TRUE(window.isVisible());
        EXPECT_FALSE(window.isMinimized()) << int(state);
        EXPECT_EQ(window.isMaximized(), state.testFlag(Qt::WindowMaximized)) << int(state);
    }
    ShowInNormalState(nullptr);
}

} // namespace
} // namespace varnel::platform
