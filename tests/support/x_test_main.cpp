// main() for tests that need a real X server with a window manager: starts
// Xvfb and openbox on a free display, then a QApplication on it. When they
// cannot start, the tests run and skip with the reason. Listing the tests
// (as test discovery does) starts nothing.
#include "tests/support/x_session.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests)) {
        return RUN_ALL_TESTS();
    }
    varnel::testing::XSession session;
    if (session.Start()) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    } else {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
