#include "skin/device_grid.h"

#include <QPainter>
#include <QTransform>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace varnel {

namespace {

int NearestEdge(double device) {
    return static_cast<int>(std::floor(device + 0.5));
}

// What one target pixel takes from the source along one axis: source pixel
// index and its share. Target pixel j covers [j * n, (j + 1) * n) and source
// pixel i covers [i * m, (i + 1) * m) in units of 1 / (n * m) source pixels,
// so every share is a whole number and the shares of a target pixel add up
// to n exactly.
struct Tap {
    int index = 0;
    std::int64_t share = 0;
};

std::vector<std::vector<Tap>> Taps(int n, int m) {
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(m));
    const std::int64_t sn = n;
    const std::int64_t sm = m;
    for (std::int64_t j = 0; j < sm; ++j) {
        const std::int64_t begin = j * sn;
        const std::int64_t end = begin + sn;
        for (std::int64_t i = begin / sm; i < sn && i * sm < end; ++i) {
            const std::int64_t share = std::min(end, (i + 1) * sm) - std::max(begin, i * sm);
            if (share > 0) {
                taps[static_cast<std::size_t>(j)].push_back({static_cast<int>(i), share});
            }
        }
    }
    return taps;
}

using Channels = std::array<std::uint64_t, 4>;

void Add(Channels& sum, QRgb pixel, std::uint64_t share) {
    sum[0] += share * static_cast<std::uint64_t>(qAlpha(pixel));
    sum[1] += share * static_cast<std::uint64_t>(qRed(pixel));
    sum[2] += share * static_cast<std::uint64_t>(qGreen(pixel));
    sum[3] += share * static_cast<std::uint64_t>(qBlue(pixel));
}

} // namespace

std::optional<DeviceGrid> DeviceGrid::Of(const QPainter& painter) {
    const QTransform t = painter.deviceTransform();
    if (t.type() > QTransform::TxScale || t.m11() <= 0.0 || !qFuzzyCompare(t.m11(), t.m22())) {
        return std::nullopt;
    }
    return DeviceGrid{t.m11(), t.dx(), t.dy()};
}

bool DeviceGrid::Whole() const {
    return qFuzzyCompare(scale, 1.0);
}

int DeviceGrid::DeviceX(double x) const {
    return NearestEdge(scale * x + originX);
}

int DeviceGrid::DeviceY(double y) const {
    return NearestEdge(scale * y + originY);
}

QRect DeviceGrid::DeviceRect(const QRect& logical) const {
    const int left = DeviceX(logical.x());
    const int top = DeviceY(logical.y());
    return {left, top, DeviceX(static_cast<double>(logical.x()) + logical.width()) - left,
            DeviceY(static_cast<double>(logical.y()) + logical.height()) - top};
}

double DeviceGrid::SnapX(double x) const {
    return Whole() ? x : (DeviceX(x) - originX) / scale;
}

double DeviceGrid::SnapY(double y) const {
    return Whole() ? y : (DeviceY(y) - originY) / scale;
}

QImage ScaleByArea(const QImage& picture, QSize size) {
    if (picture.isNull() || size.isEmpty()) {
        return {};
    }
    const QImage source = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = source.width();
    const int h = source.height();
    const int tw = size.width();
    const int th = size.height();
    const std::vector<std::vector<Tap>> across = Taps(w, tw);
    const std::vector<std::vector<Tap>> down = Taps(h, th);

    // Across first: each source row becomes a row of tw sums (weight w each).
    std::vector<Channels> rows(static_cast<std::size_t>(h) * static_cast<std::size_t>(tw));
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        for (int x = 0; x < tw; ++x) {
            Channels& sum = rows[static_cast<std::size_t>(y) * static_cast<std::size_t>(tw) +
                                 static_cast<std::size_t>(x)];
            for (const Tap& tap : across[static_cast<std::size_t>(x)]) {
                Add(sum, line[tap.index], static_cast<std::uint64_t>(tap.share));
            }
        }
    }

    // Then down, dividing by the whole weight w * h with rounding.
    const std::uint64_t whole = static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < th; ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < tw; ++x) {
            Channels sum{};
            for (const Tap& tap : down[static_cast<std::size_t>(y)]) {
                const Channels& part =
                    rows[static_cast<std::size_t>(tap.index) * static_cast<std::size_t>(tw) +
                         static_cast<std::size_t>(x)];
                for (std::size_t c = 0; c < sum.size(); ++c) {
                    sum[c] += static_cast<std::uint64_t>(tap.share) * part[c];
                }
            }
            const auto channel = [&](std::size_t c) {
                return static_cast<int>((sum[c] + whole / 2) / whole);
            };
            line[x] = qRgba(channel(1), channel(2), channel(3), channel(0));
        }
    }
    // An opaque picture stays opaque: every average of opaque pixels is.
    return picture.hasAlphaChannel() ? result : result.convertToFormat(QImage::Format_RGB32);
}

} // namespace varnel
