#include "digest/digest_kinds.h"

namespace varnel {

namespace {

// Every enumerator has its row, and the places in lists are one order.
constexpr bool TableIsWhole() {
    std::array<int, kDigestKindCount> rows{};
    std::array<int, kDigestKindCount> places{};
    for (const DigestKindInfo& row : kDigestKinds) {
        const auto index = static_cast<std::size_t>(row.kind);
        if (index >= kDigestKindCount || row.listPlace >= kDigestKindCount) {
            return false;
        }
        ++rows[index];
        ++places[row.listPlace];
    }
    for (std::size_t i = 0; i < kDigestKindCount; ++i) {
        if (rows[i] != 1 || places[i] != 1) {
            return false;
        }
    }
    return true;
}
static_assert(TableIsWhole(), "one row per DigestKind, each in its own place in lists");

constexpr std::size_t CountTags() {
    std::size_t count = 0;
    for (const DigestKindInfo& row : kDigestKinds) {
        count += !row.bsdTag.empty();
        for (const std::string_view& other : row.otherTags) {
            count += !other.empty();
        }
    }
    return count;
}

constexpr std::array<DigestTag, CountTags()> kTags = [] {
    std::array<DigestTag, CountTags()> tags{};
    std::size_t next = 0;
    for (const DigestKind kind : DigestKindsInListOrder()) {
        const DigestKindInfo& row = DigestKindOf(kind);
        if (!row.bsdTag.empty()) {
            tags[next++] = {row.bsdTag, kind};
        }
        for (const std::string_view& other : row.otherTags) {
            if (!other.empty()) {
                tags[next++] = {other, kind};
            }
        }
    }
    return tags;
}();

} // namespace

std::optional<DigestKind> DigestKindOfTag(std::string_view tag) {
    for (const DigestTag& known : kTags) {
        if (known.text == tag) {
            return known.kind;
        }
    }
    return std::nullopt;
}

std::optional<DigestKind> DigestKindOfLength(std::size_t length) {
    std::optional<DigestKind> found;
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.toldByLength && row.hexLength == length && (!found || row.selected == nullptr)) {
            found = row.kind;
        }
    }
    return found;
}

std::optional<DigestKind> DigestKindOfField(std::string_view field) {
    for (const DigestKindInfo& row : kDigestKinds) {
        if (!row.field.empty() && row.field == field) {
            return row.kind;
        }
    }
    return std::nullopt;
}

std::span<const DigestTag> DigestTags() {
    return kTags;
}

} // namespace varnel
