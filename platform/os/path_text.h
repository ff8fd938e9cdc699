#pragma once

// A path as the program's text, and back. Inside the program a path is text:
// on Linux the native bytes as they are (a name that is not valid UTF-8 stays
// as it is, so the file still opens); on Windows UTF-8, converted from and to
// the system's UTF-16 here, with a name that is not valid UTF-16 (a lone
// surrogate) kept so that it converts back to the same name and is shown
// with the name escape's visible form. Every place that turns a path into
// text or text into a path goes through these two.

#include <filesystem>
#include <string>
#include <string_view>

namespace varnel::platform {

std::string PathText(const std::filesystem::path& path);
std::filesystem::path PathFromText(std::string_view text);

// The separator the system writes between a folder and the names in it.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

} // namespace varnel::platform
