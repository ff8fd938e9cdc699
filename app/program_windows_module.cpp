#include "app/program_windows_module.h"

#include "app/common_md5_view.h"
#include "app/verify_window.h"

#include <QByteArray>
#include <QList>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <system_error>

namespace varnel {
namespace {

// The absolute form of path with "." components and repeated separators left
// out. ".." stays: folding it away would be wrong when the component before
// it is a link to a folder elsewhere.
std::string AbsoluteNative(const std::string& path, const std::filesystem::path& workingFolder) {
    const std::string joined = path.front() == '/' ? path : workingFolder.native() + "/" + path;
    std::string result;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        const std::string_view part(joined.data() + start, end - start);
        if (!part.empty() && part != ".") {
            result += '/';
            result += part;
        }
        start = end + 1;
    }
    return result.empty() ? std::string("/") : result;
}

// True when path, taken from workingFolder when relative, leads to no entry
// (links followed). A path that cannot be looked up for another reason (a
// folder on the way that cannot be searched) is reported, and its block
// tells what could be had.
bool NamesNothing(const std::string& path, const std::filesystem::path& workingFolder) {
    if (path.empty()) {
        return false;
    }
    const std::filesystem::path named(path);
    std::error_code error;
    const std::filesystem::file_status status =
        std::filesystem::status(named.is_absolute() ? named : workingFolder / named, error);
    return status.type() == std::filesystem::file_type::not_found;
}

} // namespace

bool InitControlLibrary() {
    // The designed system registers its extended control classes here; Qt's
    // widgets need no such step.
    return true;
}

std::unique_ptr<QMimeData> CommandLineDrop(const std::vector<std::string>& paths,
                                           const std::filesystem::path& workingFolder) {
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        // A relative path cannot be placed without a working folder.
        if (path.empty() || (path.front() != '/' && workingFolder.empty())) {
            continue;
        }
        // Percent-encoded bytes, as a file manager sends them: a name that is
        // not valid UTF-8 keeps its exact bytes.
        const QByteArray bytes = QByteArray::fromStdString(AbsoluteNative(path, workingFolder));
        urls.append(QUrl::fromEncoded(QByteArrayLiteral("file://") + bytes.toPercentEncoding("/"),
                                      QUrl::StrictMode));
    }
    mime->setUrls(urls);
    return mime;
}

void Main(std::unique_ptr<Common_MD5_View>& mainWindow, const std::vector<std::string>& paths,
          const DigestSelection& digests) {
    InitControlLibrary();
    if (!mainWindow) {
        mainWindow = std::make_unique<Common_MD5_View>();
    }
    mainWindow->setChosenDigests(digests);
    mainWindow->show();
    if (paths.empty()) {
        return;
    }
    std::error_code error;
    const std::filesystem::path workingFolder = std::filesystem::current_path(error);
    // A name that leads to nothing gets what the open-file dialog says of a
    // typed name that leads to nothing, not an empty block.
    std::vector<std::string> found;
    std::vector<std::string> missing;
    for (const std::string& path : paths) {
        (NamesNothing(path, workingFolder) ? missing : found).push_back(path);
    }
    std::shared_ptr<QMimeData> drop = CommandLineDrop(found, workingFolder);
    // Queued, so that the window is on screen and the event loop runs when
    // the reports start; the window is the context, so nothing runs once it
    // is gone.
    Common_MD5_View* window = mainWindow.get();
    QTimer::singleShot(0, window, [window, drop, missing] {
        window->Text1_OLEDragDrop(drop.get());
        window->NamedFilesNotFound(missing);
    });
}

void MainVerify(std::unique_ptr<VerifyWindow>& window, const std::vector<std::string>& lists) {
    InitControlLibrary();
    if (!window) {
        window = std::make_unique<VerifyWindow>();
    }
    window->show();
    // Queued, so that the window is on screen when the run starts.
    VerifyWindow* shown = window.get();
    QTimer::singleShot(0, shown, [shown, lists] { shown->Verify(lists); });
}

void MainCompare(std::unique_ptr<VerifyWindow>& window, const std::string& a,
                 const std::string& b) {
    InitControlLibrary();
    if (!window) {
        window = std::make_unique<VerifyWindow>();
    }
    window->show();
    VerifyWindow* shown = window.get();
    QTimer::singleShot(0, shown, [shown, a, b] { shown->Compare(a, b); });
}

} // namespace varnel
