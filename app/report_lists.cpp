#include "app/report_lists.h"

#include "report/facts_digests.h"
#include "report/report_run.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <filesystem>

namespace varnel {

namespace {

constexpr std::array<ListSaveFormat, 12> kFormats{{
    {ListFormat::Sha256sum, "sha256sum", ".sha256"},
    {ListFormat::Sha512sum, "sha512sum", ".sha512"},
    {ListFormat::Sha1sum, "sha1sum", ".sha1"},
    {ListFormat::Md5sum, "md5sum", ".md5"},
    {ListFormat::B2sum, "b2sum", ".b2"},
    {ListFormat::B3sum, "b3sum", ".b3"},
    {ListFormat::Sha3_256sum, "sha3-256sum", ".sha3-256"},
    {ListFormat::Sha3_512sum, "sha3-512sum", ".sha3-512"},
    {ListFormat::Xxh3sum, "xxh3sum", ".xxh3"},
    {ListFormat::Xxh128sum, "xxh128sum", ".xxh128"},
    {ListFormat::Bsd, "bsd", ".bsd"},
    {ListFormat::Sfv, "sfv", ".sfv"},
}};

// Puts a digest of a list entry into the facts a list line is written from.
void SetDigest(FileFacts& facts, DigestKind kind, const std::string& hex) {
    switch (kind) {
    case DigestKind::Crc32: {
        std::uint32_t value = 0;
        std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
        facts.crc32 = value;
        break;
    }
    case DigestKind::Md5:
        facts.md5 = hex;
        break;
    case DigestKind::Sha1:
        facts.sha1 = hex;
        break;
    case DigestKind::Sha256:
        facts.sha256 = hex;
        break;
    case DigestKind::Sha512:
        facts.sha512 = hex;
        break;
    case DigestKind::Blake2b:
        facts.blake2b = hex;
        break;
    case DigestKind::Wide512:
        break;
    case DigestKind::Sha3_256:
        facts.sha3_256 = hex;
        break;
    case DigestKind::Sha3_512:
        facts.sha3_512 = hex;
        break;
    case DigestKind::Xxh3_64:
        facts.xxh3 = hex;
        break;
    case DigestKind::Xxh128:
        facts.xxh128 = hex;
        break;
    case DigestKind::Blake3:
        facts.blake3 = hex;
        break;
    }
}

// The digests an entry carries (non-empty values of single kinds).
DigestSelection Carried(const ListEntry& entry) {
    DigestSelection carried;
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr && entry.Expected(row.kind) &&
            !entry.Expected(row.kind)->empty()) {
            carried.*(row.selected) = true;
        }
    }
    return carried;
}

bool Covers(const DigestSelection& have, const DigestSelection& need) {
    for (const DigestKindInfo& row : kDigestKinds) {
        if (row.selected != nullptr && need.*(row.selected) && !(have.*(row.selected))) {
            return false;
        }
    }
    return true;
}

// The entry's name as the list gives it: below the list's folder, relative
// to it.
std::string NameInList(const std::string& name, const std::string& folder) {
    if (!folder.empty() && name.size() > folder.size() && name.starts_with(folder) &&
        name[folder.size()] == '/') {
        return name.substr(folder.size() + 1);
    }
    return name;
}

} // namespace

std::vector<ListEntry> ReportEntries(std::string_view reportText) {
    std::size_t offset = 0;
    ChecksumListReader reader(
        [&](std::span<char> dest) {
            const std::size_t n = std::min(dest.size(), reportText.size() - offset);
            std::memcpy(dest.data(), reportText.data() + offset, n);
            offset += n;
            return n;
        },
        ListFormat::Report);
    std::vector<ListEntry> entries;
    while (std::optional<ListEntry> entry = reader.Next()) {
        if (!entry->damaged) {
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

std::optional<bool> LastTwoBlocksSame(std::string_view reportText) {
    const std::vector<ListEntry> entries = ReportEntries(reportText);
    if (entries.size() < 2) {
        return std::nullopt;
    }
    const ListEntry& a = entries[entries.size() - 2];
    const ListEntry& b = entries.back();
    bool compared = false;
    for (const DigestKindInfo& row : kDigestKinds) {
        const std::optional<std::string>& x = a.Expected(row.kind);
        const std::optional<std::string>& y = b.Expected(row.kind);
        if (!x || !y) {
            continue;
        }
        if (x->empty() || y->empty()) {
            return std::nullopt; // a file was not read
        }
        if (*x != *y) {
            return false;
        }
        compared = true;
    }
    if (!compared) {
        return std::nullopt;
    }
    return a.size == b.size;
}

std::span<const ListSaveFormat> ListSaveFormats() {
    return kFormats;
}

QString ChecksumListFilter() {
    QString filter;
    for (const ListSaveFormat& format : kFormats) {
        if (!filter.isEmpty()) {
            filter += QLatin1Char('|');
        }
        const QString pattern = QLatin1Char('*') + QString::fromLatin1(format.extension);
        const QString name = QString::fromLatin1(format.name);
        filter += name + QStringLiteral(" (") + pattern + QStringLiteral(")|") + pattern;
    }
    return filter;
}

std::string BuildChecksumList(const std::vector<ListEntry>& entries, ListFormat format,
                              const std::string& listPath, std::vector<std::string>& problems) {
    // bsd lines: the digests every file of the report carries; the others:
    // their format's one.
    DigestSelection need;
    if (format == ListFormat::Bsd) {
        need = entries.empty() ? DigestSelection{} : Carried(entries.front());
        for (const ListEntry& entry : entries) {
            const DigestSelection carried = Carried(entry);
            for (const DigestKindInfo& row : kDigestKinds) {
                if (row.selected != nullptr) {
                    need.*(row.selected) = need.*(row.selected) && carried.*(row.selected);
                }
            }
        }
        need.md5 = true;
    } else {
        need = ListDigests(format, ReportOptions{});
    }
    std::vector<FileFacts> facts(entries.size());
    std::vector<std::string> toRead;
    std::vector<std::size_t> readIndex;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (Covers(Carried(entries[i]), need)) {
            for (const DigestKindInfo& row : kDigestKinds) {
                if (entries[i].Expected(row.kind)) {
                    SetDigest(facts[i], row.kind, *entries[i].Expected(row.kind));
                }
            }
        } else {
            toRead.push_back(entries[i].name);
            readIndex.push_back(i);
        }
    }
    if (!toRead.empty()) {
        // The report does not carry the format's digest: the report engine
        // reads those files again for it.
        ReportRun::Settings settings;
        settings.digests = need;
        std::vector<RunItem> items;
        for (std::string& path : toRead) {
            items.push_back(RunItem::File(std::move(path)));
        }
        ReportRun run(std::move(items), std::move(settings));
        std::vector<RunBlock> ready;
        std::size_t next = 0;
        while (run.WaitReady(ready)) {
            for (RunBlock& block : ready) {
                if (next < readIndex.size()) {
                    facts[readIndex[next++]] = std::move(block.facts);
                }
            }
            ready.clear();
        }
    }
    const std::string folder = std::filesystem::path(listPath).parent_path().string();
    std::string out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (!facts[i].readOk) {
            problems.push_back(entries[i].shown + ": " + facts[i].failure);
            continue;
        }
        if (!AppendListLines(out, format, NameInList(entries[i].name, folder), facts[i], need)) {
            problems.push_back(entries[i].shown + ": " + CannotHoldName(format));
        }
    }
    return out;
}

} // namespace varnel
