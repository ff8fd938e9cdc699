#pragma once

// Pictures and skin files for the tests of the skin controls: every picture
// has a different colour in every pixel, so a piece drawn at the wrong place,
// from the wrong row or mirrored shows in a pixel comparison.

#include "formats/property_bag.h"
#include "skin/skin_file.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <utility>
#include <vector>

namespace varnel::test {

// A w x h picture; tag keeps pictures of the same size apart.
inline QImage PiecePicture(int w, int h, int tag) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, qRgb(tag % 256, (y * 5 + x) % 256, (x * 37 + y * 3 + tag) % 256));
        }
    }
    return image;
}

// A skin file in a temporary folder holding the given pictures under the
// names given (spelled as given).
class SkinFixture {
public:
    explicit SkinFixture(const std::vector<std::pair<QString, QImage>>& pictures) {
        PropertyBag bag;
        for (const auto& [name, image] : pictures) {
            bag.SetValue(name, image);
        }
        write(bag);
    }

    void write(const PropertyBag& bag) {
        WriteSkinFile(
            std::filesystem::path(m_Dir.filePath(QStringLiteral("Skin20.dll")).toStdString()), bag);
    }

    QString path() const { return m_Dir.filePath(QStringLiteral("Skin20.dll")); }
    QString folder() const { return m_Dir.path(); }

private:
    QTemporaryDir m_Dir;
};

} // namespace varnel::test
