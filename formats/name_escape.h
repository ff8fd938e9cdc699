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
//                    U+200E, U+200F, U+202A..U+202E, U+2066..U+2069), a
//                    line or paragraph separator (U+2028, U+2029), or a
//                    character that shows nothing: U+00AD, U+034F, U+115F,
//                    U+1160, U+17B4, U+17B5, U+180E, U+200B..U+200D,
//                    U+2060..U+2065, U+206A..U+206F, U+3164, U+FEFF, U+FFA0,
//                    U+FFF0..U+FFFB
//   \UXXXXXXXX       eight digits, for such characters beyond U+FFFF:
//                    U+1BCA0..U+1BCA3, U+1D173..U+1D17A, U+E0000..U+E00FF
//                    (the tag characters and reserved ones after them),
//                    U+E01F0..U+E0FFF (reserved)
//   \040, \uXXXX      each blank of the run that ends the text: a space as
//                    \040, the other blanks (U+00A0, U+2000..U+200A, U+202F,
//                    U+205F, U+3000) as \uXXXX; blanks inside stay as they are
//
// The variation selectors pass unchanged: they shape the character before
// them (emoji, ideograph variants). UnescapeName gives the original bytes
// back; it also reads \U for any character.

#include <optional>
#include <string>
#include <string_view>

namespace varnel::formats {

std::string EscapeName(std::string_view bytes);
void AppendEscapedName(std::string& out, std::string_view bytes);

// The bytes an escaped name stands for; nothing when text holds a backslash
// that starts none of the escapes above (or \u, \U naming no character).
std::optional<std::string> UnescapeName(std::string_view text);

} // namespace varnel::formats
