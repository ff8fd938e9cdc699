#include "platform/gdi.h"

#include <QImage>
#include <QPainter>
#include <QRect>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace varnel::platform {
namespace {

enum class Kind { Bitmap, MemoryDC, PainterDC, ScreenDC };

struct GdiObject {
    Kind kind = Kind::Bitmap;
    // Bitmaps
    QImage image;
    bool stock = false;
    HDC selectedInto = 0;
    // Memory surfaces
    HBITMAP selected = 0;
    // Painter surfaces
    QPainter* painter = nullptr;
};

class HandleTable {
public:
    std::mutex mutex;
    std::unordered_map<std::uint32_t, GdiObject> objects;
    HBITMAP stockBitmap = 0;
    int liveBitmaps = 0;
    int liveMemoryDCs = 0;

    std::uint32_t Add(GdiObject object) {
        // Skip 0 and anything still in use when the counter wraps.
        do {
            ++m_Next;
        } while (m_Next == 0 || objects.count(m_Next) != 0);
        objects.emplace(m_Next, std::move(object));
        return m_Next;
    }

    GdiObject* Find(std::uint32_t handle, Kind kind) {
        auto it = objects.find(handle);
        if (it == objects.end() || it->second.kind != kind) {
            return nullptr;
        }
        return &it->second;
    }

    HBITMAP Stock() {
        if (stockBitmap == 0) {
            GdiObject object;
            object.kind = Kind::Bitmap;
            object.image = QImage(1, 1, QImage::Format_RGB32);
            object.image.fill(Qt::black);
            object.stock = true;
            stockBitmap = Add(std::move(object));
        }
        return stockBitmap;
    }

private:
    std::uint32_t m_Next = 0x10000;
};

// The table is platform state of this process; it lives as long as the
// process and is only reached through the functions below.
HandleTable& Table() {
    static HandleTable table;
    return table;
}

HDC AddDC(Kind kind, QPainter* painter) {
    GdiObject object;
    object.kind = kind;
    object.painter = painter;
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    return table.Add(std::move(object));
}

void RemoveDC(HDC dc, Kind kind) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.Find(dc, kind) != nullptr) {
        table.objects.erase(dc);
    }
}

} // namespace

HBITMAP CreateBitmapFromImage(const QImage& image) {
    if (image.isNull()) {
        return 0;
    }
    GdiObject object;
    object.kind = Kind::Bitmap;
    // Premultiplied 32-bit pixels are what QPainter copies fastest.
    object.image = image.convertToFormat(
        image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (object.image.isNull()) {
        return 0; // out of memory
    }
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    ++table.liveBitmaps;
    return table.Add(std::move(object));
}

QImage BitmapImage(HBITMAP bitmap) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const GdiObject* object = table.Find(bitmap, Kind::Bitmap);
    return object != nullptr ? object->image.copy() : QImage();
}

HDC GetDC(std::uint32_t window) {
    // Only the screen (window 0) has a surface here; windows paint through
    // their paint events.
    if (window != 0) {
        return 0;
    }
    return AddDC(Kind::ScreenDC, nullptr);
}

int ReleaseDC(std::uint32_t /*window*/, HDC dc) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.Find(dc, Kind::ScreenDC) == nullptr) {
        return 0;
    }
    table.objects.erase(dc);
    return 1;
}

HDC CreateCompatibleDC(HDC dc) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (dc != 0) {
        auto it = table.objects.find(dc);
        if (it == table.objects.end() || it->second.kind == Kind::Bitmap) {
            return 0;
        }
    }
    const HBITMAP stock = table.Stock();
    GdiObject object;
    object.kind = Kind::MemoryDC;
    object.selected = stock;
    ++table.liveMemoryDCs;
    return table.Add(std::move(object));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    GdiObject* surface = table.Find(dc, Kind::MemoryDC);
    GdiObject* bitmap = table.Find(object, Kind::Bitmap);
    if (surface == nullptr || bitmap == nullptr) {
        return 0;
    }
    const HBITMAP previous = surface->selected;
    if (previous == object) {
        return previous;
    }
    // A bitmap can be selected into one surface at a time (the stock bitmap
    // into any number).
    if (!bitmap->stock && bitmap->selectedInto != 0) {
        return 0;
    }
    if (GdiObject* old = table.Find(previous, Kind::Bitmap); old != nullptr && !old->stock) {
        old->selectedInto = 0;
    }
    if (!bitmap->stock) {
        bitmap->selectedInto = dc;
    }
    surface->selected = object;
    return previous;
}

