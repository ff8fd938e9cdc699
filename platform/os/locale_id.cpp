#include "platform/os/locale_id.h"

#include <cstdlib>

namespace varnel::platform {

std::string SystemLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

std::int32_t SystemLocaleId() {
    return LocaleIdForName(SystemLocaleName());
}

} // namespace varnel::platform
