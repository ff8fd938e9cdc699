// make-about-pictures: draws the about window's pictures.
//
//   make-about-pictures OUTDIR      (run with QT_QPA_PLATFORM=offscreen)
//
// Writes into OUTDIR:
//   CodeUsedGIF2.gif  120 x 142, GIF89a, eight frames that loop for ever: a
//                     page read under a magnifying glass while a row of
//                     digest cells fills up; the first frame is the finished
//                     picture (every cell full, a tick), which is what the
//                     window shows.
//   Image1.png        16 x 16, an envelope (the suggestion mail).
//   Image2.png        32 x 32, the suite's emblem: a toolbox on a blue tile.
//   Image3.png        16 x 16, the same emblem (the window's icon).
//
// Colours follow the default skin: the blues around RGB(90, 126, 220). The
// GIF is quantised to one 256-colour table for all frames and written by
// giflib.

#include <gif_lib.h>

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QString>

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 142;
constexpr int kFrames = 8;
constexpr int kCells = 8;

const QColor kOutline(34, 56, 120);
const QColor kShadow(56, 84, 168);
const QColor kBase(90, 126, 220);
const QColor kLight(132, 162, 238);
const QColor kPale(206, 216, 242);
const QColor kPaper(252, 253, 255);
// The about window's frame face, where the picture sits: the corners outside
// the rounded card take it, so the card's edge shows and nothing else.
const QColor kFrameFace(233, 238, 248);

// The page with its folded corner and ruled lines; row is the line under the
// glass (-1: none).
void DrawPage(QPainter& p, int row) {
    QPainterPath page;
    page.moveTo(18, 12);
    page.lineTo(64, 12);
    page.lineTo(78, 26);
    page.lineTo(78, 92);
    page.lineTo(18, 92);
    page.closeSubpath();
    p.setPen(QPen(kOutline, 1.3));
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(64, 12);
    fold.lineTo(64, 26);
    fold.lineTo(78, 26);
    fold.closeSubpath();
    p.setBrush(kPale);
    p.drawPath(fold);

    p.setPen(Qt::NoPen);
    p.setBrush(kLight);
    p.drawRoundedRect(QRectF(26, 19, 24, 6), 2, 2);
    for (int r = 0; r < 5; ++r) {
        const double y = 36.0 + r * 11.0;
        if (r == row) {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(255, 230, 140));
            p.drawRoundedRect(QRectF(23, y - 4, 52, 8), 3, 3);
        }
        p.setPen(QPen(r == row ? kShadow : kBase, 2.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(27, y), QPointF(r % 2 == 0 ? 70 : 60, y));
    }
}

void DrawGlass(QPainter& p, QPointF centre) {
    const double radius = 12.0;
    const QPointF handleStart = centre + QPointF(radius * 0.72, radius * 0.72);
    p.setPen(QPen(kOutline, 6.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleStart, handleStart + QPointF(12, 12));
    p.setPen(QPen(kShadow, 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(handleStart + QPointF(2, 2), handleStart + QPointF(11, 11));
    p.setPen(QPen(kOutline, 3.0));
    p.setBrush(QColor(225, 235, 255, 150));
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(centre.x() - 8, centre.y() - 8, 16, 16), 100 * 16, 70 * 16);
}

void DrawCells(QPainter& p, int lit) {
    for (int i = 0; i < kCells; ++i) {
        const QRectF cell(13 + i * 12, 104, 10, 16);
        if (i < lit) {
            QLinearGradient fill(cell.topLeft(), cell.bottomLeft());
            fill.setColorAt(0.0, kLight);
            fill.setColorAt(1.0, kShadow);
            p.setBrush(fill);
            p.setPen(QPen(kOutline, 1.0));
        } else {
            p.setBrush(kPale);
            p.setPen(QPen(QColor(170, 186, 228), 1.0));
        }
        p.drawRoundedRect(cell, 2.5, 2.5);
    }
}

void DrawTick(QPainter& p) {
    const QPointF centre(94, 30);
    p.setPen(QPen(kOutline, 1.4));
    p.setBrush(kBase);
    p.drawEllipse(centre, 13, 13);
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath tick;
    tick.moveTo(centre + QPointF(-6, 0));
    tick.lineTo(centre + QPointF(-1.5, 5));
    tick.lineTo(centre + QPointF(6.5, -5));
    p.drawPath(tick);
}

QImage DrawFrame(int frame) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(kFrameFace);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);

    QLinearGradient back(0, 0, 0, kHeight);
    back.setColorAt(0.0, QColor(246, 249, 255));
    back.setColorAt(1.0, QColor(220, 230, 251));
    p.setPen(QPen(kBase, 1.0));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), 8, 8);

    // Frame 0 is the finished reading; frames 1 .. 7 read the page line by
    // line, the glass moving along, one more cell filled each time.
    const int row = frame == 0 ? -1 : (frame - 1) % 5;
    DrawPage(p, row);
    if (frame == 0) {
        DrawGlass(p, QPointF(72, 74));
        DrawCells(p, kCells);
        DrawTick(p);
    } else {
        const double y = 36.0 + row * 11.0;
        const double x = 36.0 + 24.0 * (0.5 + 0.5 * std::sin(frame * 1.3));
        DrawGlass(p, QPointF(x, y));
        DrawCells(p, frame);
    }

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(kShadow);
    p.drawText(QRectF(0, 124, kWidth, 14), Qt::AlignCenter,
               QStringLiteral("CRC32 \u00b7 SHA1 \u00b7 MD5"));
    p.end();
    return image;
}

