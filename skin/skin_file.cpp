#include "skin/skin_file.h"

#include "platform/os/file.h"

#include <QByteArray>

#include <span>
#include <string>

namespace varnel {

std::optional<PropertyBag> ReadSkinFile(const std::filesystem::path& path) {
    std::string bytes;
    try {
        bytes = platform::ReadWholeFile(
            path, static_cast<std::uint64_t>(platform::PropertyBagLimits::kMaxContents));
    } catch (const platform::FileError&) {
        return std::nullopt;
    }
    return PropertyBag::FromContents(
        QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool WriteSkinFile(const std::filesystem::path& path, const PropertyBag& bag, QString* error) {
    const auto fail = [error](const QString& message) {
        if (error != nullptr) {
            *error = message;
        }
        return false;
    };
    const QByteArray bytes = bag.contents();
    if (bytes.isEmpty()) {
        return fail(QStringLiteral("a picture could not be encoded"));
    }
    try {
        platform::ReplaceFileContents(
            path, std::span<const char>(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const platform::FileError& failure) {
        return fail(QString::fromLocal8Bit(failure.what()));
    }
    return true;
}

} // namespace varnel
