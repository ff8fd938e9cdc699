#include "report/report_services.h"

#include "formats/pe_version.h"
#include "i18n/big5.h"
#include "i18n/language.h"
#ifdef _WIN32
#include "platform/os/win/date_text.h"
#else
#include "platform/qt/date_text.h"
#endif

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
    // archives, checkouts): the text of the last second is kept, which spares
    // the locale and time-zone work for each of them.
    struct TimeText {
        platform::DateTextFormatter formatter;
        std::optional<std::chrono::sys_seconds> second;
        std::string text;
    };
    auto state = std::make_shared<TimeText>();
    services.formatTime = [state](std::chrono::sys_seconds second) {
        if (state->second != second) {
            state->text = state->formatter.Format(second);
            state->second = second;
        }
        return state->text;
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
