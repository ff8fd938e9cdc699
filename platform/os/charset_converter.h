#pragma once

// Conversion of text between character sets by the system's converter
// (iconv here), for the Big5 conversion of the interface's texts. One object
// keeps conversion state: use it from one thread at a time.

#include <cstddef>
#include <span>
#include <string_view>

namespace varnel::platform {

class CharsetConverter {
public:
    // From text in the set `from` to text in the set `to`, by the system's
    // names ("UTF-8", "GB2312", "BIG5").
    CharsetConverter(const char* to, const char* from);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter&) = delete;
    CharsetConverter& operator=(const CharsetConverter&) = delete;

    // False when the system has no converter between the two sets.
    bool Usable() const noexcept;

    // What one call converted.
    struct Step {
        std::size_t consumed = 0; // bytes of the input used
        std::size_t produced = 0; // bytes written to the output
        bool stopped = false;     // stopped early for a reason other than a full output:
                                  // an input sequence that cannot be converted or is cut off
    };

    // Converts as much of in as fits into out, from the converter's initial
    // state (any state left by an earlier call is dropped first).
    Step Convert(std::string_view in, std::span<char> out);

private:
    void* m_Handle;
};

} // namespace varnel::platform
