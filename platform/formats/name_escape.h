#pragma once

// The visible, reversible form in which file names and other outside text are
// shown: in the report's name line (window and varnel-report alike) and in
// what varnel-skin prints. Two different names never look the same, and a
// name cannot write lines of its own, ring the terminal or turn the text
// around it backwards.
//
// Valid UTF-8 without the characters below passes unchanged (Chinese names
// included). Everything else is written with a backslash, in the manner of
// the C escapes that `ls --quoting-style=escape` shows:
//
//   \\               the backslash itself
//   \a \b \t \n \v \f \r
//                    those control characters (BEL, BS, HT, LF, VT, FF, CR)
//   \ooo             three octal digits: any other C0 control or DEL (ESC is
//                    \033), and each byte that starts no valid UTF-8 sequence
//                    (\377 for a lone 0xFF)
//   \uXXXX           four upper-case hexadecimal digits: a C1 control
//                    (U+0080..U+009F), a bidirectional control (U+061C,
//                    U+200E, U+200F, U+202A..U+202E, U+2066..U+2069) or a
//                    line or paragraph separator (U+2028, U+2029)
//
// UnescapeName gives the original bytes back.

#include <optional>
#include <string>
#include <string_view>

namespace varnel::platform {

std::string EscapeName(std::string_view bytes);
void AppendEscapedName(std::string& out, std::string_view bytes);

// The bytes an escaped name stands for; nothing when text holds a backslash
// that starts none of the escapes above.
std::optional<std::string> UnescapeName(std::string_view text);

} // namespace varnel::platform
