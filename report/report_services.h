#pragma once

// The services a report block is formatted with, as the running program
// provides them: Big5 conversion in the Traditional Chinese mode, the system
// locale's date text, and the version query of the platform.

#include "i18n/language.h"
#include "report/report.h"

#include <string>

namespace varnel {

// Services for the current language mode (UiLanguage, read now):
// - convert: ConvertToBig5 when UiLanguage is "TAIWAN", none otherwise;
// - formatTime: the system locale's short date, a blank, its long time
//   (platform::DateTextFormatter), the locale's forms worked out once and
//   the text of the last second kept (one thread at a time);
// - fileVersion: formats::GetFileVersion (thread-safe), and
//   fileVersionOfBytes, its answer from a file's bytes in memory.
// formatTime and convert are for the thread that formats the blocks.
ReportServices MakeReportServices();

// The same for the language mode given, for a thread other than the one that
// set UiLanguage.
ReportServices MakeReportServices(LanguageMode mode);

} // namespace varnel
