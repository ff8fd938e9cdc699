#pragma once

// Counts as people read them: digits in groups of three with commas between
// ("1,204"), the one form the program's summaries write counts in.

#include <cstddef>
#include <string>

namespace varnel::formats {

// The count with thousands separators: 1204 -> "1,204".
std::string GroupedCount(std::size_t count);

} // namespace varnel::formats
