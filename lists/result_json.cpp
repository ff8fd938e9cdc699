#include "lists/result_json.h"

#include "lists/result_words.h"

#include "formats/json_text.h"
#include "formats/name_escape.h"
#include "formats/utf8.h"

namespace varnel {

void AppendJsonName(std::string& out, std::string_view key, std::string_view text) {
    out += '"';
    out += key;
    out += "\":";
    if (formats::IsUtf8(text)) {
        formats::AppendJsonString(out, text);
    } else {
        std::string escaped;
        formats::AppendEscapedName(escaped, text);
        formats::AppendJsonString(out, escaped);
        out += ",\"";
        out += key;
        out += "_bytes\":\"";
        formats::AppendBase64(out, text);
        out += '"';
    }
}

void AppendResultJson(std::string& out, std::string_view name, ListStatus status,
                      std::span<const std::string_view> differs,
                      std::optional<std::string_view> to) {
    out += '{';
    AppendJsonName(out, "name", name);
    out += ",\"status\":";
    formats::AppendJsonString(out, ResultWord(status));
    if (to) {
        out += ',';
        AppendJsonName(out, "to", *to);
    }
    if (!differs.empty()) {
        out += ",\"differs\":[";
        for (std::size_t i = 0; i < differs.size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            formats::AppendJsonString(out, differs[i]);
        }
        out += ']';
    }
    out += "}\n";
}

} // namespace varnel
