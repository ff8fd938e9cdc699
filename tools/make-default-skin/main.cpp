// make-default-skin: draws the default skin and writes it as a skin store.
//
//   make-default-skin OUT      (run with QT_QPA_PLATFORM=offscreen)
//
// A calm blue frame around RGB(90, 126, 220), lit from the top left: a 30-pixel
// title bar with a vertical gradient, 4-pixel borders with an outline, a lit
// outer face and a sunken inner edge, and 26 x 20 buttons whose hover images
// are lighter and whose pressed images are darker and inset. Every picture is
// drawn on whole pixels; only the diagonal glyphs (close cross, tilted pin)
// are antialiased.
//
// The pictures are stored as PNG without compression (zlib level 0), as
// bitmaps always were in such skins: the file then carries its pixels at
// their true size and clears the program's 30,720-byte usability rule without
// any padding.

#include "formats/property_bag.h"
#include "skin/skin_entries.h"
#include "skin/skin_file.h"

#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace {

using varnel::Colour;
using varnel::PropertyBag;

// --- layout ------------------------------------------------------------------

constexpr int kBarHeight = 30;
constexpr int kBorder = 4;
constexpr int kButtonWidth = 26;
constexpr int kButtonHeight = 20;
constexpr int kFromTop = 5; // buttons on rows 5..24 of the bar
constexpr int kFromRight = 5;
constexpr int kIconSpace = 2;
constexpr int kIconLeft = 8;       // XOFFSET2: icon on columns 8..23
constexpr int kCaptionTop = 6;     // YOFFSET: icon on rows 8..23
constexpr int kCaptionOffset = 13; // XOFFSET: caption text from column 30

// --- palette -----------------------------------------------------------------

const QColor kOutline(34, 56, 120);
const QColor kHighlight(176, 198, 246); // outer faces towards the light
const QColor kShadow(56, 84, 168);      // outer faces away from the light
const QColor kBase(90, 126, 220);
const QColor kInnerDark(64, 96, 190);    // sunken inner edge, left
const QColor kInnerLight(124, 154, 234); // sunken inner edge, right and bottom

QColor Mix(const QColor& a, const QColor& b, double t) {
    const auto lerp = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()));
}

QColor Gradient(const QColor& top, const QColor& bottom, int y, int rows) {
    return Mix(top, bottom, rows <= 1 ? 0.0 : static_cast<double>(y) / (rows - 1));
}

// The title bar's colour on row y: outline, highlight, gradient, two closing
// lines. Buttons take their background from the same rows.
QColor BarColour(int y) {
    if (y <= 0) {
        return kOutline;
    }
    if (y == 1) {
        return kHighlight;
    }
    if (y >= kBarHeight - 1) {
        return QColor(52, 80, 164);
    }
    if (y == kBarHeight - 2) {
        return QColor(70, 100, 194);
    }
    return Gradient(QColor(132, 162, 238), QColor(82, 114, 210), y - 2, kBarHeight - 4);
}

QImage NewPicture(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kBase);
    return image;
}

void Put(QImage& image, int x, int y, const QColor& c) {
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) {
        image.setPixel(x, y, c.rgb());
    }
}

// --- title bar ----------------------------------------------------------------

// A stretch of plain bar, width pixels wide.
QImage Bar(int width) {
    QImage image = NewPicture(width, kBarHeight);
    for (int y = 0; y < kBarHeight; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            Put(image, x, y, BarColour(y));
        }
    }
    return image;
}

QImage TitleMiddle() {
    return Bar(32);
}

// Left end: outline and lit face running down into the left border, and a
// soft glow behind the window icon.
QImage TitleLeft() {
    QImage image = Bar(48);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        const QPointF centre(kIconLeft + 8.0, kCaptionTop + 2 + 8.0);
        QRadialGradient glow(centre, 20.0);
        glow.setColorAt(0.0, QColor(255, 255, 255, 70));
        glow.setColorAt(0.55, QColor(255, 255, 255, 22));
        glow.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.fillRect(QRect(2, 2, image.width() - 2, kBarHeight - 4), glow);
    }
    for (int y = 0; y < kBarHeight; ++y) {
        Put(image, 0, y, kOutline);
        if (y >= 1) {
            Put(image, 1, y, kHighlight);
        }
    }
    Put(image, 1, 1, QColor(214, 226, 252)); // corner catching the light
    return image;
}

