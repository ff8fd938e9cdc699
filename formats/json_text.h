#pragma once

// Text for JSON (RFC 8259) and the base64 of bytes (RFC 4648): what the
// command-line tool's results and reports for scripts are made of. No Qt.
//
//     std::string line = "{\"name\":";
//     formats::AppendJsonString(line, name);      // "\"a\\\"b\""
//     line += ",\"name_bytes\":\"" + formats::Base64(name) + "\"}\n";

#include <string>
#include <string_view>

namespace varnel::formats {

// Appends utf8Text as one JSON string, its quotes included. The quotation
// mark and the backslash are escaped with a backslash, the control characters
// U+0000 to U+001F and DEL as \u00XX (so a line of JSON Lines stays one line
// and writes nothing to a terminal); every other character is written as it
// is. A byte that is not part of well-formed UTF-8 (formats/utf8.h) becomes
// U+FFFD, so the result is always valid JSON: a caller that must keep such
// bytes gives them in base64 as well.
void AppendJsonString(std::string& out, std::string_view utf8Text);

// The same as a string of its own.
std::string JsonString(std::string_view utf8Text);

// The standard base64 of bytes (alphabet A-Z a-z 0-9 + /, padded with "=").
void AppendBase64(std::string& out, std::string_view bytes);
std::string Base64(std::string_view bytes);

} // namespace varnel::formats
