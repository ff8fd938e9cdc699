#include "platform/os/path_text.h"

#include "platform/os/win/wide_text.h"

namespace varnel::platform {

std::string PathText(const std::filesystem::path& path) {
    return win::Utf8FromWide(path.native());
}

std::filesystem::path PathFromText(std::string_view text) {
    return std::filesystem::path(win::WideFromUtf8(text));
}

} // namespace varnel::platform
