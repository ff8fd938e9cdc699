#include "report/script_formats.h"

#include "formats/hex.h"
#include "formats/json_text.h"
#include "formats/name_escape.h"
#include "formats/utf8.h"
#include "report/facts_digests.h"

#include <array>
#include <charconv>
#include <utility>

namespace varnel {

namespace {

void AppendDecimal(std::string& out, std::uint64_t value, int minDigits = 1) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    for (auto digits = static_cast<int>(result.ptr - text); digits < minDigits; ++digits) {
        out += '0';
    }
    out.append(text, result.ptr);
}

bool HexValue(std::string& out, const FileFacts& facts, std::string_view hex) {
    if (!facts.readOk || hex.empty()) {
        return false;
    }
    out += formats::HexToLower(hex);
    return true;
}

// The fields before the digests.
constexpr std::array<ScriptField, 5> kLeadFields{{
    {"name", false, [](const ScriptSelection&) { return true; },
     [](std::string& out, const ScriptRecord& r) {
         if (formats::IsUtf8(r.name)) {
             out += r.name;
         } else {
             formats::AppendEscapedName(out, r.name);
         }
         return true;
     }},
    {"name_bytes", false, [](const ScriptSelection&) { return true; },
     [](std::string& out, const ScriptRecord& r) {
         if (formats::IsUtf8(r.name)) {
             return false;
         }
         formats::AppendBase64(out, r.name);
         return true;
     }},
    {"size", true, [](const ScriptSelection& s) { return s.options.ShowSize; },
     [](std::string& out, const ScriptRecord& r) {
         if (!r.facts.size) {
             return false;
         }
         AppendDecimal(out, *r.facts.size);
         return true;
     }},
    {"modified", false, [](const ScriptSelection& s) { return s.options.ShowModifiedTime; },
     [](std::string& out, const ScriptRecord& r) {
         if (!r.facts.modified) {
             return false;
         }
         out += IsoUtcTime(*r.facts.modified, r.facts.modifiedNanoseconds);
         return true;
     }},
    {"version", false, [](const ScriptSelection& s) { return s.options.ShowVersion; },
     [](std::string& out, const ScriptRecord& r) {
         out += r.facts.version;
         return !r.facts.version.empty();
     }},
}};

// The field of the digest kind in row I of the table of digest kinds.
template <std::size_t I> constexpr ScriptField DigestField() {
    return {kDigestKinds[I].field, false,
            [](const ScriptSelection& s) {
                return kDigestKinds[I].selected != nullptr && s.digests.*(kDigestKinds[I].selected);
            },
            [](std::string& out, const ScriptRecord& r) {
                return HexValue(out, r.facts, FactsDigest(r.facts, kDigestKinds[I].kind));
            }};
}

constexpr std::size_t CountDigestFields() {
    std::size_t count = 0;
    for (const DigestKindInfo& row : kDigestKinds) {
        count += !row.field.empty();
    }
    return count;
}

// The lead fields, a field for each digest kind that has one (in the
// table's order: crc32, sha1, md5, sha256, sha512, blake2b, sha3_256,
// sha3_512, xxh3, xxh128, blake3), then error.
template <std::size_t... I> constexpr auto MakeScriptFields(std::index_sequence<I...>) {
    constexpr std::array<ScriptField, sizeof...(I)> digests{DigestField<I>()...};
    std::array<ScriptField, kLeadFields.size() + CountDigestFields() + 1> fields{};
    std::size_t next = 0;
    for (const ScriptField& field : kLeadFields) {
        fields[next++] = field;
    }
    for (const ScriptField& field : digests) {
        if (!field.key.empty()) {
            fields[next++] = field;
        }
    }
    fields[next] = {"error", false, [](const ScriptSelection&) { return true; },
                    [](std::string& out, const ScriptRecord& r) {
                        if (r.facts.readOk) {
                            return false;
                        }
                        out += r.facts.failure;
                        return true;
                    }};
    return fields;
}

constexpr auto kScriptFields = MakeScriptFields(std::make_index_sequence<kDigestKinds.size()>());

} // namespace

std::optional<ScriptFormat> ScriptFormatNamed(std::string_view name) {
    if (name == "json") {
        return ScriptFormat::Json;
    }
    if (name == "csv") {
        return ScriptFormat::Csv;
    }
    return std::nullopt;
}

std::span<const ScriptField> ScriptFields() {
    return kScriptFields;
}

std::string IsoUtcTime(std::chrono::sys_seconds time, std::uint32_t nanoseconds) {
    const std::chrono::sys_days day = std::chrono::floor<std::chrono::days>(time);
    const std::chrono::year_month_day date{day};
    const std::chrono::hh_mm_ss<std::chrono::seconds> clock{time - day};
    std::string text;
    const int year = static_cast<int>(date.year());
    // Years beyond four digits carry their sign, as ISO 8601 writes them.
    if (year < 0) {
        text += '-';
    } else if (year > 9999) {
        text += '+';
    }
    AppendDecimal(text, static_cast<std::uint64_t>(year < 0 ? -year : year), 4);
    text += '-';
    AppendDecimal(text, static_cast<unsigned>(date.month()), 2);
    text += '-';
    AppendDecimal(text, static_cast<unsigned>(date.day()), 2);
    text += 'T';
    AppendDecimal(text, static_cast<std::uint64_t>(clock.hours().count()), 2);
    text += ':';
    AppendDecimal(text, static_cast<std::uint64_t>(clock.minutes().count()), 2);
    text += ':';
    AppendDecimal(text, static_cast<std::uint64_t>(clock.seconds().count()), 2);
    text += '.';
    AppendDecimal(text, nanoseconds, 9);
    text += 'Z';
    return text;
}

void AppendCsvField(std::string& out, std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

ScriptWriter::ScriptWriter(ScriptFormat format, const ScriptSelection& selection)
    : m_Format(format) {
    for (const ScriptField& field : kScriptFields) {
        if (field.inRun(selection)) {
            m_Fields.push_back(&field);
        }
    }
}

void ScriptWriter::AppendStart(std::string& out) const {
    if (m_Format != ScriptFormat::Csv) {
        return;
    }
    for (std::size_t i = 0; i < m_Fields.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        out += m_Fields[i]->key;
    }
    out += "\r\n";
}

void ScriptWriter::AppendRecord(std::string& out, std::string_view name, const FileFacts& facts) {
    const ScriptRecord record{name, facts};
    if (m_Format == ScriptFormat::Csv) {
        for (std::size_t i = 0; i < m_Fields.size(); ++i) {
            if (i != 0) {
                out += ',';
            }
            m_Value.clear();
            if (m_Fields[i]->value(m_Value, record)) {
                AppendCsvField(out, m_Value);
            }
        }
        out += "\r\n";
        return;
    }
    char separator = '{';
    for (const ScriptField* field : m_Fields) {
        m_Value.clear();
        if (!field->value(m_Value, record)) {
            continue;
        }
        out += separator;
        separator = ',';
        out += '"';
        out += field->key;
        out += "\":";
        if (field->number) {
            out += m_Value;
        } else {
            formats::AppendJsonString(out, m_Value);
        }
    }
    out += "}\n";
}

} // namespace varnel
