// main() for tests that need a real Wayland compositor: starts sway inside a
// bare Xvfb, then a QApplication on Qt's Wayland platform. When they cannot
// start, the tests run and skip with the reason. Listing the tests (as test
// discovery does) starts nothing.
#include "tests/support/wayland_session.h"

#include <QApplication>

#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    varnel::testing::WaylandSession session;
    setenv("QT_QPA_PLATFORM", session.Start() ? "wayland" : "offscreen", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
