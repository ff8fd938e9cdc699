// Files named on the command line: the drop that stands for them, and the
// window reporting them at start, in order, as a drop of the same items.

#include "app/common_md5_view.h"
#include "app/program_windows_module.h"
#include "i18n/language.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace varnel {
namespace {

// The exact bytes of the local path that each URL of the drop carries, read
// back as the window's drop handler reads them.
std::vector<std::string> DropPaths(const QMimeData& mime) {
    std::vector<std::string> paths;
    for (const QUrl& url : mime.urls()) {
        EXPECT_TRUE(url.isLocalFile()) << url.toString().toStdString();
        paths.push_back(
            QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
    }
    return paths;
}

TEST(CommandLineDropTest, CarriesEachPathAbsoluteAndExact) {
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string workingFolder;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"absolute paths keep their order", {"/b/2", "/a/1"}, "/w", {"/b/2", "/a/1"}},
        {"relative paths start at the working folder",
         {"x.exe", "sub/y"},
         "/home/me",
         {"/home/me/x.exe", "/home/me/sub/y"}},
        {"dot components and repeated separators go",
         {"./x", "a//./b/", "/c/./d"},
         "/w/.",
         {"/w/x", "/w/a/b", "/c/d"}},
        {"dot-dot stays: a link may lead elsewhere",
         {"../up", "/l/../f"},
         "/w",
         {"/w/../up", "/l/../f"}},
        {"the working folder itself and the root", {".", "/", "//"}, "/w", {"/w", "/", "/"}},
        {"empty arguments are skipped", {"", "a", ""}, "/w", {"/w/a"}},
        {"no working folder: relative paths skipped", {"rel", "/abs"}, "", {"/abs"}},
        {"bytes that are not UTF-8, blanks, URL characters",
         {"/t/ odd\xff\xfe name ", "/t/100%#?&;=x", "/t/\xe6\x96\x87\xe4\xbb\xb6"},
         "/w",
         {"/t/ odd\xff\xfe name ", "/t/100%#?&;=x", "/t/\xe6\x96\x87\xe4\xbb\xb6"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::unique_ptr<QMimeData> mime = CommandLineDrop(c.args, c.workingFolder);
        ASSERT_NE(mime, nullptr);
        EXPECT_EQ(DropPaths(*mime), c.expected);
    }
}

// The paths of the report's name lines, in order.
std::vector<std::string> ReportedNames(const QString& report) {
    const std::string text = report.toStdString();
    const std::string label = "文件名称：";
    std::vector<std::string> names;
    for (std::size_t at = text.find(label); at != std::string::npos;
         at = text.find(label, at + 1)) {
        const std::size_t start = at + label.size();
        names.push_back(text.substr(start, text.find("\r\n", start) - start));
    }
    return names;
}

class CommandLineFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        UiLanguage.clear();
        ASSERT_TRUE(m_Temp.isValid());
        m_Dir = std::filesystem::canonical(m_Temp.path().toStdString()).native();
        m_SavedCwd = std::filesystem::current_path();
    }
    void TearDown() override { std::filesystem::current_path(m_SavedCwd); }

    std::string MakeFile(const std::string& name, const std::string& content) {
        const std::filesystem::path path = m_Dir + "/" + name;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path.native();
    }

    QTemporaryDir m_Temp;
    std::string m_Dir;
    std::filesystem::path m_SavedCwd;
};

TEST_F(CommandLineFilesTest, ReportedInOrderAtStartLikeADrop) {
    const std::string last = MakeFile("z-named-first", "zz");
    const std::string folder = m_Dir + "/tree";
    const std::string inside = MakeFile("tree/only", "o");
    const std::string relative = MakeFile("rel.bin", "r");
    const std::string missing = m_Dir + "/gone.exe";
    std::filesystem::current_path(m_Dir);

    std::unique_ptr<Common_MD5_View> window;
    Main(window, {last, folder, "rel.bin", missing});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());

    // The missing file gets no block: the window tells of it in a message
    // that does not hold up the others.
    const std::vector<std::string> expected = {last, folder, inside, relative};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !window->IsReportRunning() && ReportedNames(window->ReportText()).size() >= 4;
        },
        30000));
    EXPECT_EQ(ReportedNames(window->ReportText()), expected);
    const auto told = [&missing] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            const auto* box = qobject_cast<QMessageBox*>(widget);
            if (box != nullptr && box->isVisible() &&
                box->text().contains(QString::fromStdString(missing))) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(QTest::qWaitFor(told, 5000));
}

TEST_F(CommandLineFilesTest, NoArgumentsStartWithAnEmptyReport) {
    std::unique_ptr<Common_MD5_View> window;
    Main(window, {});
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window->ReportText().isEmpty());
}

TEST_F(CommandLineFilesTest, NothingIsReportedOnceTheWindowIsGone) {
    const std::string file = MakeFile("a", "a");
    std::unique_ptr<Common_MD5_View> window;
    Main(window, {file});
    window.reset();
    // The queued report must not reach a window that no longer exists.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    SUCCEED();
}

} // namespace
} // namespace varnel
