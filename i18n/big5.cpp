// ConvertToBig5: UTF-8 text -> GB2312 -> the conversion library's GBToBig5 ->
// Big5 -> UTF-8.
//
// The library is opened once, from a fixed place next to the program (never
// through the system's library search path, so a library planted in the
// working folder or on LD_LIBRARY_PATH is not picked up), and its entry point
// stays bound for the rest of the process. When opening or binding fails the
// text comes back unchanged; the next attempt is made no sooner than
// kRetryInterval later, so a missing library costs one failed open every few
// seconds at most, not one per call (the window converts on every mouse move).
//
// Only runs of characters that GB2312 can encode are handed to the library;
// other characters are kept as they are. Both charsets use one byte for ASCII
// and two for every other character, so each character of the run maps to the
// bytes at the same place in the library's output, and a character whose
// output cannot be decoded as Big5 (or came back as the library's stand-in
// for "no Big5 form") is kept in its original form.
#include "i18n/big5.h"

#include "formats/utf8.h"
#include "gb2big5/gb2big5.h"
#include "platform/os/charset_converter.h"
#include "platform/os/path_text.h"
#include "platform/os/program_dir.h"
#include "platform/os/shared_library.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>

namespace varnel {
namespace {

#if defined(_WIN32)
constexpr const char* kConversionLibraryFileName = "GB2BIG5.dll";
#else
constexpr const char* kConversionLibraryFileName = "libGB2BIG5.so";
#endif
constexpr const char* kEntryPointName = "GBToBig5";
constexpr auto kRetryInterval = std::chrono::seconds(5);

// What the library writes for a character that has no Big5 form.
constexpr std::string_view kStandIn = "\u25A1";

using GBToBig5Function = decltype(&::GBToBig5);

// The binding of GBToBig5, for the lifetime of the process.
class LibraryBinding {
public:
    GBToBig5Function Get() {
        if (const auto bound = m_Function.load(std::memory_order_acquire)) {
            return bound;
        }
        const std::lock_guard lock(m_Mutex);
        if (const auto bound = m_Function.load(std::memory_order_relaxed)) {
            return bound;
        }
        const auto now = std::chrono::steady_clock::now();
        if (m_Attempted && now < m_NextAttempt) {
            return nullptr;
        }
        m_Attempted = true;
        m_NextAttempt = now + kRetryInterval;
        Bind();
        return m_Function.load(std::memory_order_relaxed);
    }

    void Reset(std::optional<std::filesystem::path> path) {
        const std::lock_guard lock(m_Mutex);
        m_Function.store(nullptr, std::memory_order_release);
        m_Library.reset();
        m_Attempted = false;
        m_PathOverride = std::move(path);
    }

    std::uint64_t LoadAttempts() const { return m_LoadAttempts.load(); }

private:
    void Bind() {
        const std::filesystem::path path =
            m_PathOverride ? *m_PathOverride : ConversionLibraryPathFor(platform::ProgramDir());
        if (path.empty()) {
            return;
        }
        ++m_LoadAttempts;
        std::optional<platform::SharedLibrary> library = platform::SharedLibrary::Load(path);
        if (!library) {
            return; // nothing is reported
        }
        void* symbol = library->Entry(kEntryPointName);
        if (symbol == nullptr) {
            return; // the library is unloaded again
        }
        m_Library = std::move(library);
        m_Function.store(reinterpret_cast<GBToBig5Function>(symbol), std::memory_order_release);
    }

    std::mutex m_Mutex;
    std::atomic<GBToBig5Function> m_Function{nullptr};
    std::atomic<std::uint64_t> m_LoadAttempts{0};
    std::optional<platform::SharedLibrary> m_Library;
    bool m_Attempted = false;
    std::chrono::steady_clock::time_point m_NextAttempt{};
    std::optional<std::filesystem::path> m_PathOverride;
};

LibraryBinding& Binding() {
    static LibraryBinding binding;
    return binding;
}

// The converters, made once per thread: each keeps conversion state and may
// not be shared between threads.
struct Codecs {
    platform::CharsetConverter toGb{"GB2312", "UTF-8"};
    platform::CharsetConverter fromBig5{"UTF-8", "BIG5"};

