#pragma once

// Where the list commands (--check, --audit) hand their results when they
// are not written as text: a window's table takes each entry's result as the
// text lines would word it, the words about the lists, and says when it no
// longer wants more. The commands decide every result the same way whatever
// takes them; only the writing differs.

#include <optional>
#include <span>
#include <string_view>

namespace varnel {

// One entry's result. The views live only for the call.
struct ListResult {
    std::string_view name;   // the file's name, bytes as the list records them
    std::string_view status; // "OK", "FAILED", "FAILED open or read", "MOVED", ...
    // What differs, in the words of the text results ("size", "MD5", ...).
    std::span<const std::string_view> differs;
    std::optional<std::string_view> to; // MOVED: the new name's bytes
    std::string_view line;   // the result as the text results write it, without a line end
    std::string_view reason; // FAILED open or read: the system's reason
    bool notFound = false;   // FAILED open or read: the file does not exist
    bool listed = true;      // an entry of a list (false: a file found new)
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
