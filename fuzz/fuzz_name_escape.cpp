// The name escape on arbitrary bytes: the escape must give the bytes back,
// and what it shows must be valid UTF-8 free of controls and of a trailing
// blank.
#include "formats/name_escape.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string shown = varnel::formats::EscapeName(bytes);
    for (const char c : shown) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            std::abort();
        }
    }
    // A blank that ends the name is shown escaped: "sp " never looks like "sp".
    if (shown.ends_with(' ')) {
        std::abort();
    }
    // Unescaping arbitrary text must never fail unsafely either.
    (void)varnel::formats::UnescapeName(bytes);
    if (varnel::formats::UnescapeName(shown) != std::string(bytes)) {
        std::abort();
    }
    // A second escape leaves no control either and unescapes to the first.
    if (varnel::formats::UnescapeName(varnel::formats::EscapeName(shown)) != shown) {
        std::abort();
    }
    return 0;
}
