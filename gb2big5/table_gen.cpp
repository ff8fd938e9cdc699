// Build-time generator of the conversion library's tables.
//
// Reads OpenCC's Simplified/Traditional dictionaries (dumped to text by
// opencc_dict) and glibc's iconv charsets GB2312 and BIG5, and writes a C++
// include file with:
//   - the character table GB2312 -> Big5 (Traditional form, Taiwan variants),
//   - the character table Big5 -> GB2312 (Simplified form),
//   - the phrase tables for both directions, for words whose form depends on
//     the word (复制 -> 複製, 干净 -> 乾淨).
//
// Usage: gb2big5_table_gen <dictionary text folder> <output .inc>
//
// Every GB2312 character gets a two-byte Big5 code, so the library never
// changes a string's length: the Traditional form when Big5 has it, else the
// character itself when Big5 has that, else the stand-in U+25A1 WHITE SQUARE.
// The same holds the other way round.

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iconv.h>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Dictionary = std::map<std::string, std::vector<std::string>>;

constexpr std::uint16_t kBig5StandIn = 0xA1BC; // U+25A1 in Big5
constexpr std::uint16_t kGbStandIn = 0xA1F5;   // U+25A1 in GB2312

constexpr int kGbRows = 94; // lead and trail bytes 0xA1..0xFE
constexpr int kBig5Leads = 0xF9 - 0xA1 + 1;
constexpr int kBig5Trails = (0x7E - 0x40 + 1) + (0xFE - 0xA1 + 1);

