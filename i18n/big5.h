#pragma once

#include <string>
#include <string_view>

namespace varnel {

// Converts Simplified Chinese text to its Traditional form through the outside
// conversion library (GB2312 in, Big5 out). Text in and out is UTF-8.
// Without the library the text comes back unchanged; never fails.
std::string ConvertToBig5(std::string_view text);

} // namespace varnel
