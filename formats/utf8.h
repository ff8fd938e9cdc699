#pragma once

// Well-formed UTF-8, as the Unicode standard defines it: the shortest form of
// each character, no surrogates (U+D800..U+DFFF), nothing above U+10FFFF.
// The one judge of UTF-8 in the program: the name escape, the reading of
// checksum lists and the Big5 conversion all ask it.

#include <cstddef>
#include <string>
#include <string_view>

namespace varnel::formats {

// Length of the well-formed character at the start of bytes (1 to 4), with
// its code point in codePoint; 0 when none starts there (bytes empty, a byte
// that cannot start one, a cut sequence, an overlong form, a surrogate).
std::size_t Utf8SequenceLength(std::string_view bytes, char32_t& codePoint) noexcept;

// True when the whole of text is well-formed UTF-8.
bool IsUtf8(std::string_view text) noexcept;

// Appends code point c in UTF-8 (a surrogate, as Windows names may hold
// alone, in the three bytes of its number).
void AppendUtf8(std::string& out, char32_t c);

} // namespace varnel::formats
