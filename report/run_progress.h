#pragma once

// The figures a long run shows while it lasts: files done (of how many, once
// the walk has ended), bytes read, speed and time left.

#include "report/report_run.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace varnel {

// A run is shown as long once it has lasted this long.
inline constexpr std::chrono::milliseconds kProgressDelay{500};
// How often the figures are shown anew.
inline constexpr std::chrono::milliseconds kProgressInterval{250};

struct ProgressFigures {
    std::size_t filesDone = 0;
    std::optional<std::size_t> filesTotal; // known once the walk has ended
    std::uint64_t bytesDone = 0;
    double megabytesPerSecond = 0; // 10^6 bytes per second, since the start
    std::optional<std::chrono::seconds> timeLeft;
    bool stillFinding = false; // the walk goes on: no time can be told yet
};

// The figures of a run's progress. The time left covers the whole run and is
// estimated from the speed so far: from the bytes still to read (the sizes of
// the files whose sizes are not known yet taken as the mean of those known)
// or, when no bytes were read, from the files still to do. Unknown while the
// walk goes on, which the texts say.
ProgressFigures FiguresOf(const RunProgress& progress);

// "12/300 files, 45.6 MB, 78.9 MB/s, 0:03 left" (parts left out while unknown;
// ", still finding files" while the walk goes on).
std::string ProgressTextEnglish(const ProgressFigures& figures);

// The same in the window's language: "已完成 12/300 个文件，45.6 MB，78.9 MB/s，剩余 0:03".
std::string ProgressTextChinese(const ProgressFigures& figures);

// The short forms, for a title bar that has room for a few words only:
// "3/8 · 5.7 GB · 112 MB/s · 0:14 left" ("finding files" in place of the time
// while the walk goes on), and "3/8 · 5.7 GB · 112 MB/s · 剩余 0:14"
// ("查找文件中"). Bytes and speed in steps of 1000, with three figures at most.
std::string ProgressShortEnglish(const ProgressFigures& figures);
std::string ProgressShortChinese(const ProgressFigures& figures);

} // namespace varnel
