// Resampling skin pictures by area and reading a painter's device grid.
#include "skin/device_grid.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace varnel;

namespace {

// A picture with a different colour in every pixel.
QImage Pattern(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y,
                           qRgb((x * 53 + y * 7) % 256, (y * 41 + 3) % 256, (x * y * 13) % 256));
        }
    }
    return image;
}

double MeanRed(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            sum += qRed(image.pixel(x, y));
        }
    }
    return sum / (image.width() * image.height());
}

} // namespace

// Whole multiples copy every source pixel onto a square of device pixels.
TEST(DeviceGrid, WholeMultiplesRepeatEachPixelExactly) {
    const QImage source = Pattern(7, 5);
    for (const int k : {1, 2, 3}) {
        const QImage scaled = ScaleByArea(source, source.size() * k);
        ASSERT_EQ(scaled.size(), source.size() * k);
        int wrong = 0;
        for (int y = 0; y < scaled.height(); ++y) {
            for (int x = 0; x < scaled.width(); ++x) {
                wrong += scaled.pixel(x, y) == source.pixel(x / k, y / k) ? 0 : 1;
            }
        }
        EXPECT_EQ(wrong, 0) << k;
    }
}

// Any size: a picture of one colour stays that colour in every pixel, the
// mean colour of a pattern is kept (no ink gained or lost), and transparent
// pixels lend no colour to the ones beside them.
TEST(DeviceGrid, AreaResamplingKeepsColourAndInk) {
    const QSize sizes[] = {{9, 6}, {10, 7}, {11, 8}, {14, 10}, {5, 3}, {1, 1}};
    QImage flat(7, 5, QImage::Format_RGB32);
    flat.fill(qRgb(90, 126, 220));
    const QImage pattern = Pattern(8, 6);
    for (const QSize size : sizes) {
        const QImage scaled = ScaleByArea(flat, size);
        ASSERT_EQ(scaled.size(), size);
        int off = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                off += scaled.pixel(x, y) == qRgb(90, 126, 220) ? 0 : 1;
            }
        }
        EXPECT_EQ(off, 0) << size.width() << "x" << size.height();
        EXPECT_FALSE(scaled.hasAlphaChannel());
        EXPECT_NEAR(MeanRed(ScaleByArea(pattern, size)), MeanRed(pattern), 0.5)
            << size.width() << "x" << size.height();
    }

    // Transparent, then opaque red: the pixel that takes half of each is
    // half covered, and red.
    QImage edge(2, 1, QImage::Format_ARGB32);
    edge.setPixel(0, 0, qRgba(0, 255, 0, 0));
    edge.setPixel(1, 0, qRgba(255, 0, 0, 255));
    const QImage wider = ScaleByArea(edge, {3, 1}).convertToFormat(QImage::Format_ARGB32);
    const QRgb middle = wider.pixel(1, 0);
    EXPECT_NEAR(qAlpha(middle), 128, 1);
    EXPECT_EQ(qRed(middle), 255);
    EXPECT_EQ(qGreen(middle), 0);

    EXPECT_TRUE(ScaleByArea(QImage(), {3, 3}).isNull());
    EXPECT_TRUE(ScaleByArea(flat, {0, 3}).isNull());
}

// The grid of a painter: its scale and where its origin lies on the device;
// none once it no longer maps pixels to upright squares.
TEST(DeviceGrid, APaintersGridFollowsItsTransform) {
    const struct {
        const char* what;
        double ratio;
        QTransform world;
        std::optional<DeviceGrid> grid;
    } cases[] = {
        {"plain", 1.0, QTransform(), DeviceGrid{1.0, 0.0, 0.0}},
        {"dense", 1.5, QTransform(), DeviceGrid{1.5, 0.0, 0.0}},
        {"moved", 1.25, QTransform::fromTranslate(3, 2), DeviceGrid{1.25, 3.75, 2.5}},
        {"turned", 1.5, QTransform().rotate(90), std::nullopt},
        {"stretched", 1.0, QTransform::fromScale(1, 2), std::nullopt},
        {"mirrored", 2.0, QTransform::fromScale(-1, -1), std::nullopt},
    };
    for (const auto& c : cases) {
        QImage canvas(10, 10, QImage::Format_RGB32);
        canvas.setDevicePixelRatio(c.ratio);
        QPainter painter(&canvas);
        painter.setWorldTransform(c.world);
        const std::optional<DeviceGrid> grid = DeviceGrid::Of(painter);
        ASSERT_EQ(grid.has_value(), c.grid.has_value()) << c.what;
        if (grid) {
            EXPECT_DOUBLE_EQ(grid->scale, c.grid->scale) << c.what;
            EXPECT_DOUBLE_EQ(grid->originX, c.grid->originX) << c.what;
            EXPECT_DOUBLE_EQ(grid->originY, c.grid->originY) << c.what;
        }
    }
}
