#include "platform/qt/units.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace varnel::platform {

int TwipsPerPixel(const QWidget* widget) {
    const QScreen* screen = widget != nullptr ? widget->screen() : QGuiApplication::primaryScreen();
    double dpi = screen != nullptr ? screen->logicalDotsPerInchX() : 96.0;
    if (dpi <= 0.0) {
        dpi = 96.0;
    }
    const int tpp = static_cast<int>(std::lround(1440.0 / dpi));
    return tpp > 0 ? tpp : 15;
}

int TwipsToPixels(int twips, int twipsPerPixel) {
    if (twipsPerPixel <= 0) {
        return 0;
    }
    const int half = twipsPerPixel / 2;
    return twips >= 0 ? (twips + half) / twipsPerPixel : -((-twips + half) / twipsPerPixel);
}

int PixelsToTwips(int pixels, int twipsPerPixel) {
    return pixels * twipsPerPixel;
}

} // namespace varnel::platform
