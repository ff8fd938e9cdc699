#include "lists/list_update.h"

#include "lists/checksum_list.h"
#include "lists/name_set.h"
#include "lists/program_messages.h"
#include "lists/result_words.h"
#include "lists/unlisted_files.h"

#include "digest/digest_context.h"
#include "formats/name_escape.h"
#include "i18n/language.h"
#include "platform/os/file_replacement.h"
#include "platform/os/locked_file.h"
#include "platform/os/path_text.h"
#include "report/folder_walk.h"
#include "report/report.h"
#include "report/report_labels.h"
#include "report/report_run.h"
#include "report/report_services.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <system_error>

namespace varnel {

namespace {

// How the list's new lines are written: its format and, for each, what its
// first entry carries.
struct LineForm {
    ListFormat format = ListFormat::Md5sum;
    DigestSelection digests;
    ReportOptions options;                         // a report's lines
    LanguageMode language = LanguageMode::English; // a report's language mode
    bool crlf = false;                             // lines end in CR LF
};

// The form of the lines to add, from the list's format and its first entry;
// nothing (and a reason) when the list does not tell it.
std::optional<LineForm> FormOf(ListFormat format, bool named, const ListEntry& first,
                               std::optional<LanguageMode> language, std::string& reason) {
    LineForm form;
    form.format = format;
    const auto has = [&](DigestKind kind) { return first.Expected(kind).has_value(); };
    switch (format) {
    case ListFormat::Report:
        form.options.ShowVersion = first.version.has_value();
        form.options.ShowSize = first.size.has_value();
        form.options.ShowModifiedTime = first.time.has_value();
        form.options.ShowCRC32 = has(DigestKind::Crc32);
        form.options.ShowSHA1 = has(DigestKind::Sha1);
        form.options.ShowMD5 = true;
        for (const ReportDigestLine& later : kReportDigestLines) {
            form.options.ShowDigests.*(DigestKindOf(later.kind).selected) = has(later.kind);
        }
        if (first.converted) {
            form.language = LanguageMode::Traditional;
        } else {
            // The unconverted form, in the language mode asked for or the
            // system's (English and Chinese differ in the date's form only).
            if (language) {
                form.language = *language;
            } else {
                ApplySystemLanguage();
                form.language = CurrentLanguageMode();
            }
            if (form.language == LanguageMode::Traditional) {
                form.language = LanguageMode::Simplified;
            }
        }
        return form;
    case ListFormat::Bsd:
        for (const DigestKindInfo& row : kDigestKinds) {
            if (row.selected != nullptr) {
                form.digests.*(row.selected) = has(row.kind);
            }
        }
        return form;
    case ListFormat::Sfv:
        form.digests.crc32 = true;
        return form;
    default:
        break;
    }
    // The md5sum family: the format of the first entry's digest (the
    // first in list order that one format carries).
    for (const DigestKind kind : DigestKindsInListOrder()) {
        if (const std::optional<ListFormat> sum = SumFormatOf(kind); sum && has(kind)) {
            form.format = *sum;
            form.digests.*(DigestKindOf(kind).selected) = true;
            return form;
        }
    }
    if (has(DigestKind::Wide512)) {
        if (named && (format == ListFormat::Sha512sum || format == ListFormat::B2sum)) {
            form.digests.sha512 = format == ListFormat::Sha512sum;
            form.digests.blake2b = format == ListFormat::B2sum;
            return form;
        }
        reason = "its 128-digit digests may be SHA-512 or BLAKE2b-512: name the list's format "
                 "(--format sha512sum or --format b2sum)";
        return std::nullopt;
    }
    reason = "its first entry carries no digest that can be written";
    return std::nullopt;
}

// The list's own bytes, copied as they are read, and what the new lines
// need to know of them: the line end of the first line, the last byte.
struct CopyState {
    bool sawLineEnd = false;
    bool crlf = false;
    char previous = 0;
    bool empty = true;
};

void NoteBytes(CopyState& state, std::span<const char> bytes) {
    for (const char c : bytes) {
        if (c == '\n' && !state.sawLineEnd) {
            state.sawLineEnd = true;
            state.crlf = state.previous == '\r';
        }
        state.previous = c;
        state.empty = false;
    }
}

// text's line ends made the list's.
std::string WithLineEnds(std::string_view text, bool crlf) {
    std::string out;
    out.reserve(text.size() + (text.size() / 16));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue; // the line feed after it decides
        }
        if (c == '\n' && crlf) {
            out += '\r';
        }
        out += c;
    }
    return out;
}

// What was read of the list: the state it was read from, the bytes read
// (all copied into the new list) and their SHA-1, and the last of them.
struct ReadState {
    platform::FileIdentity seen;
    std::uint64_t bytes = 0;
    std::string digest;
    char last = 0;
};