// Right end: outline and shaded face running down into the right border.
QImage TitleRight() {
    QImage image = Bar(12);
    const int w = image.width();
    for (int y = 0; y < kBarHeight; ++y) {
        Put(image, w - 1, y, kOutline);
        if (y >= 2) {
            Put(image, w - 2, y, kShadow);
        }
    }
    Put(image, w - 2, 1, Mix(kHighlight, kShadow, 0.5));
    return image;
}

// --- borders -------------------------------------------------------------------

// Left border columns, outside to inside.
QColor LeftColumn(int x) {
    switch (x) {
    case 0:
        return kOutline;
    case 1:
        return kHighlight;
    case 2:
        return kBase;
    default:
        return kInnerDark;
    }
}

// Right border columns and bottom border rows share one profile, counted
// from the inside out: lit inner edge, base, shadow, outline.
QColor InsideToOutside(int step) {
    switch (step) {
    case 0:
        return kInnerLight;
    case 1:
        return kBase;
    case 2:
        return kShadow;
    default:
        return kOutline;
    }
}

QImage Vertical(int h, QColor (*column)(int)) {
    QImage image = NewPicture(kBorder, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < kBorder; ++x) {
            Put(image, x, y, column(x));
        }
    }
    return image;
}

// Top piece of a side border: the title bar's bottom colours fade into the
// border's own over its first rows, so bar and border meet without a seam.
QImage SideTop(QColor (*column)(int), bool left) {
    constexpr int kRows = 12;
    QImage image = Vertical(kRows, column);
    const QColor barBottom = BarColour(kBarHeight - 3);
    for (int y = 0; y < kRows; ++y) {
        const double t = static_cast<double>(y) / (kRows - 1);
        for (int x = 0; x < kBorder; ++x) {
            const bool face = left ? (x >= 2) : (x <= 1);
            if (face) {
                Put(image, x, y, Mix(barBottom, column(x), t));
            }
        }
    }
    return image;
}

QImage Bottom() {
    QImage image = NewPicture(16, kBorder);
    for (int y = 0; y < kBorder; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            Put(image, x, y, InsideToOutside(y));
        }
    }
    return image;
}

// Bottom corners: the side border's columns turn into the bottom rows; the
// lit left face meets the shaded bottom face on a diagonal.
QImage BottomLeft() {
    QImage image = NewPicture(8, kBorder);
    for (int y = 0; y < kBorder; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            QColor c;
            if (x == 0 || y == 3) {
                c = kOutline;
            } else if (y == 2) {
                c = x == 1 ? Mix(kHighlight, kShadow, 0.5) : kShadow;
            } else if (x < kBorder) {
                c = LeftColumn(x);
            } else {
                c = InsideToOutside(y);
            }
            Put(image, x, y, c);
        }
    }
    return image;
}

QImage BottomRight() {
    QImage image = NewPicture(8, kBorder);
    const int w = image.width();
    for (int y = 0; y < kBorder; ++y) {
        for (int x = 0; x < w; ++x) {
            const int fromInner = x - (w - kBorder); // 0..3 within the side columns
            QColor c;
            if (x == w - 1 || y == 3) {
                c = kOutline;
            } else if (y == 2) {
                c = kShadow;
            } else if (fromInner >= 0) {
                c = InsideToOutside(fromInner);
            } else {
                c = InsideToOutside(y);
            }
            Put(image, x, y, c);
        }
    }
    return image;
}

// --- buttons --------------------------------------------------------------------

enum class Face { Normal, Hover, Pressed };

struct FaceColours {
    QColor top, bottom, innerTop, edge;
};

FaceColours ColoursOf(Face face, bool danger) {
    if (danger) { // the close button warms to red under the pointer
        switch (face) {
        case Face::Normal:
            break;
        case Face::Hover:
            return {QColor(236, 112, 96), QColor(196, 58, 44), QColor(250, 176, 164),
                    QColor(120, 30, 24)};
        case Face::Pressed:
            return {QColor(140, 36, 28), QColor(180, 56, 44), QColor(104, 24, 18),
                    QColor(96, 20, 16)};
        }
    }
    switch (face) {
    case Face::Hover:
        return {QColor(186, 206, 252), QColor(130, 162, 238), QColor(226, 236, 255),
                QColor(40, 66, 140)};
    case Face::Pressed:
        return {QColor(66, 96, 186), QColor(98, 130, 218), QColor(46, 70, 146),
                QColor(30, 50, 110)};
    case Face::Normal:
    default:
        return {QColor(150, 178, 244), QColor(98, 132, 224), QColor(198, 214, 252),
                QColor(40, 66, 140)};
    }
}