class Converter {
public:
    Converter(const char* to, const char* from) : m_Cd(iconv_open(to, from)) {
        if (m_Cd == reinterpret_cast<iconv_t>(-1)) {
            std::cerr << "gb2big5_table_gen: iconv cannot convert " << from << " to " << to << "\n";
            std::exit(1);
        }
    }
    ~Converter() { iconv_close(m_Cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // The whole input converted, or nothing when any part of it cannot be.
    std::optional<std::string> operator()(const std::string& in) const {
        iconv(m_Cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 8, '\0');
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        if (iconv(m_Cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
            inLeft != 0) {
            return std::nullopt;
        }
        if (iconv(m_Cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t m_Cd;
};

// Splits UTF-8 text into its characters.
std::vector<std::string> Utf8Chars(const std::string& text) {
    std::vector<std::string> chars;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t len = 1;
        if (lead >= 0xF0) {
            len = 4;
        } else if (lead >= 0xE0) {
            len = 3;
        } else if (lead >= 0xC0) {
            len = 2;
        }
        chars.push_back(text.substr(i, len));
        i += len;
    }
    return chars;
}

// opencc_dict's text form: "key<TAB>value1 value2 ...", one entry per line.
Dictionary ReadDictionary(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        std::cerr << "gb2big5_table_gen: cannot read " << path << "\n";
        std::exit(1);
    }
    Dictionary dict;
    std::string line;
    while (std::getline(in, line)) {
        const auto tab = line.find('\t');
        if (tab == std::string::npos || tab == 0) {
            continue;
        }
        std::vector<std::string> values;
        std::istringstream rest(line.substr(tab + 1));
        std::string value;
        while (rest >> value) {
            values.push_back(value);
        }
        if (!values.empty()) {
            dict.emplace(line.substr(0, tab), std::move(values));
        }
    }
    return dict;
}

const std::vector<std::string>* Find(const Dictionary& dict, const std::string& key) {
    const auto it = dict.find(key);
    return it == dict.end() ? nullptr : &it->second;
}

// The two-byte code of one character in a double-byte charset, if it has one.
std::optional<std::uint16_t> DoubleByteCode(const Converter& encode, const std::string& ch) {
    const auto bytes = encode(ch);
    if (!bytes || bytes->size() != 2 || static_cast<unsigned char>((*bytes)[0]) < 0x81) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(static_cast<unsigned char>((*bytes)[0]) << 8 |
                                      static_cast<unsigned char>((*bytes)[1]));
}

struct Tables {
    std::vector<std::uint16_t> gbToBig5 = std::vector<std::uint16_t>(kGbRows * kGbRows, 0);
    std::vector<std::uint16_t> big5ToGb = std::vector<std::uint16_t>(kBig5Leads * kBig5Trails, 0);
    std::map<std::string, std::string> stPhrases; // GB2312 bytes -> Big5 bytes
    std::map<std::string, std::string> tsPhrases; // Big5 bytes -> GB2312 bytes
};

class Generator {
public:
    explicit Generator(const std::string& folder)
        : m_StChars(ReadDictionary(folder + "/STCharacters.txt")),
          m_StPhrases(ReadDictionary(folder + "/STPhrases.txt")),
          m_TwVariants(ReadDictionary(folder + "/TWVariants.txt")),
          m_TsChars(ReadDictionary(folder + "/TSCharacters.txt")),
          m_TsPhrases(ReadDictionary(folder + "/TSPhrases.txt")),
          m_TwVariantsRev(ReadDictionary(folder + "/TWVariantsRev.txt")) {}

    Tables Run() {
        Tables t;
        for (int lead = 0xA1; lead <= 0xFE; ++lead) {
            for (int trail = 0xA1; trail <= 0xFE; ++trail) {
                const std::string gb{static_cast<char>(lead), static_cast<char>(trail)};
                const auto ch = m_GbToUtf8(gb);
                if (!ch) {
                    continue; // not a GB2312 character: the library leaves it alone
                }
                t.gbToBig5[static_cast<std::size_t>((lead - 0xA1) * kGbRows + trail - 0xA1)] =
                    TraditionalBig5(*ch);
            }
        }
        for (int lead = 0xA1; lead <= 0xF9; ++lead) {
            for (int trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail > 0x7E && trail < 0xA1) {
                    continue;
                }
                const std::string big5{static_cast<char>(lead), static_cast<char>(trail)};
                const auto ch = m_Big5ToUtf8(big5);
                if (!ch) {
                    continue;
                }
                const int column = trail <= 0x7E ? trail - 0x40 : trail - 0xA1 + (0x7E - 0x40 + 1);
                const int index = (lead - 0xA1) * kBig5Trails + column;
                t.big5ToGb[static_cast<std::size_t>(index)] = SimplifiedGb(*ch);
            }
        }
        // Phrases whose every character is encodable on both sides and whose
        // converted form has as many characters as the phrase. Phrases that
        // give the same result as character-by-character conversion are kept
        // too: they take part in the longest-match segmentation, as in OpenCC.
        for (const auto& [key, values] : m_StPhrases) {
            const auto keyChars = Utf8Chars(key);
            const auto valueChars = Utf8Chars(values.front());
            if (keyChars.size() < 2 || keyChars.size() != valueChars.size()) {
                continue;
            }
            const auto gb = EncodeAll(m_Utf8ToGb, keyChars, nullptr);
            const auto big5 = EncodeAll(m_Utf8ToBig5, valueChars, &m_TwVariants);
            if (gb && big5) {
                t.stPhrases.emplace(*gb, *big5);
            }
        }
        for (const auto& [key, values] : m_TsPhrases) {
            const auto keyChars = Utf8Chars(key);
            const auto valueChars = Utf8Chars(values.front());
            if (keyChars.size() < 2 || keyChars.size() != valueChars.size()) {
                continue;
            }
            const auto big5 = EncodeAll(m_Utf8ToBig5, keyChars, &m_TwVariants);
            const auto gb = EncodeAll(m_Utf8ToGb, valueChars, nullptr);
            if (gb && big5) {
                t.tsPhrases.emplace(*big5, *gb);
            }
        }
        return t;
    }

private:
    // A character in its Taiwan form, as Big5 knows it (爲 -> 為, 着 -> 著).
    std::string TaiwanForm(const std::string& ch) const {
        const auto* v = Find(m_TwVariants, ch);
        return v ? v->front() : ch;
    }

    std::uint16_t TraditionalBig5(const std::string& ch) const {
        std::vector<std::string> candidates;
        if (const auto* v = Find(m_StChars, ch)) {
            for (const auto& c : *v) {
                candidates.push_back(TaiwanForm(c));
                candidates.push_back(c);
            }
        }
        candidates.push_back(TaiwanForm(ch));
        candidates.push_back(ch);
        for (const auto& c : candidates) {
            if (const auto code = DoubleByteCode(m_Utf8ToBig5, c)) {
                return *code;
            }
        }
        return kBig5StandIn;
    }

    std::uint16_t SimplifiedGb(const std::string& ch) const {
        std::vector<std::string> candidates;
        if (const auto* v = Find(m_TsChars, ch)) {
            candidates.insert(candidates.end(), v->begin(), v->end());
        }
        candidates.push_back(ch);
        if (const auto* rev = Find(m_TwVariantsRev, ch)) {
            for (const auto& r : *rev) {
                if (const auto* v = Find(m_TsChars, r)) {
                    candidates.insert(candidates.end(), v->begin(), v->end());
                }
                candidates.push_back(r);
            }
        }
        for (const auto& c : candidates) {
            if (const auto code = DoubleByteCode(m_Utf8ToGb, c)) {
                return *code;
            }
        }
        return kGbStandIn;
    }

    // All characters as two-byte codes (each through `variants` first), or
    // nothing when one of them has no code.
    std::optional<std::string> EncodeAll(const Converter& encode,
                                         const std::vector<std::string>& chars,
                                         const Dictionary* variants) const {
        std::string out;
        for (const auto& ch : chars) {
            const auto* v = variants ? Find(*variants, ch) : nullptr;
            auto code = DoubleByteCode(encode, v ? v->front() : ch);
            if (!code && v) {
                code = DoubleByteCode(encode, ch);
            }
            if (!code) {
                return std::nullopt;
            }
            out.push_back(static_cast<char>(*code >> 8));
            out.push_back(static_cast<char>(*code & 0xFF));
        }
        return out;
    }

    Dictionary m_StChars, m_StPhrases, m_TwVariants, m_TsChars, m_TsPhrases, m_TwVariantsRev;
    Converter m_GbToUtf8{"UTF-8", "GB2312"};
    Converter m_Big5ToUtf8{"UTF-8", "BIG5"};
    Converter m_Utf8ToGb{"GB2312", "UTF-8"};
    Converter m_Utf8ToBig5{"BIG5", "UTF-8"};
};

void WriteCodes(std::ostream& out, const char* name, const std::vector<std::uint16_t>& codes) {
    out << "constexpr std::uint16_t " << name << "[" << codes.size() << "] = {";
    for (std::size_t i = 0; i < codes.size(); ++i) {
        out << (i % 12 == 0 ? "\n    " : " ");
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%04X,", codes[i]);
        out << buf;
    }
    out << "\n};\n\n";
}

void WriteBytes(std::ostream& out, const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 32 == 0) {
            out << (i == 0 ? "    \"" : "\"\n    \"");
        }
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned char>(bytes[i]));
        out << buf;
    }
    out << (bytes.empty() ? "    \"\"" : "\"");
}