std::span<const std::uint8_t> AsBytes(std::span<const char> bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

// The last look at the list before the new one takes its place. Lines that
// another process has added to its end meanwhile (an "echo ... >> LIST")
// are carried into the new list after the lines added, so none is lost; any
// other change (bytes read changed or cut, a line still being written,
// another file in its place, a second name) keeps the new list out. Returns
// empty text when the new list may replace it, else what changed.
std::string CarryAddedLines(platform::LockedFile& listFile, platform::FileReplacement& next,
                            ReadState& read) {
    std::vector<char> buffer(std::size_t{1} << 16);
    for (int round = 0;; ++round) {
        const platform::FileIdentity now = next.Target();
        if (!now.SameFile(read.seen)) {
            return "another file was put in its place";
        }
        if (now.links > 1) {
            return "it was given a second name (hard link), which replacing it would part";
        }
        if (now.stamp == read.seen.stamp && now.stamp.size == read.bytes) {
            return {};
        }
        if (round == 8) {
            return "it kept changing";
        }
        if (read.digest.empty()) {
            return "its bytes could not be compared (no SHA-1)";
        }
        // Read again from the start: the bytes read must still be its first
        // bytes; what follows them was added.
        read.seen = listFile.Identity();
        DigestContext prefix(CALG_SHA1);
        DigestContext whole(CALG_SHA1);
        std::uint64_t offset = 0;
        char last = read.last;
        bool judged = false;
        while (const std::size_t n = listFile.ReadAt(offset, buffer)) {
            const std::span<const char> chunk(buffer.data(), n);
            const std::uint64_t end = offset + n;
            if (!judged) {
                const std::size_t before =
                    static_cast<std::size_t>(std::min<std::uint64_t>(end, read.bytes) - offset);
                prefix.Update(AsBytes(chunk.first(before)));
                if (end >= read.bytes) {
                    judged = true;
                    if (prefix.FinalHex() != read.digest) {
                        return "its lines were changed, not only added to";
                    }
                    if (end > read.bytes && read.last != '\n') {
                        return "lines were added after its last line, which has no line end";
                    }
                    next.Write(chunk.subspan(before));
                }
            } else {
                next.Write(chunk);
            }
            whole.Update(AsBytes(chunk));
            last = chunk.back();
            offset = end;
        }
        if (!judged) {
            return "it was cut short";
        }
        if (offset > read.bytes && last != '\n') {
            return "a line was being added to it (it has no line end yet)";
        }
        read.bytes = offset;
        read.digest = whole.FinalHex();
        read.last = last;
    }
}

} // namespace

