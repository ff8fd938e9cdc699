#pragma once

// Web addresses the program opens. They come from the maker's credits,
// which are set when the build is configured (about/CMakeLists.txt).

#include "about/credits.h"

namespace varnel::links {

// The author's web page, opened by the main window's "关于作者" button.
inline constexpr const char* kAuthorPage = credits::kWebSite;

} // namespace varnel::links
