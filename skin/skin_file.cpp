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
            path, static_cast<std::uint64_t>(formats::PropertyBagLimits::kMaxContents));
    } catch (const platform::FileError&) {
        return std::nullopt;
    }
    return PropertyBag::FromContents(
        QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool WriteSkinFile(const std::filesystem::path& path, const PropertyBag& bag, QString* error,
                   QString* done) {
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
    platform::Replaced replaced;
    try {
        replaced = platform::ReplaceFileContents(
            path, std::span<const char>(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const platform::FileError& failure) {
        return fail(QString::fromLocal8Bit(failure.what()));
    }
    if (done != nullptr) {
        if (!replaced.existed) {
            *done = QStringLiteral("new file");
        } else {
            *done = QStringLiteral("replaced a file, mode %1 kept")
                        .arg(replaced.mode, 4, 8, QLatin1Char('0'));
            if (!replaced.ownerKept) {
                *done += QStringLiteral(", but not its owner");
            }
        }
    }
    return true;
}

} // namespace varnel
