#pragma once

// A complete caption skin for the tests of Skin_Caption: every picture of its
// own size and colours (see border_skin_fixture.h), the layout values and the
// three colours. Entries can be left out or replaced before it is written.

#include "border_skin_fixture.h"

#include "formats/property_bag.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace varnel::test {

struct CaptionSkin {
    // Pictures: the bar is 30 pixels high; buttons 14 high, of four widths.
    QImage topLeft = PiecePicture(20, 30, 31);
    QImage topMid = PiecePicture(3, 30, 32);
    QImage topRight = PiecePicture(6, 30, 33);
    QImage close = PiecePicture(16, 14, 40);
    QImage close2 = PiecePicture(16, 14, 41);
    QImage close3 = PiecePicture(16, 14, 42);
    QImage max = PiecePicture(15, 14, 50);
    QImage max2 = PiecePicture(15, 14, 51);
    QImage max3 = PiecePicture(15, 14, 52);
    QImage res1 = PiecePicture(15, 14, 60);
    QImage res2 = PiecePicture(15, 14, 61);
    QImage res3 = PiecePicture(15, 14, 62);
    QImage min = PiecePicture(14, 14, 70);
    QImage min2 = PiecePicture(14, 14, 71);
    QImage min3 = PiecePicture(14, 14, 72);
    QImage onTop1 = PiecePicture(12, 14, 80);
    QImage onTop3 = PiecePicture(12, 14, 83);

    static constexpr std::int16_t kXOffset = 10;
    static constexpr std::int16_t kXOffset2 = 4;
    static constexpr std::int16_t kYOffset = 5;
    static constexpr std::int16_t kFromRight = 4;
    static constexpr std::int16_t kFromTop = 6;
    static constexpr std::int16_t kIconSpace = 2;
    static constexpr Colour kForeColor = Colour::FromRgb(250, 240, 10);
    static constexpr Colour kBackColor = Colour::FromRgb(20, 40, 130);
    static constexpr Colour kParentBackColor = Colour::FromRgb(230, 235, 245);

    PropertyBag Bag() const {
        PropertyBag bag;
        const std::pair<const char*, const QImage*> pictures[] = {
            {"TOPLEFT", &topLeft}, {"TOPMID", &topMid}, {"TOPRIGHT", &topRight},
            {"CLOSE", &close},     {"CLOSE2", &close2}, {"CLOSE3", &close3},
            {"MAX", &max},         {"MAX2", &max2},     {"MAX3", &max3},
            {"RES1", &res1},       {"RES2", &res2},     {"RES3", &res3},
            {"MIN", &min},         {"MIN2", &min2},     {"MIN3", &min3},
            {"ONTOP1", &onTop1},   {"ONTOP3", &onTop3},
        };
        for (const auto& [name, picture] : pictures) {
            bag.SetValue(QString::fromLatin1(name), *picture);
        }
        bag.SetValue(QStringLiteral("XOFFSET"), kXOffset);
        bag.SetValue(QStringLiteral("XOFFSET2"), kXOffset2);
        bag.SetValue(QStringLiteral("YOFFSET"), kYOffset);
        bag.SetValue(QStringLiteral("FROMRIGHT"), kFromRight);
        bag.SetValue(QStringLiteral("FROMTOP"), kFromTop);
        bag.SetValue(QStringLiteral("ICONSPACE"), kIconSpace);
        bag.SetValue(QStringLiteral("FORECOLOR"), kForeColor);
        bag.SetValue(QStringLiteral("BackColor"), kBackColor);
        bag.SetValue(QStringLiteral("PARENTBACKCOLOR"), kParentBackColor);
        return bag;
    }

    // The skin as a file, without the named entries.
    void WriteTo(SkinFixture& file, std::initializer_list<const char*> without = {}) const {
        PropertyBag bag = Bag();
        for (const char* name : without) {
            bag.remove(QString::fromLatin1(name));
        }
        file.write(bag);
    }
};

// True when picture appears on image with its top left corner at (x, y).
inline bool ShowsAt(const QImage& image, const QImage& picture, int x, int y) {
    if (x < 0 || y < 0 || x + picture.width() > image.width() ||
        y + picture.height() > image.height()) {
        return false;
    }
    for (int py = 0; py < picture.height(); ++py) {
        for (int px = 0; px < picture.width(); ++px) {
            if ((image.pixel(x + px, y + py) & 0xFFFFFFu) != (picture.pixel(px, py) & 0xFFFFFFu)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace varnel::test