    bool Usable() const { return toGb.Usable() && fromBig5.Usable(); }
};

Codecs& ThreadCodecs() {
    thread_local Codecs codecs;
    return codecs;
}

// Length in bytes of the UTF-8 character at text[i]; 1 for a byte that does
// not start a well-formed character (it is then passed on by itself).
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    char32_t codePoint = 0;
    return std::max<std::size_t>(formats::Utf8SequenceLength(text.substr(i), codePoint), 1);
}

// One Big5 character (two bytes) as UTF-8, if it is one.
std::optional<std::string> DecodeBig5(platform::CharsetConverter& fromBig5, const char* bytes) {
    if (static_cast<unsigned char>(bytes[0]) < 0x81) {
        return std::nullopt;
    }
    char out[8];
    const platform::CharsetConverter::Step step =
        fromBig5.Convert(std::string_view(bytes, 2), std::span<char>(out, sizeof out));
    if (step.stopped || step.consumed != 2) {
        return std::nullopt;
    }
    return std::string(out, step.produced);
}

// Converts one run: `original` is UTF-8 text whose every character GB2312
// encodes, `gb` its GB2312 bytes. Appends the result to `out`.
void ConvertRun(GBToBig5Function convert, Codecs& codecs, std::string_view original,
                std::string_view gb, std::string& out) {
    bool ascii = true;
    for (const char c : gb) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    if (ascii) {
        out.append(original);
        return;
    }
    std::string buffer(gb); // NUL-terminated working copy for the library
    convert(buffer.data());

    std::size_t u = 0; // position in original
    for (std::size_t k = 0; k < gb.size();) {
        if (static_cast<unsigned char>(gb[k]) < 0x80) {
            out.push_back(original[u]); // ASCII is the same byte in UTF-8 and GB2312
            ++k;
            ++u;
            continue;
        }
        const std::size_t length = Utf8Length(original, u);
        const std::string_view before = original.substr(u, length);
        const auto after = DecodeBig5(codecs.fromBig5, buffer.data() + k);
        if (after && (*after != kStandIn || before == kStandIn)) {
            out.append(*after);
        } else {
            out.append(before);
        }
        k += 2;
        u += length;
    }
}

} // namespace

std::filesystem::path ConversionLibraryPathFor(const std::filesystem::path& programDir) {
    if (programDir.empty()) {
        return {};
    }
    // The parent folder + "/Librarys/" + the file name. A parent that is the
    // root already ends in "/" and gets no second one; an empty parent (the
    // program lies in the root) gives "/Librarys/...".
    std::string path = platform::PathText(platform::ParentFolderName(programDir));
    if (path.empty() || (path.back() != '/' && path.back() != platform::kPathSeparator)) {
        path += platform::kPathSeparator;
    }
    path += "Librarys";
    path += platform::kPathSeparator;
    path += kConversionLibraryFileName;
    return platform::PathFromText(path);
}

std::string ConvertToBig5(std::string_view text) {
    const GBToBig5Function convert = Binding().Get();
    if (convert == nullptr) {
        return std::string(text);
    }
    Codecs& codecs = ThreadCodecs();
    if (!codecs.Usable()) {
        return std::string(text);
    }

    std::string out;
    out.reserve(text.size());
    std::string gb;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\0') {
            out.push_back('\0'); // the library's strings end at NUL: keep it out
            ++i;
            continue;
        }
        std::size_t end = text.find('\0', i);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        // GB2312 never needs more bytes than UTF-8 for the same character.
        gb.assign(end - i + 1, '\0');
        const platform::CharsetConverter::Step step =
            codecs.toGb.Convert(text.substr(i, end - i), std::span<char>(gb.data(), gb.size()));
        const std::size_t consumed = step.consumed;
        const std::size_t produced = step.produced;
        const std::size_t inLeft = (end - i) - consumed;
        if (consumed > 0) {
            ConvertRun(convert, codecs, text.substr(i, consumed),
                       std::string_view(gb.data(), produced), out);
            i += consumed;
        }
        if (inLeft != 0 && (consumed == 0 || step.stopped)) {
            // Not encodable in GB2312 (or not UTF-8): kept as it is.
            const std::size_t length = Utf8Length(text, i);
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

namespace detail {

void SetConversionLibraryPathForTesting(std::optional<std::filesystem::path> path) {
    Binding().Reset(std::move(path));
}

std::uint64_t ConversionLibraryLoadAttemptsForTesting() {
    return Binding().LoadAttempts();
}

} // namespace detail

} // namespace varnel
