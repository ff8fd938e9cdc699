#pragma once

// The results of --check (and of the other list commands) as JSON Lines: one
// object a line, for scripts that read them with a JSON reader line by line.
//
//   {"name":"a.bin","status":"OK"}
//   {"name":"b.bin","status":"FAILED","differs":["size","MD5"]}
//   {"name":"c.bin","status":"MOVED","to":"d.bin"}
//   {"name":"\\377.bin","name_bytes":"/y5iaW4=","status":"FAILED"}
//
// name is the file's name as UTF-8; a name that is not valid UTF-8 is given
// in the visible escape (formats/name_escape.h), as the reports' JSON records
// give it, and, in name_bytes, its exact bytes in base64. "to" gets the same treatment (to_bytes).
// differs is left out when nothing is named in it; to when there is none.

#include "lists/result_sink.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace varnel {

// Appends "key":"text" for a name's bytes, and "key_bytes":"base64" after it
// when they are not UTF-8 (the JSON string then gives the name in the visible
// escape, as the report's JSON records do, so that a script joins the two by
// name).
void AppendJsonName(std::string& out, std::string_view key, std::string_view text);

// Appends one result object and its line feed to out. The status is written
// in the text results' word for it ("OK", "FAILED", ...: lists/result_words.h);
// differs names what differs ("size", "modified time", "MD5", ...).
void AppendResultJson(std::string& out, std::string_view name, ListStatus status,
                      std::span<const std::string_view> differs,
                      std::optional<std::string_view> to = std::nullopt);

} // namespace varnel
