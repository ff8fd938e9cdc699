#include "lists/list_loop.h"

#include "formats/name_escape.h"
#include "lists/program_messages.h"
#include "lists/result_json.h"
#include "lists/result_words.h"
#include "platform/os/input_stream.h"
#include "platform/os/path_text.h"
#include "report/report.h"

#include <system_error>

namespace varnel {

ListsRead ReadLists(const std::vector<std::string>& lists, std::optional<ListFormat> format,
                    const std::function<ListConsumer&(const std::string& list)>& consumerFor,
                    const std::function<void(const std::string& text)>& tell) {
    ListsRead read;
    for (const std::string& list : lists) {
        const std::string shownList = list == "-" ? "standard input" : DisplayText(list);
        std::string reason;
        platform::InputStream stream =
            list == "-" ? platform::InputStream::StandardInput()
                        : platform::InputStream::Open(platform::PathFromText(list), reason);
        if (!stream.isOpen()) {
            read.unusable = true;
            tell(std::string(shownList).append(": ").append(reason));
            continue;
        }
        // The list is taken as it is read: its first files are read while
        // the rest of it is still coming.
        ListConsumer& consumer = consumerFor(list);
        ChecksumListReader reader(
            [&](std::span<char> dest) {
                if (stream.WouldWait()) {
                    consumer.BeforeWait();
                }
                return stream.Read(dest);
            },
            format ? format : ListFormatOfListName(list));
        const std::size_t before = consumer.entries();
        std::string broken;
        try {
            while (consumer.Wanted()) {
                std::optional<ListEntry> entry = reader.Next();
                if (!entry) {
                    break;
                }
                consumer.Add(std::move(*entry), reader.format());
            }
        } catch (const std::system_error& error) {
            broken = error.code().message();
        }
        consumer.EndList();
        const bool report = reader.format() == ListFormat::Report;
        if (!broken.empty()) {
            // What was read before the failure has been taken; the rest of
            // the list is unknown.
            read.unusable = true;
            tell(std::string(shownList).append(": cannot read: ").append(broken));
        } else if (consumer.entries() == before) {
            read.unusable = true;
            tell(reader.firstBadLine() == 0
                     ? shownList + ": no checksum lines"
                     : shownList + ": line " + std::to_string(reader.firstBadLine()) +
                           ": not a checksum line of a known format");
            continue;
        }
        read.badLines += reader.badLines();
        // A report's blocks are the entries: a line that is none of them may
        // be a block whose name could not be read, never to be passed over.
        read.badReportLines += report ? reader.badLines() : 0;
        if (reader.badLines() > 0) {
            tell(ImproperLinesMessage(shownList, reader.firstBadLine(), reader.badLines(), report));
        }
        if (!consumer.Wanted()) {
            break;
        }
    }
    return read;
}

void AppendJsonField(std::string& out, std::string_view key, std::string_view text) {
    if (!out.ends_with("}\n")) {
        return;
    }
    out.resize(out.size() - 2);
    out += ',';
    AppendJsonName(out, key, text);
    out += "}\n";
}

void ResultWriter::AppendText(std::string& text, const ResultRow& row) {
    if (!row.list.empty()) {
        text += row.shownList;
        text += ": ";
    }
    text += row.shown;
    text += ": ";
    text += ResultWord(row.status);
    if (row.differsInText && !row.differs.empty()) {
        text += " (";
        for (std::size_t i = 0; i < row.differs.size(); ++i) {
            text += i == 0 ? "" : ", ";
            text += row.differs[i];
        }
        text += ')';
    }
    if (row.to) {
        text += " to ";
        text += row.shownTo;
    }
}

void ResultWriter::Write(const ResultRow& row) {
    if (m_Sink) {
        std::string line;
        AppendText(line, row);
        ListResult result;
        result.name = row.name;
        result.status = row.status;
        result.differs = row.differs;
        result.to = row.to;
        result.line = line;
        result.listed = row.listed;
        result.list = row.list;
        if (row.facts) {
            result.reason = row.facts->failure;
            result.notFound = !row.facts->readOk && row.facts->failureKind == ReadFailure::NotFound;
        }
        m_Sink->Result(result);
        return;
    }
    std::string& text = m_Output.buffer();
    if (m_Json) {
        AppendResultJson(text, row.name, row.status, row.differs, row.to);
        if (!row.list.empty()) {
            AppendJsonField(text, "list", row.list);
        }
        return;
    }
    AppendText(text, row);
    text += '\n';
}

} // namespace varnel
