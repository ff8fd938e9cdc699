#include "skin/skin_bitmap.h"

#include "platform/os/file.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <string>

namespace varnel {

namespace {

// The largest bitmap file read: far above any skin picture, small enough
// that a huge file named .bmp costs nothing.
constexpr std::uint64_t kMaxBitmapBytes = 256u << 20;

// Reads a BMP file and nothing else. The file is opened read-only through the
// platform, which never blocks on a FIFO or device; anything that is not a
// regular file is refused before a byte is read.
QImage ReadBmp(const std::filesystem::path& path) {
    std::string bytes;
    try {
        bytes = platform::ReadWholeFile(path, kMaxBitmapBytes);
    } catch (const platform::FileError&) {
        return {};
    }
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    // Only the BMP reader: a PNG or JPEG under a .bmp name is no bitmap file.
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

Skin_clsBitmap::~Skin_clsBitmap() {
    Release();
}

bool Skin_clsBitmap::LoadFile(const std::filesystem::path& fileName) {
    Release();
    m_hBitmap = platform::CreateBitmapFromImage(ReadBmp(fileName));
    if (m_hBitmap == 0) {
        return false;
    }
    return MakeSurface();
}

bool Skin_clsBitmap::LoadResource(platform::HBITMAP hBitmap) {
    Release();
    m_hBitmap = hBitmap;
    if (m_hBitmap == 0) {
        return false;
    }
    return MakeSurface();
}

void Skin_clsBitmap::Paint(platform::HDC destDC, std::int32_t x, std::int32_t y) const {
    if (m_hDC == 0) {
        return;
    }
    platform::BitBlt(destDC, x, y, m_Width, m_Height, m_hDC, 0, 0, platform::SRCCOPY);
}

bool Skin_clsBitmap::MakeSurface() {
    const platform::HDC screen = platform::GetDC(0);
    m_hDC = platform::CreateCompatibleDC(screen);
    platform::ReleaseDC(0, screen);
    if (m_hDC == 0) {
        return false;
    }
    m_hPrevBitmap = platform::SelectObject(m_hDC, m_hBitmap);
    if (m_hPrevBitmap == 0) {
        // Not a bitmap that can be selected (deleted, or held by another
        // surface): a surface without the bitmap would copy the 1x1
        // placeholder, so drop it and report the failure.
        platform::DeleteDC(m_hDC);
        m_hDC = 0;
        m_Width = 0;
        m_Height = 0;
        return false;
    }
    platform::BITMAP header;
    if (!platform::GetObject(m_hBitmap, header)) {
        header = platform::BITMAP{};
    }
    m_Width = header.bmWidth;
    m_Height = header.bmHeight;
    return true;
}

void Skin_clsBitmap::Release() {
    if (m_hDC != 0 && m_hPrevBitmap != 0) {
        platform::SelectObject(m_hDC, m_hPrevBitmap);
    }
    // The bitmap is the holder's even when no surface was made for it, so it
    // is deleted either way (a deleted or foreign handle is refused quietly).
    if (m_hBitmap != 0) {
        platform::DeleteObject(m_hBitmap);
        m_hBitmap = 0;
    }
    if (m_hDC != 0) {
        platform::DeleteDC(m_hDC);
        m_hDC = 0;
    }
    m_hPrevBitmap = 0;
    // An empty holder has no size.
    m_Width = 0;
    m_Height = 0;
}

} // namespace varnel
