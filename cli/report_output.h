#pragma once

// varnel-report's report on standard output: report blocks, checksum lines
// or records for scripts, as --format says, written in large pieces, the
// reasons for what could not be read on standard error, and the progress
// of a long run on one line there.

#include "cli/report_options.h"
#include "i18n/language.h"

#include <cstdio>

namespace varnel {

// Writes the report of the command's paths in the language mode given (the
// labels' form). Returns 0 when every path could be read, 1 otherwise (or
// when out could not be written).
int WriteReport(const ReportCommandLine& command, LanguageMode language, std::FILE* out,
                std::FILE* err);

} // namespace varnel
