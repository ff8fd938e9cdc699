#include "lists/list_names.h"

#include "report/report_labels.h"
#include "report/saved_report.h"

#include <array>

namespace varnel {

namespace {

constexpr std::array<ListSuffix, 22> kSuffixes{{
    {".sha512", DigestKind::Sha512},     {".sha512sum", DigestKind::Sha512},
    {".sha3-512", DigestKind::Sha3_512}, {".b2", DigestKind::Blake2b},
    {".b2sum", DigestKind::Blake2b},     {".blake2b", DigestKind::Blake2b},
    {".sha256", DigestKind::Sha256},     {".sha256sum", DigestKind::Sha256},
    {".sha3-256", DigestKind::Sha3_256}, {".b3", DigestKind::Blake3},
    {".b3sum", DigestKind::Blake3},      {".blake3", DigestKind::Blake3},
    {".sha1", DigestKind::Sha1},         {".sha1sum", DigestKind::Sha1},
    {".md5", DigestKind::Md5},           {".md5sum", DigestKind::Md5},
    {".xxh128", DigestKind::Xxh128},     {".xxh3", DigestKind::Xxh3_64},
    {".sfv", DigestKind::Crc32},         {".crc32", DigestKind::Crc32},
    {".sha3_512", DigestKind::Sha3_512}, {".sha3_256", DigestKind::Sha3_256},
}};

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithAnyCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size()) {
        return false;
    }
    const std::string_view tail = text.substr(text.size() - end.size());
    for (std::size_t i = 0; i < end.size(); ++i) {
        if (Lower(tail[i]) != Lower(end[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

std::span<const ListSuffix> ListSuffixes() {
    return kSuffixes;
}

std::optional<DigestKind> KindOfListSuffix(std::string_view name) {
    for (const ListSuffix& known : kSuffixes) {
        // A suffix alone (".md5") is a hidden file's name, not a list of a file.
        if (name.size() > known.suffix.size() && EndsWithAnyCase(name, known.suffix)) {
            return known.kind;
        }
    }
    return std::nullopt;
}

bool IsSumsListName(std::string_view name) {
    if (EndsWithAnyCase(name, ".txt")) {
        name.remove_suffix(4);
    }
    return EndsWithAnyCase(name, "SUMS");
}

bool IsChecksumListName(std::string_view name) {
    return KindOfListSuffix(name).has_value() || IsSumsListName(name);
}

bool StartsAsSavedReport(std::string_view head) {
    if (head.starts_with("\xEF\xBB\xBF")) {
        head.remove_prefix(3);
    }
    const std::size_t end = head.find('\n');
    if (end == std::string_view::npos) {
        return false; // a report's name line is never its last
    }
    std::string_view line = head.substr(0, end);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    ReportLineDecoder decoder;
    const std::optional<std::string_view> decoded = decoder.Decode(line);
    if (!decoded) {
        return false;
    }
    const std::optional<ReportLineValue> value = ReadReportLine(*decoded);
    return value && value->kind == ReportLine::Name && !value->value.empty();
}

int KindStrength(DigestKind kind) {
    switch (kind) {
    case DigestKind::Sha512:
    case DigestKind::Sha3_512:
    case DigestKind::Blake2b:
    case DigestKind::Wide512:
        return 6;
    case DigestKind::Sha256:
    case DigestKind::Sha3_256:
    case DigestKind::Blake3:
        return 5;
    case DigestKind::Sha1:
        return 4;
    case DigestKind::Md5:
        return 3;
    case DigestKind::Xxh128:
        return 2;
    case DigestKind::Xxh3_64:
        return 1;
    case DigestKind::Crc32:
        return 0;
    }
    return 0;
}

} // namespace varnel
