// The work-area query: the screen's available geometry as a rectangle whose
// right and bottom lie one past its last pixel.
#include "platform/qt/work_area.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace varnel::platform;

TEST(WorkArea, IsTheAvailableGeometryOfTheWindowsScreen) {
    const QScreen* primary = QGuiApplication::primaryScreen();
    ASSERT_NE(primary, nullptr);
    const QRect available = primary->availableGeometry();
    const WorkArea expected{available.x(), available.y(), available.x() + available.width(),
                            available.y() + available.height()};

    QWidget window;
    window.resize(120, 80);
    const ScreenWorkArea screen;
    for (const QWidget* widget :
         {static_cast<const QWidget*>(&window), static_cast<const QWidget*>(nullptr)}) {
        const std::optional<WorkArea> area = screen.Query(widget);
        ASSERT_TRUE(area.has_value());
        EXPECT_EQ(*area, expected);
        EXPECT_EQ(area->right - area->left, available.width());
        EXPECT_EQ(area->bottom - area->top, available.height());
    }
}

TEST(WorkArea, AFixedSourceAnswersWhatItWasGiven) {
    EXPECT_EQ(FixedWorkArea(WorkArea{60, 0, 1024, 768}).Query(nullptr),
              (WorkArea{60, 0, 1024, 768}));
    EXPECT_FALSE(FixedWorkArea(std::nullopt).Query(nullptr).has_value());
}
