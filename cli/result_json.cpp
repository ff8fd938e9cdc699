#include "cli/result_json.h"

#include "formats/json_text.h"
#include "formats/utf8.h"

namespace varnel {

namespace {

// "key":"text", and "key_bytes":"base64" after it when text is not UTF-8
// (the JSON string then stands for it with U+FFFD in place of its bad bytes).
void AppendName(std::string& out, std::string_view key, std::string_view text) {
    out += '"';
    out += key;
    out += "\":";
    platform::AppendJsonString(out, text);
    if (!platform::IsUtf8(text)) {
        out += ",\"";
        out += key;
        out += "_bytes\":\"";
        platform::AppendBase64(out, text);
        out += '"';
    }
}

} // namespace

void AppendResultJson(std::string& out, std::string_view name, std::string_view status,
                      std::span<const std::string_view> differs,
                      std::optional<std::string_view> to) {
    out += '{';
    AppendName(out, "name", name);
    out += ",\"status\":";
    platform::AppendJsonString(out, status);
    if (to) {
        out += ',';
        AppendName(out, "to", *to);
    }
    if (!differs.empty()) {
        out += ",\"differs\":[";
        for (std::size_t i = 0; i < differs.size(); ++i) {
            if (i > 0) {
                out += ',';
            }
            platform::AppendJsonString(out, differs[i]);
        }
        out += ']';
    }
    out += "}\n";
}

} // namespace varnel
