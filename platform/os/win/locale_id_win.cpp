#include "platform/os/locale_id.h"

#include "platform/os/win/wide_text.h"

namespace varnel::platform {

// On Windows the user's locale decides, as the window's start-up reads it:
// 1028 Traditional Chinese, 2052 Simplified, 1033 English, ...
std::string SystemLocaleName() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    if (::GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) {
        return "C";
    }
    return win::Utf8FromWide(name);
}

std::int32_t SystemLocaleId() {
    return static_cast<std::int32_t>(::GetUserDefaultLCID());
}

} // namespace varnel::platform
