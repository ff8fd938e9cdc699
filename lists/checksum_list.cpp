#include "lists/checksum_list.h"

#include "formats/name_escape.h"
#include "report/report_labels.h"

#include <algorithm>
#include <cstring>

namespace varnel {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Bytes asked of the source at a time: at first, and at most.
constexpr std::size_t kFirstPiece = 4u << 10;
constexpr std::size_t kChunk = 256u << 10;

bool IsToolComment(std::string_view line, ListFormat format) {
    return format == ListFormat::Sfv ? line.starts_with(';') : line.starts_with('#');
}

} // namespace

struct ChecksumListReader::Line {
    std::string_view text;
    std::size_t number = 0;
    bool overlong = false; // longer than kMaxLineBytes: text is empty
};

std::string ShownListName(std::string_view name) {
    std::string shown = formats::EscapeName(name);
    return shown == name ? shown : "\\" + shown;
}

ChecksumListReader::ChecksumListReader(Source source, std::optional<ListFormat> format)
    : m_Source(std::move(source)), m_Format(format), m_Named(format.has_value()) {
    if (m_Format && *m_Format != ListFormat::Report) {
        m_Tools.emplace(*m_Format, false);
    }
}

ChecksumListReader::~ChecksumListReader() = default;

bool ChecksumListReader::ReadLine(Line& line) {
    line = Line{};
    if (!m_Held.empty()) {
        // A line read ahead: moved to the buffer's front so that it lives
        // as long as a line read from the buffer does.
        m_Buffer.erase(0, m_Start);
        m_Start = 0;
        if (m_Held.front()) {
            m_Buffer.insert(0, *m_Held.front());
            m_Start = m_Held.front()->size();
            line.text = std::string_view(m_Buffer).substr(0, m_Start);
        } else {
            line.overlong = true;
        }
        m_Held.pop_front();
        line.number = ++m_Number;
        return true;
    }
    bool overlong = false;
    // The bytes of the line searched for its end so far: a long line that
    // comes in many pieces is searched once, not again with each piece.
    std::size_t searched = 0;
    for (;;) {
        const std::size_t end = m_Buffer.find('\n', m_Start + searched);
        searched = m_Buffer.size() - m_Start;
        if (end != std::string::npos) {
            // Too long whether or not the piece that held its end made it so.
            if (overlong || end - m_Start > kMaxLineBytes) {
                m_Start = end + 1;
                line.overlong = true;
            } else {
                line.text = std::string_view(m_Buffer).substr(m_Start, end - m_Start);
                m_Start = end + 1;
            }
            break;
        }
        if (m_Buffer.size() - m_Start > kMaxLineBytes) {
            // Too long for any name: the rest of the line is skipped, not held.
            overlong = true;
            m_Start = m_Buffer.size();
            searched = 0;
        }
        if (m_SourceEnded) {
            if (m_Start >= m_Buffer.size() && !overlong) {
                return false;
            }
            line.overlong = overlong;
            if (!overlong) {
                line.text = std::string_view(m_Buffer).substr(m_Start);
            }
            m_Start = m_Buffer.size();
            break;
        }
        m_Buffer.erase(0, m_Start);
        m_Start = 0;
        // Read into a piece of its own, then appended: a source that gives
        // a few bytes at a time (a pipe fed slowly) costs those bytes, not
        // the clearing of a whole chunk of the buffer for each read. The
        // piece starts small (most lists are) and doubles, up to kChunk,
        // while the source fills it.
        if (m_Piece.empty()) {
            m_Piece.resize(kFirstPiece);
        }
        const std::size_t got = m_Source(std::span<char>(m_Piece.data(), m_Piece.size()));
        m_Buffer.append(m_Piece.data(), std::min(got, m_Piece.size()));
        m_SourceEnded = got == 0;
        if (got >= m_Piece.size() && m_Piece.size() < kChunk) {
            m_Piece.resize(m_Piece.size() * 2);
        }
    }
    line.number = ++m_Number;
    if (line.text.ends_with('\r')) {
        line.text.remove_suffix(1);
    }
    if (line.number == 1 && line.text.starts_with(kByteOrderMark)) {
        line.text.remove_prefix(kByteOrderMark.size());
    }
    return true;
}

