#pragma once

// Reports for scripts and spreadsheets: one record per file, in JSON Lines or
// in CSV (RFC 4180), written as each file is ready, so a run of any length
// holds one record at a time.
//
//   {"name":"a.bin","size":3,"modified":"2026-02-01T03:04:05.123456789Z","sha1":"a9993e...","md5":"900150..."}
//   {"name":"x\\376y","name_bytes":"eP55","size":3,...}
//   {"name":"locked.bin","size":10,"modified":"...","error":"Permission denied"}
//
//   name,name_bytes,size,modified,sha1,md5,error<CR LF>
//   "a,b.txt",,3,2026-02-01T03:04:05.123456789Z,a9993e...,900150...,<CR LF>
//
// The fields, in this order (kScriptFields, the one table both writers use):
//
//   name        the name as UTF-8; a name that is not valid UTF-8 in the
//               visible name escape (formats/name_escape.h), with
//   name_bytes  its exact bytes in base64 (only for such a name)
//   size        bytes, a number                          (the size option)
//   modified    UTC, ISO 8601 with nanoseconds           (the time option)
//   version     "1.2.3.4", when the file has one         (the version option)
//   crc32, sha1, md5, sha256, sha512, blake2b, sha3_256, sha3_512, xxh3,
//   xxh128, blake3
//               lower-case hex, those the run's digests select, only for a
//               file read whole
//   error       why the file was not read, in place of its digests
//
// JSON leaves out the fields a record has no value for; CSV gives every
// field the run can write a column of its own (a header row names them) and
// leaves the cell empty. Both are UTF-8; CSV rows end with CR LF.

#include "digest/file_hasher.h"
#include "report/file_facts.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

enum class ScriptFormat { Json, Csv };

// "json" or "csv"; nothing for anything else.
std::optional<ScriptFormat> ScriptFormatNamed(std::string_view name);

// What a run writes of each file: the report's options (size, time, version)
// and the digests asked for (MD5 always; the others as the options say).
struct ScriptSelection {
    ReportOptions options;
    DigestSelection digests;
};

// One file's record: its name's bytes and its facts.
struct ScriptRecord {
    std::string_view name;
    const FileFacts& facts;
};

// A field of the record and how its value is found.
struct ScriptField {
    std::string_view key; // the JSON key and the CSV column name
    bool number;          // written bare in JSON; a quoted string otherwise
    // True when runs with this selection carry the field (a CSV column).
    bool (*inRun)(const ScriptSelection& selection);
    // Appends the record's value (unquoted, unescaped) and returns true, or
    // returns false when the record has none.
    bool (*value)(std::string& out, const ScriptRecord& record);
};

// The fields in the order they are written.
std::span<const ScriptField> ScriptFields();

// Writes records of one run in one format. Keeps its scratch text between
// records, so a run allocates nothing per file.
class ScriptWriter {
public:
    ScriptWriter(ScriptFormat format, const ScriptSelection& selection);

    // What goes before the first record: the CSV header row; nothing for JSON.
    void AppendStart(std::string& out) const;

    // One record: a JSON object and a line feed, or a CSV row and CR LF.
    void AppendRecord(std::string& out, std::string_view name, const FileFacts& facts);

private:
    ScriptFormat m_Format;
    std::vector<const ScriptField*> m_Fields; // those of the run's selection
    std::string m_Value;
};

// The modified time as it is written: "2026-02-01T03:04:05.123456789Z".
std::string IsoUtcTime(std::chrono::sys_seconds time, std::uint32_t nanoseconds);

// A CSV field of RFC 4180: quoted when it holds a comma, a quotation mark, a
// CR or an LF (each quotation mark doubled), as it is otherwise.
void AppendCsvField(std::string& out, std::string_view value);

} // namespace varnel
