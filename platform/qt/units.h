#pragma once

class QWidget;

namespace varnel::platform {

// Twips per pixel of the screen that shows widget (or the primary screen):
// 1440 / logical DPI, 15 at 96 DPI.
int TwipsPerPixel(const QWidget* widget = nullptr);

// Twips to pixels and back, rounding to the nearest pixel.
int TwipsToPixels(int twips, int twipsPerPixel);
int PixelsToTwips(int pixels, int twipsPerPixel);

} // namespace varnel::platform
