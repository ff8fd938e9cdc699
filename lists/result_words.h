#pragma once

// varnel-report's English words for each result of the list commands, as its
// text and JSON results write them ("FAILED open or read", "MOVED", ...),
// and as the verify window copies its rows. One table: the text results,
// the JSON results and the copied lines read it; the window shows its own
// words for the same statuses.

#include "lists/result_sink.h"

#include <string_view>

namespace varnel {

// The word of a status: "OK", "FAILED", "FAILED open or read", ...
std::string_view ResultWord(ListStatus status);

} // namespace varnel