std::optional<ListEntry> ChecksumListReader::Next() {
    while (m_Ready.empty() && !m_Ended) {
        Line line;
        if (!ReadLine(line)) {
            Flush();
            if (m_Format == ListFormat::Report) {
                if (std::optional<SavedBlock> block = m_Blocks.Finish()) {
                    AddBlock(std::move(*block));
                }
            }
            m_Ended = true;
            break;
        }
        Take(line);
    }
    if (m_Ready.empty()) {
        return std::nullopt;
    }
    ListEntry entry = std::move(m_Ready.front());
    m_Ready.pop_front();
    return entry;
}

std::size_t ChecksumListReader::Skip(std::size_t most) {
    std::size_t passed = 0;
    const auto oneLine = [this] {
        return m_Format && *m_Format != ListFormat::Report && *m_Format != ListFormat::Bsd;
    };
    // Until the format is told (and while lines read ahead to tell it are
    // held), and for formats whose entries may span lines, entries are read.
    while (passed < most && (!oneLine() || !m_Held.empty() || !m_Ready.empty() || m_Bsd)) {
        if (!Next()) {
            return passed;
        }
        ++passed;
    }
    Line line;
    while (passed < most && !m_Ended) {
        if (!ReadLine(line)) {
            m_Ended = true;
            break;
        }
        if (!line.overlong && !line.text.empty() && !IsToolComment(line.text, *m_Format)) {
            ++passed;
        }
    }
    return passed;
}

void ChecksumListReader::Take(const Line& line) {
    if (line.overlong) {
        if (m_Format == ListFormat::Report) {
            const ReportBlockReader::Step step = m_Blocks.Feed(std::nullopt, line.number);
            if (step.badLine != 0) {
                NoteBad(step.badLine);
            }
        } else {
            Flush();
            NoteBad(line.number);
        }
        return;
    }
    if (!m_Format) {
        TellFrom(line);
    } else if (*m_Format == ListFormat::Report) {
        TakeReportLine(line.text, line.number);
    } else {
        TakeToolLine(line.text, line.number);
    }
}

void ChecksumListReader::TellFrom(const Line& line) {
    const std::string_view text = line.text;
    if (text.empty()) {
        return;
    }
    const auto isNameLine = [this](std::string_view raw) {
        const std::optional<std::string_view> decoded = m_Decoder.Decode(raw);
        const std::optional<ReportLineValue> value =
            decoded ? ReadReportLine(*decoded) : std::nullopt;
        return value && value->kind == ReportLine::Name;
    };
    if (isNameLine(text)) {
        if (!ReadSfvLine(text)) {
            m_Format = ListFormat::Report;
            TakeReportLine(text, line.number);
            return;
        }
        // A name line that is an SFV line too: the next line decides. A
        // report block goes on with a labelled line, which never ends in
        // a blank and eight hex digits as every SFV line does.
        const std::string first(text);
        const std::size_t number = line.number;
        Line next;
        bool report = false;
        const bool haveNext = ReadLine(next);
        if (haveNext && !next.overlong) {
            const std::optional<std::string_view> decoded = m_Decoder.Decode(next.text);
            const std::optional<ReportLineValue> value =
                decoded ? ReadReportLine(*decoded) : std::nullopt;
            report = value && value->kind != ReportLine::Name && !ReadSfvLine(next.text);
        }
        if (haveNext) {
            m_Held.push_back(next.overlong ? std::nullopt : std::optional<std::string>(next.text));
            --m_Number; // read again from m_Held
        }
        if (report) {
            m_Format = ListFormat::Report;
            TakeReportLine(first, number);
        } else {
            m_Format = ListFormat::Sfv;
            m_Tools.emplace(ListFormat::Sfv, true);
            TakeToolLine(first, number);
        }
        return;
    }
    if (const std::optional<ListFormat> told = ToolLineReader::Tell(text)) {
        m_Format = *told;
        m_Tools.emplace(*told, true);
        TakeToolLine(text, line.number);
        return;
    }
    if (!text.starts_with('#')) {
        NoteBad(line.number);
    }
}