// A phrase table: keys and values concatenated (a value is as long as its
// key), sorted by key bytes, with the start offset of each entry (and the
// end of the last).
void WritePhrases(std::ostream& out, const char* prefix,
                  const std::map<std::string, std::string>& phrases) {
    std::string keys, values;
    std::vector<std::uint32_t> offsets;
    std::size_t maxBytes = 0;
    for (const auto& [key, value] : phrases) {
        offsets.push_back(static_cast<std::uint32_t>(keys.size()));
        keys += key;
        values += value;
        maxBytes = std::max(maxBytes, key.size());
    }
    offsets.push_back(static_cast<std::uint32_t>(keys.size()));

    out << "constexpr std::size_t " << prefix << "Count = " << phrases.size() << ";\n";
    out << "constexpr std::size_t " << prefix << "MaxBytes = " << maxBytes << ";\n";
    out << "constexpr char " << prefix << "Keys[] =\n";
    WriteBytes(out, keys);
    out << ";\nconstexpr char " << prefix << "Values[] =\n";
    WriteBytes(out, values);
    out << ";\nconstexpr std::uint32_t " << prefix << "Offsets[" << offsets.size() << "] = {";
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        out << (i % 10 == 0 ? "\n    " : " ") << offsets[i] << "u,";
    }
    out << "\n};\n\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gb2big5_table_gen <dictionary text folder> <output .inc>\n";
        return 2;
    }
    Generator generator(argv[1]);
    const Tables t = generator.Run();

    std::ostringstream out;
    out << "// Generated at build time by gb2big5_table_gen from OpenCC's dictionaries\n"
           "// and glibc's GB2312 and BIG5 charsets. Do not edit.\n\n";
    out << "// GB2312 -> Big5: index (lead - 0xA1) * 94 + (trail - 0xA1); 0 = not GB2312.\n";
    WriteCodes(out, "kGbToBig5", t.gbToBig5);
    out << "// Big5 -> GB2312: index (lead - 0xA1) * 157 + column, where trail 0x40..0x7E\n"
           "// is column 0..62 and 0xA1..0xFE column 63..156; 0 = not Big5.\n";
    WriteCodes(out, "kBig5ToGb", t.big5ToGb);
    WritePhrases(out, "kStPhrase", t.stPhrases);
    WritePhrases(out, "kTsPhrase", t.tsPhrases);

    const std::string path = argv[2];
    const std::string tmp = path + ".tmp";
    {
        std::ofstream file(tmp, std::ios::binary | std::ios::trunc);
        file << out.str();
        if (!file) {
            std::cerr << "gb2big5_table_gen: cannot write " << tmp << "\n";
            return 1;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::cerr << "gb2big5_table_gen: cannot write " << path << "\n";
        return 1;
    }
    std::cout << "gb2big5_table_gen: " << t.stPhrases.size() << " S->T phrases, "
              << t.tsPhrases.size() << " T->S phrases\n";
    return 0;
}
