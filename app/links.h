#pragma once

// Web addresses the program opens. Kept in one place so that a change of
// address is one edit.

namespace varnel::links {

// The author's web page, opened by the main window's "关于作者" button.
inline constexpr const char* kAuthorPage = "https://github.com/varnel/varnel";

} // namespace varnel::links
