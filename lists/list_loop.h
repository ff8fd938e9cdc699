#pragma once

// What the list commands (check, audit) share: the loop over the lists named,
// each read as a stream and its entries handed on as they come, with the
// words about lists that cannot be used; and the one place where a typed
// result becomes a text line, a JSON object or a row handed to a sink.

#include "lists/checksum_list.h"
#include "lists/result_sink.h"
#include "lists/result_stream.h"
#include "report/file_facts.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

// Takes the entries of a list as the loop reads them.
class ListConsumer {
public:
    // False once nothing more is wanted: the loop reads no further.
    virtual bool Wanted() const = 0;
    // The list waits for its writer: what was read so far may be finished.
    virtual void BeforeWait() = 0;
    // The next entry, and the list's format as read so far.
    virtual void Add(ListEntry&& entry, std::optional<ListFormat> format) = 0;
    // The list has ended or broken off.
    virtual void EndList() = 0;
    // The entries taken so far (of every list given to this consumer).
    virtual std::size_t entries() const = 0;

protected:
    ~ListConsumer() = default;
};

// What the lists came to.
struct ListsRead {
    bool unusable = false;          // a list could not be opened, read, or held no entry
    std::size_t badLines = 0;       // improperly formatted lines
    std::size_t badReportLines = 0; // of them, lines of saved reports
};

// Reads each list ("-": standard input) in turn, handing its entries to the
// consumer that consumerFor gives for it once the list is open, and says
// through tell what made a list unusable and its improperly formatted lines.
// Stops after a list when the consumer wants nothing more.
ListsRead ReadLists(const std::vector<std::string>& lists, std::optional<ListFormat> format,
                    const std::function<ListConsumer&(const std::string& list)>& consumerFor,
                    const std::function<void(const std::string& text)>& tell);

// One result of a list command.
struct ResultRow {
    std::string_view name;  // the file's bytes
    std::string_view shown; // the name as text results show it
    ListStatus status = ListStatus::Ok;
    std::span<const std::string_view> differs; // the checks that differ
    bool differsInText = true;                 // text results name them (JSON and sinks always do)
    std::optional<std::string_view> to;        // where a moved entry went: its bytes
    std::string_view shownTo;                  // and as text results show it
    const FileFacts* facts = nullptr;          // the file's facts, when it was read
    bool listed = true;                        // the entry stands in a list (not a new file)
    // The list of the entry, when results of several lists come together:
    // its bytes, and as text results show it before the name ("LIST: NAME:
    // OK"); JSON gives it as "list".
    std::string_view list;
    std::string_view shownList;
};

// Adds "key":"text" to the JSON object that ends out's last line; text is a
// name's bytes, given in the visible escape with "key_bytes" (base64) as
// well when they are not UTF-8, as results give "name".
void AppendJsonField(std::string& out, std::string_view key, std::string_view text);

// Writes results as text lines or JSON objects to a stream, or hands them to
// a sink.
class ResultWriter {
public:
    ResultWriter(ResultStream& output, bool json, ResultSink* sink)
        : m_Output(output), m_Json(json), m_Sink(sink) {}

    void Write(const ResultRow& row);

    // "<shown>: <status> (<differs>) to <shown to>", without a line end.
    static void AppendText(std::string& text, const ResultRow& row);

private:
    ResultStream& m_Output;
    bool m_Json;
    ResultSink* m_Sink;
};

} // namespace varnel
