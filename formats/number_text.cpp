#include "formats/number_text.h"

namespace varnel::formats {

std::string GroupedCount(std::size_t count) {
    const std::string digits = std::to_string(count);
    std::string grouped;
    grouped.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

} // namespace varnel::formats