bool WriteGif(const QString& path, const std::vector<QImage>& frames) {
    // One colour table for every frame: quantise the frames stacked.
    const unsigned height = static_cast<unsigned>(kHeight * frames.size());
    const std::size_t pixels = static_cast<std::size_t>(kWidth) * height;
    std::vector<GifByteType> red(pixels), green(pixels), blue(pixels), indices(pixels);
    std::size_t at = 0;
    for (const QImage& frame : frames) {
        for (int y = 0; y < kHeight; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < kWidth; ++x, ++at) {
                red[at] = static_cast<GifByteType>(qRed(line[x]));
                green[at] = static_cast<GifByteType>(qGreen(line[x]));
                blue[at] = static_cast<GifByteType>(qBlue(line[x]));
            }
        }
    }
    int colours = 256;
    std::array<GifColorType, 256> table{};
    if (GifQuantizeBuffer(kWidth, height, &colours, red.data(), green.data(), blue.data(),
                          indices.data(), table.data()) == GIF_ERROR) {
        std::fputs("make-about-pictures: cannot quantise the frames\n", stderr);
        return false;
    }

    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.toLocal8Bit().constData(), false, &error);
    if (gif == nullptr) {
        std::fprintf(stderr, "make-about-pictures: cannot open %s: %s\n",
                     path.toLocal8Bit().constData(), GifErrorString(error));
        return false;
    }
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(256, table.data());
    bool ok = map != nullptr && EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK;

    // The looping extension: repeat for ever.
    static const char kLoopName[] = "NETSCAPE2.0";
    GifByteType loop[3] = {1, 0, 0};
    ok = ok && EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, kLoopName) == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;

    for (std::size_t f = 0; ok && f < frames.size(); ++f) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_DO_NOT;
        control.UserInputFlag = false;
        control.DelayTime = f == 0 ? 250 : 35; // hundredths of a second
        control.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType extension[4];
        const std::size_t length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) ==
                 GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr) == GIF_OK;
        for (int y = 0; ok && y < kHeight; ++y) {
            GifByteType* line =
                indices.data() + (f * kHeight + static_cast<std::size_t>(y)) * kWidth;
            ok = EGifPutLine(gif, line, kWidth) == GIF_OK;
        }
    }
    if (!ok) {
        std::fprintf(stderr, "make-about-pictures: cannot write %s: %s\n",
                     path.toLocal8Bit().constData(), GifErrorString(gif->Error));
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) == GIF_ERROR) {
        std::fprintf(stderr, "make-about-pictures: cannot close %s: %s\n",
                     path.toLocal8Bit().constData(), GifErrorString(error));
        ok = false;
    }
    return ok;
}

// The suite's emblem: a blue toolbox on a light tile with a blue edge, drawn
// on a 32-unit grid; light on dark, it stands out on the skin's blue bar.
QImage DrawEmblem(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 32.0, size / 32.0);

    QLinearGradient tile(0, 0, 0, 32);
    tile.setColorAt(0.0, QColor(255, 255, 255));
    tile.setColorAt(1.0, QColor(208, 220, 248));
    p.setPen(QPen(kOutline, 2.0));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(1.0, 1.0, 30.0, 30.0), 6, 6);

    // The handle, then the box with its darker lid and a light clasp.
    p.setPen(QPen(kOutline, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(11.5, 6.5, 9, 6), 2, 2);
    QLinearGradient body(0, 11, 0, 27);
    body.setColorAt(0.0, kLight);
    body.setColorAt(1.0, kShadow);
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 11, 24, 16), 2.5, 2.5);
    p.setBrush(kOutline);
    p.drawRect(QRectF(4, 16, 24, 2.5));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(13.5, 14.5, 5, 5.5), 1, 1);
    p.end();
    return image;
}

QImage DrawEnvelope(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QPen(kOutline, 1.0));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setPen(QPen(kBase, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath flap;
    flap.moveTo(2, 4);
    flap.lineTo(8, 9);
    flap.lineTo(14, 4);
    p.drawPath(flap);
    p.end();
    return image;
}

bool Save(const QImage& image, const QString& path) {
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make-about-pictures: cannot write %s\n",
                     path.toLocal8Bit().constData());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: make-about-pictures OUTDIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    std::vector<QImage> frames;
    for (int f = 0; f < kFrames; ++f) {
        frames.push_back(DrawFrame(f));
    }
    const bool ok = WriteGif(out + QStringLiteral("CodeUsedGIF2.gif"), frames) &&
                    Save(DrawEnvelope(16), out + QStringLiteral("Image1.png")) &&
                    Save(DrawEmblem(32), out + QStringLiteral("Image2.png")) &&
                    Save(DrawEmblem(16), out + QStringLiteral("Image3.png"));
    return ok ? 0 : 1;
}
