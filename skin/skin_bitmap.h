#pragma once

// Skin_clsBitmap: the holder that turns one bitmap into a memory drawing
// surface that can be copied from. The holder owns the bitmap it was given or
// loaded and the surface it made; a further load, or destroying the holder,
// releases both.

#include "platform/gdi.h"

#include <cstdint>
#include <filesystem>

namespace varnel {

class Skin_clsBitmap {
public:
    Skin_clsBitmap() = default;
    ~Skin_clsBitmap();
    Skin_clsBitmap(const Skin_clsBitmap&) = delete;
    Skin_clsBitmap& operator=(const Skin_clsBitmap&) = delete;

    // Releases what the holder has, then loads a Windows BMP file at its own
    // size. False when the path names no readable BMP (missing, not a regular
    // file, another image format, damaged) or no surface could be made.
    bool LoadFile(const std::filesystem::path& fileName);

    // Releases what the holder has, then adopts hBitmap (an existing bitmap
    // handle, not a resource id; the holder now owns it) and makes the
    // surface. False for 0, for a handle that is not a usable bitmap, or when
    // no surface could be made.
    bool LoadResource(platform::HBITMAP hBitmap);

    // Size in pixels of the bitmap, as found by the last successful load.
    std::int32_t Width() const { return m_Width; }
    std::int32_t Height() const { return m_Height; }

    // The memory surface, 0 when the holder has none.
    platform::HDC hdc() const { return m_hDC; }

    // Copies the whole bitmap to destDC with its top left corner at (x, y).
    // An empty holder copies nothing.
    void Paint(platform::HDC destDC, std::int32_t x, std::int32_t y) const;

private:
    bool MakeSurface();
    void Release();

    platform::HDC m_hDC = 0;
    platform::HBITMAP m_hBitmap = 0;
    platform::HBITMAP m_hPrevBitmap = 0;
    std::int32_t m_Width = 0;
    std::int32_t m_Height = 0;
};

} // namespace varnel
