// The main window's compare verdict and its saves: the report as a saved
// report, the report's files as a checksum list.

#include "app/common_md5_view.h"

#include "app/report_lists.h"
#include "app/saved_files.h"
#include "formats/name_escape.h"
#include "i18n/shown_text.h"
#include "platform/qt/file_dialogs.h"
#include "skin/skin_caption.h"

#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace varnel {

namespace {

// A path the dialog gave, with the ending of the form chosen when it has
// none.
std::string WithExtension(const QString& chosen, std::string_view extension) {
    std::string path = QFile::encodeName(chosen).toStdString();
    if (std::filesystem::path(path).extension().empty()) {
        path += extension;
    }
    return path;
}

} // namespace

void Common_MD5_View::ShowCompareVerdict() {
    // The caption, not the report text: the box keeps the report's form.
    const std::optional<bool> same = LastTwoBlocksSame(ReportText().toUtf8().toStdString());
    const char* verdict = !same   ? "比较：无法判断（有文件未读取）"
                          : *same ? "比较：两个文件相同"
                                  : "比较：两个文件不同";
    Skin_Caption1->setShortTitle(windowTitle() + QStringLiteral(" - ") + ShownChinese(verdict));
    Skin_Caption1->setAccessibleDescription(ShownChinese(verdict));
}

void Common_MD5_View::ShowSaved(const QString& shown, const QString& failure) {
    const QString text =
        failure.isEmpty()
            ? ShownText("已保存：%1", "Saved: %1").arg(shown)
            : ShownText("无法保存 %1：%2", "Could not save %1: %2").arg(shown, failure);
    Skin_Caption1->setShortTitle(windowTitle() + QStringLiteral(" - ") + text);
    Skin_Caption1->setToolTip(text);
}

void Common_MD5_View::SaveReport_Click() {
    m_Feed.ShowPendingText();
    const std::optional<platform::DialogService::SaveChoice> choice =
        CommonDialog1->GetSaveFileName(
            this, ShownText("Varnel 报告", "Varnel report") + QStringLiteral(" (*.txt)|*.txt"),
            ShownText("保存报告", "Save report"), QStringLiteral("report.txt"));
    if (!choice) {
        return;
    }
    const std::string path = WithExtension(choice->path, ".txt");
    const QString shown = QString::fromStdString(formats::EscapeName(path));
    // The box's text, CR LF line ends, as --check reads saved reports.
    SaveFileInBackground(this, path, ReportText().toUtf8().toStdString(),
                         [this, shown](const QString& failure) { ShowSaved(shown, failure); });
}

void Common_MD5_View::SaveChecksumList_Click() {
    m_Feed.ShowPendingText();
    const std::vector<ListEntry> entries = ReportEntries(ReportText().toUtf8().toStdString());
    if (entries.empty()) {
        ShowSaved(QString(), ShownText("报告中没有文件", "the report holds no file"));
        return;
    }
    const std::optional<platform::DialogService::SaveChoice> choice =
        CommonDialog1->GetSaveFileName(this, ChecksumListFilter(),
                                       ShownText("保存校验清单", "Save checksum list"),
                                       QStringLiteral("checksums.sha256"));
    if (!choice) {
        return;
    }
    const std::span<const ListSaveFormat> formats = ListSaveFormats();
    const ListSaveFormat& format = formats[static_cast<std::size_t>(
        std::clamp<int>(choice->filter, 0, static_cast<int>(formats.size()) - 1))];
    const std::string path = WithExtension(choice->path, format.extension);
    const QString shown = QString::fromStdString(formats::EscapeName(path));
    // The list is made on a thread of its own: a format whose digest the
    // report lacks has its files read again there. Then it is written whole.
    struct Mailbox {
        std::mutex mutex;
        QObject* window = nullptr;
    };
    auto mailbox = std::make_shared<Mailbox>();
    mailbox->window = this;
    connect(
        this, &QObject::destroyed, this,
        [mailbox] {
            const std::lock_guard lock(mailbox->mutex);
            mailbox->window = nullptr;
        },
        Qt::DirectConnection);
    std::thread([mailbox, entries, format = format.format, path, shown, this] {
        std::vector<std::string> problems;
        std::string list = BuildChecksumList(entries, format, path, problems);
        const std::lock_guard lock(mailbox->mutex);
        if (mailbox->window == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
            mailbox->window,
            [this, list = std::move(list), problems = std::move(problems), path, shown]() mutable {
                QString left;
                if (!problems.empty()) {
                    left = ShownText("（%1 个文件未写入：%2）", " (%1 files left out: %2)")
                               .arg(problems.size())
                               .arg(QString::fromStdString(problems.front()));
                }
                SaveFileInBackground(this, path, std::move(list),
                                     [this, shown, left](const QString& failure) {
                                         ShowSaved(shown + left, failure);
                                     });
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace varnel
