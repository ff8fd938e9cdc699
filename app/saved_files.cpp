#include "app/saved_files.h"

#include "i18n/shown_text.h"
#include "lists/result_json.h"
#include "lists/result_words.h"
#include "platform/os/file.h"
#include "report/script_formats.h"

#include <QMetaObject>

#include <exception>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <thread>
#include <utility>

namespace varnel {

namespace {

// varnel-report's word for a row's status: a compare's, or a check's.
std::string_view StatusWord(const VerifyRow& row) {
    return row.compare ? CompareWord(*row.compare) : ResultWord(row.result);
}

const std::string* ListOf(const VerifyRow& row, const std::vector<std::string>& lists) {
    return lists.size() > 1 && row.list < lists.size() ? &lists[row.list] : nullptr;
}

// A JSON string of UTF-8 text (a status word, a check's name).
std::string JsonText(std::string_view text) {
    std::string field;
    AppendJsonName(field, "k", text);
    return field.substr(4); // after "k":
}

void AppendJson(std::string& out, const VerifyRow& row, const std::vector<std::string>& lists) {
    out += '{';
    AppendJsonName(out, "name", row.name);
    out += ",\"status\":";
    out += JsonText(StatusWord(row));
    if (!row.differs.empty()) {
        out += ",\"differs\":[";
        for (std::size_t i = 0; i < row.differs.size(); ++i) {
            out += i == 0 ? "" : ",";
            out += JsonText(row.differs[i]);
        }
        out += ']';
    }
    if (!row.to.empty()) {
        out += ',';
        AppendJsonName(out, "to", row.to);
    }
    if (const std::string* list = ListOf(row, lists)) {
        out += ',';
        AppendJsonName(out, "list", *list);
    }
    out += "}\n";
}

void AppendCsv(std::string& out, const VerifyRow& row, const std::vector<std::string>& lists) {
    AppendCsvField(out, row.name);
    out += ',';
    AppendCsvField(out, StatusWord(row));
    out += ',';
    std::string differs;
    for (const std::string& what : row.differs) {
        differs += differs.empty() ? "" : ", ";
        differs += what;
    }
    AppendCsvField(out, differs);
    out += ',';
    AppendCsvField(out, row.to);
    out += ',';
    if (const std::string* list = ListOf(row, lists)) {
        AppendCsvField(out, *list);
    }
    out += "\r\n";
}

} // namespace

QString ResultsFileFilter() {
    return ShownText("文本，同 varnel-report", "Text, as varnel-report writes it") +
           QStringLiteral(" (*.txt)|*.txt|") + ShownText("JSON 行", "JSON Lines") +
           QStringLiteral(" (*.json)|*.json|CSV (*.csv)|*.csv");
}

std::string ResultsFileText(const std::vector<const VerifyRow*>& rows,
                            const std::vector<std::string>& lists, ResultsForm form) {
    std::string out;
    if (form == ResultsForm::Csv) {
        out += "name,status,differs,to,list\r\n";
    }
    for (const VerifyRow* row : rows) {
        switch (form) {
        case ResultsForm::Text:
            out += row->line;
            out += '\n';
            break;
        case ResultsForm::Json:
            AppendJson(out, *row, lists);
            break;
        case ResultsForm::Csv:
            AppendCsv(out, *row, lists);
            break;
        }
    }
    return out;
}

void SaveFileInBackground(QObject* receiver, std::string path, std::string bytes,
                          std::function<void(const QString& failure)> done) {
    // The receiver as the writing thread may reach it: cleared, under the
    // mutex, as it is destroyed, so that nothing is posted to it after.
    struct Mailbox {
        std::mutex mutex;
        QObject* receiver = nullptr;
    };
    auto mailbox = std::make_shared<Mailbox>();
    mailbox->receiver = receiver;
    QObject::connect(
        receiver, &QObject::destroyed, receiver,
        [mailbox] {
            const std::lock_guard lock(mailbox->mutex);
            mailbox->receiver = nullptr;
        },
        Qt::DirectConnection);
    std::thread([mailbox, path = std::move(path), bytes = std::move(bytes),
                 done = std::move(done)]() mutable {
        QString failure;
        try {
            platform::ReplaceFileContents(path, std::span<const char>(bytes.data(), bytes.size()));
        } catch (const std::exception& error) {
            failure = QString::fromLocal8Bit(error.what());
        }
        const std::lock_guard lock(mailbox->mutex);
        if (mailbox->receiver != nullptr) {
            QMetaObject::invokeMethod(
                mailbox->receiver, [failure, done = std::move(done)] { done(failure); },
                Qt::QueuedConnection);
        }
    }).detach();
}

} // namespace varnel