void ChecksumListReader::TakeToolLine(std::string_view text, std::size_t number) {
    if (text.empty() || IsToolComment(text, *m_Format)) {
        Flush();
        return;
    }
    std::optional<ToolLine> read;
    // A NUL cannot stand in a file's name: such a line names no file.
    if (text.find('\0') == std::string_view::npos) {
        read = m_Tools->Read(text);
    }
    if (!read) {
        Flush();
        NoteBad(number);
        return;
    }
    const auto slot = static_cast<std::size_t>(read->kind);
    // Consecutive bsd lines of one file make one entry: the file is read
    // once for all of them.
    if (read->bsd && m_Bsd && m_Bsd->name == read->name && !m_Bsd->expected[slot]) {
        m_Bsd->expected[slot] = std::move(read->hex);
        return;
    }
    Flush();
    ListEntry entry;
    entry.shown =
        *m_Format == ListFormat::Sfv ? formats::EscapeName(read->name) : ShownListName(read->name);
    entry.name = std::move(read->name);
    entry.line = number;
    entry.expected[slot] = std::move(read->hex);
    if (read->bsd) {
        m_Bsd = std::move(entry);
    } else {
        m_Ready.push_back(std::move(entry));
    }
}

void ChecksumListReader::TakeReportLine(std::string_view text, std::size_t number) {
    ReportBlockReader::Step step = m_Blocks.Feed(m_Decoder.Decode(text), number);
    if (step.block) {
        AddBlock(std::move(*step.block));
    }
    if (step.badLine != 0) {
        NoteBad(step.badLine);
    }
}

void ChecksumListReader::AddBlock(SavedBlock&& block) {
    ListEntry entry;
    entry.shown = formats::EscapeName(block.name);
    entry.name = std::move(block.name);
    entry.line = block.line;
    entry.damaged = block.damaged;
    entry.report = true;
    entry.converted = block.converted;
    entry.version = std::move(block.version);
    entry.size = std::move(block.size);
    entry.time = std::move(block.time);
    entry.Expected(DigestKind::Crc32) = std::move(block.crc32);
    entry.Expected(DigestKind::Sha1) = std::move(block.sha1);
    entry.Expected(DigestKind::Md5) = std::move(block.md5);
    // The lines after MD5 (SHA-3, XXH3, XXH128, BLAKE3), each checked as
    // the others are.
    for (const ReportDigestLine& later : kReportDigestLines) {
        entry.Expected(later.kind) =
            std::move(block.laterDigests[static_cast<std::size_t>(later.kind)]);
    }
    m_Ready.push_back(std::move(entry));
}

void ChecksumListReader::NoteBad(std::size_t number) {
    ++m_BadLines;
    if (m_FirstBadLine == 0) {
        m_FirstBadLine = number;
    }
}

void ChecksumListReader::Flush() {
    if (m_Bsd) {
        m_Ready.push_back(std::move(*m_Bsd));
        m_Bsd.reset();
    }
}

ParsedList ParseChecksumList(std::string_view text, std::optional<ListFormat> format) {
    ChecksumListReader reader(
        [&text](std::span<char> dest) {
            const std::size_t n = std::min(dest.size(), text.size());
            std::memcpy(dest.data(), text.data(), n);
            text.remove_prefix(n);
            return n;
        },
        format);
    ParsedList list;
    while (std::optional<ListEntry> entry = reader.Next()) {
        list.entries.push_back(std::move(*entry));
    }
    list.format = reader.format().value_or(ListFormat::Md5sum);
    list.badLines = reader.badLines();
    list.firstBadLine = reader.firstBadLine();
    return list;
}

} // namespace varnel