// The face of a button: the bar's rows behind it, a one-pixel edge with
// softened corners, a vertical gradient and a lit (or, pressed, shaded) top.
QImage ButtonFace(Face face, bool danger) {
    const FaceColours fc = ColoursOf(face, danger);
    QImage image = NewPicture(kButtonWidth, kButtonHeight);
    const int w = kButtonWidth;
    const int h = kButtonHeight;
    for (int y = 0; y < h; ++y) {
        const QColor behind = BarColour(kFromTop + y);
        for (int x = 0; x < w; ++x) {
            const bool edgeX = x == 0 || x == w - 1;
            const bool edgeY = y == 0 || y == h - 1;
            QColor c;
            if (edgeX && edgeY) {
                c = Mix(behind, fc.edge, 0.25); // rounded corner
            } else if (edgeX || edgeY) {
                const bool nextToCorner =
                    (edgeX && (y == 1 || y == h - 2)) || (edgeY && (x == 1 || x == w - 2));
                c = nextToCorner ? Mix(behind, fc.edge, 0.7) : fc.edge;
            } else if (y == 1) {
                c = fc.innerTop;
            } else if (face == Face::Pressed && x == 1) {
                c = fc.innerTop; // inset: shaded on the left as well
            } else {
                c = Gradient(fc.top, fc.bottom, y - 2, h - 4);
            }
            Put(image, x, y, c);
        }
    }
    return image;
}

// Draws a glyph twice: a soft dark copy one pixel down and right, then the
// white glyph; pressed buttons shift both one pixel down and right.
template <typename Draw> void Glyph(QImage& image, Face face, bool antialias, Draw draw) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, antialias);
    const int shift = face == Face::Pressed ? 1 : 0;
    p.translate(shift + 1, shift + 1);
    draw(p, QColor(20, 36, 90, 150));
    p.translate(-1, -1);
    draw(p, QColor(255, 255, 255));
}

QImage CloseButton(Face face) {
    QImage image = ButtonFace(face, true);
    // Two 2-pixel stair-step diagonals: crisper at this size than smoothed lines.
    Glyph(image, face, false, [](QPainter& p, const QColor& c) {
        for (int i = 0; i < 8; ++i) {
            p.fillRect(QRect(8 + i, 6 + i, 2, 1), c);
            p.fillRect(QRect(15 - i, 6 + i, 2, 1), c);
        }
    });
    return image;
}

QImage MinButton(Face face) {
    QImage image = ButtonFace(face, false);
    Glyph(image, face, false,
          [](QPainter& p, const QColor& c) { p.fillRect(QRect(9, 12, 8, 2), c); });
    return image;
}

// An outlined window: 2-pixel title line, 1-pixel sides.
void WindowGlyph(QPainter& p, const QColor& c, const QRect& r) {
    p.fillRect(QRect(r.left(), r.top(), r.width(), 2), c);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), c);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c);
}

QImage MaxButton(Face face) {
    QImage image = ButtonFace(face, false);
    Glyph(image, face, false,
          [](QPainter& p, const QColor& c) { WindowGlyph(p, c, QRect(8, 5, 10, 9)); });
    return image;
}

QImage RestoreButton(Face face) {
    QImage image = ButtonFace(face, false);
    const QImage clean = image;
    // Back window, then the front window over it: the front window's inside
    // is cleared back to the face so the back window's lines stop at it.
    Glyph(image, face, false, [&clean, face](QPainter& p, const QColor& c) {
        const QRect back(11, 4, 8, 7);
        const QRect front(8, 7, 8, 7);
        WindowGlyph(p, c, back);
        if (c.alpha() == 255) {
            const int shift = face == Face::Pressed ? 1 : 0;
            const QRect inside = front.adjusted(1, 2, -1, -1).translated(shift, shift);
            p.save();
            p.resetTransform();
            p.drawImage(inside.topLeft(), clean.copy(inside));
            p.restore();
        }
        WindowGlyph(p, c, front);
    });
    return image;
}

