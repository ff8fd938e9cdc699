#pragma once

// Helpers of the digest tests: a scratch folder, files of known content, and
// an independent oracle (Python's zlib and hashlib) for expected values.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace varnel::test {

// A fresh folder below the system's temporary folder, removed with its
// contents when the object goes.
class ScratchDir {
public:
    ScratchDir() : ScratchDir(std::filesystem::temp_directory_path()) {}
    // A scratch folder inside base (another file system than the usual one).
    explicit ScratchDir(const std::filesystem::path& base) {
#ifdef _WIN32
        // Windows has no mkdtemp: a new folder of a random name, made anew
        // until one is free.
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_Path.empty(); ++attempt) {
            const std::filesystem::path folder =
                base / ("varnel-digest-" + std::to_string(random()));
            if (std::filesystem::create_directory(folder)) {
                m_Path = folder;
            }
        }
        if (m_Path.empty()) {
            throw std::runtime_error("no scratch folder");
        }
#else
        std::string pattern = (base / "varnel-digest-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_Path = pattern;
#endif
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_Path, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const {
        return m_Path;
    }
    std::filesystem::path operator/(const std::string& name) const {
        return m_Path / name;
    }

private:
    std::filesystem::path m_Path;
};

// size bytes of reproducible pseudo-random content; seed picks the sequence.
inline std::vector<std::uint8_t> PseudoRandomBytes(std::size_t size, std::uint32_t seed = 1) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> bytes(size);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(gen() >> 24);
    }
    return bytes;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline void WriteFile(const std::filesystem::path& path, const std::string& text) {
    WriteFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Values computed by an independent tool for the whole file at path.
struct OracleDigests {
    std::string crc32; // eight upper-case hex digits
    std::string sha1;  // upper-case hex
    std::string md5;   // upper-case hex
};

// Runs Python's zlib.crc32, hashlib.sha1 and hashlib.md5 over each file (read
// in 1 MiB pieces, so huge files are fine), one Python for them all. The
// paths travel as arguments, never through the shell's parsing: each is
// single-quoted with quotes escaped.
inline std::vector<OracleDigests>
OracleDigestsOfAll(const std::vector<std::filesystem::path>& paths) {
    static const char* const kScript =
        "import sys, zlib, hashlib\n"
        "for p in sys.argv[1:]:\n"
        "  c = 0; s = hashlib.sha1(); m = hashlib.md5()\n"
        "  with open(p, 'rb') as f:\n"
        "    while True:\n"
        "        b = f.read(1 << 20)\n"
        "        if not b: break\n"
        "        c = zlib.crc32(b, c); s.update(b); m.update(b)\n"
        "  print('%08X %s %s' % (c, s.hexdigest().upper(), m.hexdigest().upper()))\n";
    auto quote = [](const std::string& text) {
        std::string q = "'";
        for (const char ch : text) {
            if (ch == '\'') {
                q += "'\\''";
            } else {
                q += ch;
            }
        }
        return q + "'";
    };
    std::string command = "python3 -c " + quote(kScript);
    for (const std::filesystem::path& path : paths) {
        command += " " + quote(path.string());
    }
    command += " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        throw std::runtime_error("popen failed");
    }
    std::vector<OracleDigests> results;
    char line[256] = {};
    while (results.size() < paths.size() && std::fgets(line, sizeof line, pipe) != nullptr) {
        OracleDigests& result = results.emplace_back();
        std::string text(line);
        const auto first = text.find(' ');
        const auto second = text.find(' ', first + 1);
        const auto end = text.find_first_of("\r\n", second + 1);
        result.crc32 = text.substr(0, first);
        result.sha1 = text.substr(first + 1, second - first - 1);
        result.md5 = text.substr(second + 1, end - second - 1);
    }
    const int status = ::pclose(pipe);
    if (results.size() != paths.size() || status != 0) {
        throw std::runtime_error("python3 oracle failed");
    }
    return results;
}

inline OracleDigests OracleDigestsOf(const std::filesystem::path& path) {
    return OracleDigestsOfAll({path}).front();
}

inline std::string Hex8(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

} // namespace varnel::test
