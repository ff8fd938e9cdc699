#pragma once

// The lines varnel-report's commands write on standard error about what they
// met: "varnel-report: " and the parts given, as one line, flushed at once so
// that it stands in order with the results on a shared terminal.

#include "lists/result_sink.h"

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

} // namespace varnel