// A push-pin: round head, collar and needle; upright when the window is kept
// on top, tilted when it is not.
void Pin(QPainter& p, const QColor& c, bool upright) {
    p.save();
    p.translate(13.0, 10.0);
    if (!upright) {
        p.rotate(45.0);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawRect(QRectF(-2.0, -6.0, 4.0, 6.0)); // body
    p.drawRect(QRectF(-3.0, -7.0, 6.0, 1.0)); // head rim
    p.drawRect(QRectF(-4.0, 0.0, 8.0, 2.0));  // collar
    p.drawRect(QRectF(-0.5, 2.0, 1.0, 5.0));  // needle
    p.restore();
}

QImage OnTopButton(bool onTop) {
    const Face face = onTop ? Face::Pressed : Face::Normal;
    QImage image = ButtonFace(face, false);
    Glyph(image, face, !onTop, [onTop](QPainter& p, const QColor& c) { Pin(p, c, onTop); });
    return image;
}

// --- the store ---------------------------------------------------------------------

PropertyBag DrawSkin() {
    PropertyBag bag;
    bag.SetValue("LEFTTOP", SideTop(LeftColumn, true));
    bag.SetValue("LEFTMID", Vertical(16, LeftColumn));
    bag.SetValue("RIGHTTOP", SideTop(InsideToOutside, false));
    bag.SetValue("RIGHTMID", Vertical(16, InsideToOutside));
    bag.SetValue("LEFTBOT", BottomLeft());
    bag.SetValue("RIGHTBOT", BottomRight());
    bag.SetValue("BOTTOM", Bottom());
    bag.SetValue("TOPLEFT", TitleLeft());
    bag.SetValue("TOPMID", TitleMiddle());
    bag.SetValue("TOPRIGHT", TitleRight());
    // Families: 1 normal, 2 pressed, 3 hover (restore: 2 hover, 3 pressed).
    bag.SetValue("CLOSE", CloseButton(Face::Normal));
    bag.SetValue("CLOSE2", CloseButton(Face::Pressed));
    bag.SetValue("CLOSE3", CloseButton(Face::Hover));
    bag.SetValue("MIN", MinButton(Face::Normal));
    bag.SetValue("MIN2", MinButton(Face::Pressed));
    bag.SetValue("MIN3", MinButton(Face::Hover));
    bag.SetValue("MAX", MaxButton(Face::Normal));
    bag.SetValue("MAX2", MaxButton(Face::Pressed));
    bag.SetValue("MAX3", MaxButton(Face::Hover));
    bag.SetValue("RES1", RestoreButton(Face::Normal));
    bag.SetValue("RES2", RestoreButton(Face::Hover));
    bag.SetValue("RES3", RestoreButton(Face::Pressed));
    bag.SetValue("ONTOP1", OnTopButton(false));
    bag.SetValue("ONTOP3", OnTopButton(true));
    bag.SetValue("XOFFSET", std::int16_t{kCaptionOffset});
    bag.SetValue("XOFFSET2", std::int16_t{kIconLeft});
    bag.SetValue("YOFFSET", std::int16_t{kCaptionTop});
    bag.SetValue("FROMRIGHT", std::int16_t{kFromRight});
    bag.SetValue("FROMTOP", std::int16_t{kFromTop});
    bag.SetValue("ICONSPACE", std::int16_t{kIconSpace});
    bag.SetValue("FORECOLOR", Colour::FromRgb(255, 255, 255));
    bag.SetValue("BackColor", Colour::FromRgb(48, 76, 160));
    bag.SetValue("PARENTBACKCOLOR", Colour::FromRgb(236, 241, 251));
    bag.setPictureCompression(0);
    return bag;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: make-default-skin OUT\n", stderr);
        return 2;
    }
    const PropertyBag bag = DrawSkin();
    for (const varnel::SkinEntry& entry : varnel::kSkinEntries) {
        const QString name =
            QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        if (bag.kind(name) != varnel::StoredKind(entry.kind)) {
            std::fprintf(stderr, "make-default-skin: entry %s not drawn\n",
                         name.toLatin1().constData());
            return 1;
        }
    }
    const std::filesystem::path out(argv[1]);
    QString error;
    if (!varnel::WriteSkinFile(out, bag, &error)) {
        std::fprintf(stderr, "make-default-skin: cannot write %s: %s\n", argv[1],
                     error.toLocal8Bit().constData());
        return 1;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(out, ec);
    if (ec || size < varnel::kSkinMinimumBytes) {
        std::fprintf(stderr,
                     "make-default-skin: %s holds %llu bytes, fewer than the %llu a skin "
                     "needs\n",
                     argv[1], static_cast<unsigned long long>(size),
                     static_cast<unsigned long long>(varnel::kSkinMinimumBytes));
        return 1;
    }
    return 0;
}
