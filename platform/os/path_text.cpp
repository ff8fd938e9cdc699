#include "platform/os/path_text.h"

namespace varnel::platform {

std::string PathText(const std::filesystem::path& path) {
    return path.native();
}

std::filesystem::path PathFromText(std::string_view text) {
    return std::filesystem::path(std::string(text));
}

} // namespace varnel::platform
