// What a drop on the report box reports: which of its items are local files
// (by their exact bytes), and the run made of them.

#include "app/dropped_files.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace varnel {
namespace {

TEST(DroppedFiles, LocalFilesAreTakenByTheirExactBytesAndTheRestLeftOut) {
    struct Row {
        const char* what;
        std::vector<QByteArray> urls; // as a file manager encodes them
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"plain", {"file:///tmp/a%20b"}, {"/tmp/a b"}},
        {"not UTF-8", {"file:///tmp/%FF%FEname"}, {"/tmp/\xff\xfename"}},
        {"this host by name", {"file://localhost/x", "file://LocalHost/y"}, {"/x", "/y"}},
        {"another host", {"file://elsewhere/x"}, {}},
        {"web address", {"https://example.com/x"}, {}},
        {"in drop order", {"file:///b", "https://example.com/", "file:///a"}, {"/b", "/a"}},
    };
    for (const Row& row : rows) {
        QMimeData mime;
        QList<QUrl> urls;
        for (const QByteArray& url : row.urls) {
            urls.append(QUrl::fromEncoded(url));
        }
        mime.setUrls(urls);
        EXPECT_EQ(DroppedLocalPaths(mime), row.expected) << row.what;
    }
    QMimeData text;
    text.setText(QStringLiteral("/tmp/a"));
    EXPECT_TRUE(DroppedLocalPaths(text).empty()) << "text is no file";
}

TEST(DroppedFiles, FoldersMakeAFolderReportAndTheLastOneIsKept) {
    QTemporaryDir temp;
    ASSERT_TRUE(temp.isValid());
    const std::string root = temp.path().toStdString();
    const std::string file = root + "/file";
    std::ofstream(file) << "x";
    const std::string one = root + "/one";
    const std::string two = root + "/two";
    std::filesystem::create_directory(one);
    std::filesystem::create_directory(two);
    const std::string missing = root + "/missing";

    struct Row {
        const char* what;
        std::vector<std::string> paths;
        bool folderReport;
        std::string folder;
    };
    const Row rows[] = {
        {"a file", {file}, false, ""},
        {"a folder", {one}, true, one + "/"},
        {"a folder with its separator", {one + "/"}, true, one + "/"},
        // It cannot be looked at, so it is walked too (and yields nothing).
        {"a missing item", {missing}, true, ""},
        {"files and folders", {two, file, one}, true, one + "/"},
    };
    for (const Row& row : rows) {
        const DropReport report = ReportOfDrop(row.paths);
        EXPECT_EQ(report.folderReport, row.folderReport) << row.what;
        EXPECT_EQ(report.folder, row.folder) << row.what;
        ASSERT_EQ(report.items.size(), row.paths.size()) << row.what;
        for (std::size_t i = 0; i < row.paths.size(); ++i) {
            EXPECT_EQ(report.items[i].path, row.paths[i]) << row.what;
            EXPECT_EQ(report.items[i].kind, RunItem::Kind::FileThenFolder) << row.what;
        }
    }
}

} // namespace
} // namespace varnel
