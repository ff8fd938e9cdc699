// libFuzzer target: the PE version reader on arbitrary bytes. Any input must
// give either empty text or a dotted four-part version, without crashing or
// reading outside the buffer.

#include "formats/pe_version.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string version = varnel::formats::GetFileVersionFromBytes({data, size});
    if (!version.empty()) {
        int dots = 0;
        for (const char c : version) {
            if (c == '.') {
                ++dots;
            } else if (c < '0' || c > '9') {
                std::abort();
            }
        }
        if (dots != 3 || version.size() > 23) {
            std::abort();
        }
    }
    return 0;
}
