#include "app/dropped_files.h"

#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace varnel {

namespace {

bool IsFolder(const std::string& nativePath) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(nativePath), error);
}

// A dropped item makes the drop a folder report when it is a folder or when
// its attributes cannot be read (then it is walked too, and yields nothing).
bool DropReportsFolder(const std::string& nativePath) {
    std::error_code error;
    const bool folder = std::filesystem::is_directory(std::filesystem::path(nativePath), error);
    return folder || static_cast<bool>(error);
}

} // namespace

std::vector<std::string> DroppedLocalPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    if (!data.hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) {
            continue;
        }
        const QString host = url.host();
        if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
            continue;
        }
        const QByteArray bytes =
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        if (!bytes.isEmpty()) {
            paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        }
    }
    return paths;
}

DropReport ReportOfDrop(const std::vector<std::string>& paths) {
    DropReport report;
    for (const std::string& path : paths) {
        report.items.push_back({path, RunItem::Kind::FileThenFolder});
        if (IsFolder(path)) {
            report.folder = path.back() == '/' ? path : path + '/';
        }
        report.folderReport = report.folderReport || DropReportsFolder(path);
    }
    return report;
}

} // namespace varnel
