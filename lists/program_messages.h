#pragma once

// The lines varnel-report's commands write on standard error about what they
// met: "varnel-report: " and the parts given, as one line, flushed at once so
// that it stands in order with the results on a shared terminal.

#include "lists/result_sink.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace varnel {

inline constexpr std::string_view kReportProgram = "varnel-report";

template <typename... Parts> void Say(std::FILE* err, const Parts&... parts) {
    std::string line(kReportProgram);
    line += ": ";
    (line += ... += parts);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), err);
    std::fflush(err);
}

// A word about a list, the parts given as one text: to the sink when
// results go to one, else said on the error stream.
template <typename... Parts> void Tell(std::FILE* err, ResultSink* sink, const Parts&... parts) {
    if (sink != nullptr) {
        std::string text;
        (text += ... += parts);
        sink->Message(text);
    } else {
        Say(err, parts...);
    }
}

// The word about a list's improperly formatted lines: the first one's number
// and how many others there are, "SUMS: line 3: improperly formatted checksum
// line (and 2 others)".
inline std::string ImproperLinesMessage(std::string_view shownList, std::size_t firstBadLine,
                                        std::size_t badLines, bool report) {
    std::string text(shownList);
    text += ": line " + std::to_string(firstBadLine) + ": improperly formatted ";
    text += report ? "report line" : "checksum line";
    if (badLines > 1) {
        text += " (and " + std::to_string(badLines - 1) + (badLines == 2 ? " other)" : " others)");
    }
    return text;
}

} // namespace varnel
