#include "report/run_progress.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace varnel {

namespace {

std::string Megabytes(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// "m:ss", or "h:mm:ss" from an hour on.
std::string Clock(std::chrono::seconds left) {
    const auto total = static_cast<std::int64_t>(left.count());
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%" PRId64 ":%02" PRId64 ":%02" PRId64, total / 3600,
                      (total / 60) % 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%" PRId64 ":%02" PRId64, total / 60, total % 60);
    }
    return text;
}

std::string Files(const ProgressFigures& figures) {
    std::string text = std::to_string(figures.filesDone);
    if (figures.filesTotal) {
        text += "/" + std::to_string(*figures.filesTotal);
    }
    return text;
}

// "512 B", "5.7 GB", "112 MB": steps of 1000, one decimal below ten.
std::string ShortBytes(double bytes) {
    static constexpr const char* kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
    std::size_t unit = 0;
    while (bytes >= 999.5 && unit + 1 < std::size(kUnits)) {
        bytes /= 1000;
        ++unit;
    }
    char text[32];
    if (unit > 0 && bytes < 9.95) {
        std::snprintf(text, sizeof text, "%.1f %s", bytes, kUnits[unit]);
    } else {
        std::snprintf(text, sizeof text, "%.0f %s", bytes, kUnits[unit]);
    }
    return text;
}

std::string ShortFigures(const ProgressFigures& figures) {
    return Files(figures) + " · " + ShortBytes(static_cast<double>(figures.bytesDone)) + " · " +
           ShortBytes(figures.megabytesPerSecond * 1e6) + "/s";
}

} // namespace

ProgressFigures FiguresOf(const RunProgress& progress) {
    ProgressFigures figures;
    figures.filesDone = progress.filesDone;
    figures.bytesDone = progress.bytesDone;
    const double seconds = std::chrono::duration<double>(progress.elapsed).count();
    if (seconds > 0) {
        figures.megabytesPerSecond = static_cast<double>(progress.bytesDone) / seconds / 1e6;
    }
    if (!progress.walkEnded) {
        figures.stillFinding = true;
        return figures;
    }
    figures.filesTotal = progress.filesFound;
    if (progress.filesDone >= progress.filesFound || seconds <= 0) {
        return figures;
    }
    double left = -1;
    if (progress.bytesDone > 0 && progress.filesSized > 0) {
        // Files whose sizes are not known yet (claimed ahead but not opened,
        // or not claimed) are taken as the mean of those known. Files done
        // without a size (they could not be opened) are not waited for.
        const double sized = static_cast<double>(progress.filesSized);
        const double known = static_cast<double>(progress.bytesKnown);
        const double reached =
            static_cast<double>(std::max(progress.filesSized, progress.filesDone));
        const double notReached = std::max(0.0, static_cast<double>(progress.filesFound) - reached);
        const double total = known + notReached * (known / sized);
        const double rate = static_cast<double>(progress.bytesDone) / seconds;
        left = std::max(0.0, (total - static_cast<double>(progress.bytesDone)) / rate);
    } else if (progress.filesDone > 0) {
        left = seconds * static_cast<double>(progress.filesFound - progress.filesDone) /
               static_cast<double>(progress.filesDone);
    }
    if (left >= 0 && std::isfinite(left)) {
        figures.timeLeft = std::chrono::seconds(static_cast<std::int64_t>(std::ceil(left)));
    }
    return figures;
}

std::string ProgressTextEnglish(const ProgressFigures& figures) {
    std::string text = Files(figures) + " files, " +
                       Megabytes(static_cast<double>(figures.bytesDone) / 1e6) + " MB, " +
                       Megabytes(figures.megabytesPerSecond) + " MB/s";
    if (figures.timeLeft) {
        text += ", " + Clock(*figures.timeLeft) + " left";
    } else if (figures.stillFinding) {
        text += ", still finding files";
    }
    return text;
}

std::string ProgressTextChinese(const ProgressFigures& figures) {
    std::string text = "已完成 " + Files(figures) + " 个文件，" +
                       Megabytes(static_cast<double>(figures.bytesDone) / 1e6) + " MB，" +
                       Megabytes(figures.megabytesPerSecond) + " MB/s";
    if (figures.timeLeft) {
        text += "，剩余 " + Clock(*figures.timeLeft);
    } else if (figures.stillFinding) {
        text += "，仍在查找文件";
    }
    return text;
}

std::string ProgressShortEnglish(const ProgressFigures& figures) {
    std::string text = ShortFigures(figures);
    if (figures.timeLeft) {
        text += " · " + Clock(*figures.timeLeft) + " left";
    } else if (figures.stillFinding) {
        text += " · finding files";
    }
    return text;
}

std::string ProgressShortChinese(const ProgressFigures& figures) {
    std::string text = ShortFigures(figures);
    if (figures.timeLeft) {
        text += " · 剩余 " + Clock(*figures.timeLeft);
    } else if (figures.stillFinding) {
        text += " · 查找文件中";
    }
    return text;
}

} // namespace varnel
