#pragma once

// Where the list commands (--check, --audit) hand their results when they
// are not written as text: a window's table takes each entry's result as a
// status and what differs, the words about the lists, and says when it no
// longer wants more. The commands decide every result the same way whatever
// takes them; only the writing differs, and each front words the statuses
// itself (varnel-report's words: lists/result_words.h).

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace varnel {

// What became of an entry (or of a file found below the folder).
enum class ListStatus {
    Ok,         // the file matches its entry
    Failed,     // a digest (or a report line) differs
    Unreadable, // the file could not be opened or read (or is not there)
    Improper,   // a report block begun but not read whole
    Edited,     // audit: size or modified time changed
    Damaged,    // audit: content changed, size and modified time did not
    Missing,    // audit: the file is gone and not found elsewhere
    Moved,      // audit: the file is gone and its content found under another name
    New,        // audit: a file below the folder that no list names
    Added,      // update: a file added to the list
};

inline constexpr std::size_t kListStatusCount = 10;

// One entry's result. The views live only for the call.
struct ListResult {
    std::string_view name; // the file's name, bytes as the list records them
    ListStatus status = ListStatus::Ok;
    // The checks that differ, by name ("size", "MD5", ...).
    std::span<const std::string_view> differs;
    std::optional<std::string_view> to; // MOVED: the new name's bytes
    std::string_view line;   // the result as the text results write it, without a line end
    std::string_view reason; // Unreadable: the system's reason
    bool notFound = false;   // Unreadable: the file does not exist
    bool listed = true;      // an entry of a list (false: a file found new)
    // The list the entry stands in, as it was found, when the results of
    // several lists come together (the lists below a folder); empty
    // otherwise. A relative name is relative to that list's folder then.
    std::string_view list;
};

class ResultSink {
public:
    virtual ~ResultSink() = default;
    // Called in the order the text results would be written.
    virtual void Result(const ListResult& result) = 0;
    // A word about a list or a folder, as the text commands say it on the
    // error stream without their program's name: "SHA256SUMS: line 3:
    // improperly formatted checksum line".
    virtual void Message(std::string_view text) = 0;
    // False once no more results are wanted: nothing more is read.
    virtual bool Open() const = 0;
};

} // namespace varnel
