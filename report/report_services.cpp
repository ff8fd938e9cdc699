#include "report/report_services.h"

#include "formats/pe_version.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#ifdef _WIN32
#include "platform/os/win/date_text.h"
#else
#include "platform/qt/date_text.h"
#endif

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace varnel {

ReportServices MakeReportServices() {
    return MakeReportServices(CurrentLanguageMode());
}

ReportServices MakeReportServices(LanguageMode mode) {
    ReportServices services;
    if (mode == LanguageMode::Traditional) {
        services.convert = [](std::string_view text) { return ConvertToBig5(text); };
    }
    // Files of one folder often share their modified second (unpacked
    // archives, checkouts): the texts of the last few seconds are kept, which
    // spares the locale and time-zone work for each of them. A folder's
    // listing comes in no order of time, so a folder written over two or
    // three seconds alternates between them.
    struct TimeText {
        platform::DateTextFormatter formatter;
        std::array<std::optional<std::chrono::sys_seconds>, 4> seconds;
        std::array<std::string, 4> texts;
        std::size_t next = 0; // the slot the next new second takes
    };
    auto state = std::make_shared<TimeText>();
    services.formatTime = [state](std::chrono::sys_seconds second) {
        for (std::size_t i = 0; i < state->seconds.size(); ++i) {
            if (state->seconds[i] == second) {
                return state->texts[i];
            }
        }
        const std::size_t slot = state->next;
        state->next = (slot + 1) % state->seconds.size();
        state->texts[slot] = state->formatter.Format(second);
        state->seconds[slot] = second;
        return state->texts[slot];
    };
    services.fileVersion = [](const std::filesystem::path& path) {
        return formats::GetFileVersion(path);
    };
    services.fileVersionOfBytes = [](std::span<const std::uint8_t> bytes) {
        return formats::GetFileVersionFromBytes(bytes);
    };
    return services;
}

} // namespace varnel
