#include "platform/os/program_dir.h"

#include <string>
#include <system_error>

namespace varnel::platform {

std::filesystem::path ProgramDir() {
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || !exe.is_absolute()) {
        return {};
    }
    // The kernel gives an absolute path without "." or ".." components; its
    // parent is the folder, and for a program in "/" that is "/" itself.
    return exe.parent_path();
}

std::filesystem::path ParentFolderName(const std::filesystem::path& path) {
    using String = std::filesystem::path::string_type;
    constexpr auto separator = std::filesystem::path::preferred_separator;
    const String& text = path.native();

    // Trailing separators do not make a component of their own.
    const auto lastChar = text.find_last_not_of(separator);
    if (lastChar == String::npos) {
        return {}; // empty, or the root itself: no parent
    }
    const auto slash = text.find_last_of(separator, lastChar);
    if (slash == String::npos) {
        return {}; // a single relative component
    }
    const auto parentEnd = text.find_last_not_of(separator, slash);
    if (parentEnd == String::npos) {
        return String(1, separator); // directly below the root
    }
    return text.substr(0, parentEnd + 1);
}

} // namespace varnel::platform