int RunListUpdate(const std::string& list, const ListUpdateOptions& options, std::FILE* out,
                  std::FILE* err) {
    const std::string shownList = DisplayText(list);
    if (list == "-") {
        Say(err, "--update rewrites a list file, not standard input");
        return 2;
    }
    // The list is opened and locked, then looked at by its name again: a
    // lock taken on a file that another update has just replaced would
    // guard nothing.
    platform::FileReplacement next;
    platform::LockedFile listFile;
    ReadState read;
    for (int attempt = 0;; ++attempt) {
        try {
            next = platform::FileReplacement::Begin(platform::PathFromText(list));
            listFile = platform::LockedFile::Open(platform::PathFromText(list));
            if (listFile.TryLock() == platform::LockedFile::Lock::Busy) {
                Say(err, shownList + ": another update of it is running (it is locked); not "
                                     "updated");
                return 2;
            }
            read.seen = listFile.Identity();
            if (next.Target().SameFile(read.seen)) {
                break;
            }
        } catch (const platform::FileError& error) {
            Say(err, shownList + ": " + error.what());
            return 2;
        }
        if (attempt == 3) {
            Say(err, shownList + ": keeps being replaced by other files; not updated");
            return 2;
        }
    }

    // The list is read once: its bytes go to the new list as they are, and
    // its entries give the names it records and the form of its lines.
    const std::string here = NameKey("/", platform::PathText(std::filesystem::current_path()));
    std::filesystem::path folderPath = platform::PathFromText(list).parent_path();
    const std::string folderShown =
        folderPath.empty() ? std::string(".") : platform::PathText(folderPath);
    const std::string folderKey = NameKey(here, folderShown);
    const std::string listKey = NameKey(here, list);

    CopyState copy;
    DigestContext readDigest(CALG_SHA1);
    NameSet recorded;
    std::optional<ListEntry> first;
    bool anyBelow = false;
    // The format given, or the one the list's name tells (B3SUMS, ...).
    const std::optional<ListFormat> named =
        options.format ? options.format : ListFormatOfListName(list);
    ChecksumListReader reader(
        [&](std::span<char> dest) {
            const std::size_t n = listFile.Read(dest);
            next.Write(dest.first(n));
            NoteBytes(copy, dest.first(n));
            read.bytes += n;
            readDigest.Update(AsBytes(dest.first(n)));
            return n;
        },
        named);
    try {
        while (std::optional<ListEntry> entry = reader.Next()) {
            const std::string key = NameKey(here, entry->name);
            anyBelow = anyBelow || KeyHolds(folderKey, key);
            recorded.Add(key);
            if (!first) {
                first = std::move(entry);
            }
        }
    } catch (const std::system_error& error) {
        Say(err, shownList + ": cannot read: " + error.code().message());
        return 2;
    } catch (const platform::FileError& error) {
        Say(err, shownList + ": " + error.what());
        return 2;
    }
    read.digest = readDigest.FinalHex();
    read.last = copy.previous;
    if (!first || !reader.format()) {
        Say(err, shownList + ": no checksum lines: the form of its lines is unknown");
        return 2;
    }
    if (!anyBelow) {
        Say(err, shownList + ": names no file below its folder " + DisplayText(folderShown) +
                     " (names are taken relative to the working folder: update the list from "
                     "the folder its names are relative to)");
        return 2;
    }
    std::string reason;
    std::optional<LineForm> form =
        FormOf(*reader.format(), named.has_value(), *first, options.language, reason);
    if (!form) {
        Say(err, shownList + ": " + reason);
        return 2;
    }
    form->crlf = copy.sawLineEnd ? copy.crlf : form->format == ListFormat::Report;
    const bool absolute = first->name.starts_with('/');

    // The files below the list's folder that it does not name, named as
    // its own names are.
    std::vector<std::string> added;
    std::vector<FolderWalkProblem> problems;
    bool allRead = true;
    std::string folder = folderShown;
    // "./" is left out of the names added, unless the list's own have it.
    const std::size_t prefix = folderShown == "." && !first->name.starts_with("./") ? 2 : 0;
    WalkUnlistedFiles(
        folder, folderKey,
        [&](std::string_view key) { return key == listKey || recorded.Contains(key); },
        [&](std::string&& path, std::string_view key, platform::EntryKind kind) {
            if (kind != platform::EntryKind::File) {
                Say(err, DisplayText(path) + ": not a regular file, not added");
                return true;
            }
            added.push_back(absolute ? std::string(key) : path.substr(prefix));
            return true;
        },
        problems);
    for (const FolderWalkProblem& problem : problems) {
        allRead = false;
        Say(err, DisplayText(problem.folder) + ": " + DescribeProblem(problem));
    }
    if (added.empty()) {
        Say(err, "update: " + shownList + ": nothing to add");
        return allRead ? 0 : 1;
    }

    ReportRun::Settings settings;
    settings.options = form->options;
    if (form->format == ListFormat::Report) {
        const LanguageMode language = form->language;
        settings.versionQuery = MakeReportServices(language).fileVersion;
        settings.versionOfBytes = MakeReportServices(language).fileVersionOfBytes;
        settings.services = [language] { return MakeReportServices(language); };
    } else {
        settings.digests = form->digests;
    }
    ReportRun run(std::move(settings));
    run.AddFiles(std::move(added));
    run.EndFiles();

    std::size_t count = 0;
    std::string lines;
    std::string names;
    if (!copy.empty && copy.previous != '\n') {
        lines += form->crlf ? "\r\n" : "\n"; // the old last line ended, its bytes kept
    }
    std::vector<RunBlock> ready;
    while (run.WaitReady(ready)) {
        for (RunBlock& block : ready) {
            if (!block.facts.readOk) {
                allRead = false;
                Say(err, DisplayText(block.path) + ": " + block.facts.failure + ", not added");
                continue;
            }
            std::string text;
            if (form->format == ListFormat::Report) {
                text = std::move(block.text);
            } else if (!AppendListLines(text, form->format, block.path, block.facts,
                                        form->digests)) {
                allRead = false;
                Say(err, DisplayText(block.path) + ": " + CannotHoldName(form->format));
                continue;
            }
            lines += WithLineEnds(text, form->crlf);
            names += DisplayText(block.path);
            names += ": ";
            names += ResultWord(ListStatus::Added);
            names += '\n';
            ++count;
        }
        ready.clear();
        try {
            next.Write(lines);
        } catch (const platform::FileError& error) {
            run.Stop();
            Say(err, shownList + ": " + error.what() + "; the list is left as it was");
            return 2;
        }
        lines.clear();
    }
    if (count > 0) {
        // The new list on the disk first, so that the last look at the list
        // comes just before the rename.
        try {
            next.Sync();
        } catch (const platform::FileError& error) {
            Say(err, shownList + ": " + error.what() + "; the list is left as it was");
            return 2;
        }
        if (options.beforeReplace) {
            options.beforeReplace();
        }
        try {
            const std::string changed = CarryAddedLines(listFile, next, read);
            if (!changed.empty()) {
                Say(err, shownList + ": changed while it was updated: " + changed +
                             "; it is left as it is now (run --update again)");
                return 2;
            }
            next.Commit();
        } catch (const platform::FileError& error) {
            Say(err, shownList + ": " + error.what() + "; the list is left as it was");
            return 2;
        }
    }
    std::fwrite(names.data(), 1, names.size(), out);
    std::fflush(out);
    Say(err, "update: " + shownList + ": " + std::to_string(count) +
                 (count == 1 ? " file added" : " files added"));
    return allRead ? 0 : 1;
}

} // namespace varnel