bool DeleteObject(HGDIOBJ object) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    GdiObject* bitmap = table.Find(object, Kind::Bitmap);
    if (bitmap == nullptr) {
        return false;
    }
    if (bitmap->stock) {
        return true;
    }
    if (bitmap->selectedInto != 0) {
        return false;
    }
    table.objects.erase(object);
    --table.liveBitmaps;
    return true;
}

bool DeleteDC(HDC dc) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    GdiObject* surface = table.Find(dc, Kind::MemoryDC);
    if (surface == nullptr) {
        return false;
    }
    if (GdiObject* bitmap = table.Find(surface->selected, Kind::Bitmap); bitmap != nullptr) {
        if (!bitmap->stock) {
            bitmap->selectedInto = 0;
        }
    }
    table.objects.erase(dc);
    --table.liveMemoryDCs;
    return true;
}

bool GetObject(HBITMAP bitmap, BITMAP& out) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    const GdiObject* object = table.Find(bitmap, Kind::Bitmap);
    if (object == nullptr) {
        return false;
    }
    out = BITMAP{};
    out.bmWidth = object->image.width();
    out.bmHeight = object->image.height();
    out.bmWidthBytes = static_cast<std::int32_t>(object->image.bytesPerLine());
    out.bmPlanes = 1;
    out.bmBitsPixel = static_cast<std::uint16_t>(object->image.depth());
    return true;
}

bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, std::uint32_t rop) {
    if (rop != SRCCOPY || w <= 0 || h <= 0) {
        return false;
    }
    QImage piece;
    QPoint target;
    QPainter* painter = nullptr;
    HBITMAP destBitmap = 0;
    {
        HandleTable& table = Table();
        std::lock_guard lock(table.mutex);
        const GdiObject* source = table.Find(src, Kind::MemoryDC);
        if (source == nullptr) {
            return false;
        }
        const GdiObject* sourceBitmap = table.Find(source->selected, Kind::Bitmap);
        if (sourceBitmap == nullptr) {
            return false;
        }
        // Only the part of the source rectangle that lies on the bitmap is
        // copied, shifted the same way at the destination.
        const QRect wanted(sx, sy, w, h);
        const QRect part = wanted.intersected(sourceBitmap->image.rect());
        if (part.isEmpty()) {
            return true;
        }
        target = QPoint(x, y) + (part.topLeft() - wanted.topLeft());
        // A copy, so that source and destination may be the same bitmap and
        // the drawing runs without the table locked.
        piece = sourceBitmap->image.copy(part);

        if (const GdiObject* surface = table.Find(dest, Kind::PainterDC); surface != nullptr) {
            painter = surface->painter;
        } else if (const GdiObject* memory = table.Find(dest, Kind::MemoryDC); memory != nullptr) {
            destBitmap = memory->selected;
        } else {
            return false;
        }
    }

    if (painter != nullptr) {
        if (!painter->isActive()) {
            return false;
        }
        painter->save();
        painter->setCompositionMode(QPainter::CompositionMode_Source);
        painter->drawImage(target, piece);
        painter->restore();
        return true;
    }

    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    GdiObject* bitmap = table.Find(destBitmap, Kind::Bitmap);
    if (bitmap == nullptr) {
        return false;
    }
    if (bitmap->stock) {
        return true; // the shared 1x1 placeholder is never drawn on
    }
    QPainter imagePainter(&bitmap->image);
    imagePainter.setCompositionMode(QPainter::CompositionMode_Source);
    imagePainter.drawImage(target, piece);
    return true;
}

int LiveBitmapCount() {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    return table.liveBitmaps;
}

int LiveMemoryDCCount() {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    return table.liveMemoryDCs;
}

PainterDC::PainterDC(QPainter& painter) : m_Handle(AddDC(Kind::PainterDC, &painter)) {}

PainterDC::PainterDC(QPaintDevice* device)
    : m_OwnPainter(std::make_unique<QPainter>(device)),
      m_Handle(AddDC(Kind::PainterDC, m_OwnPainter.get())) {}

PainterDC::~PainterDC() {
    RemoveDC(m_Handle, Kind::PainterDC);
}

} // namespace varnel::platform
