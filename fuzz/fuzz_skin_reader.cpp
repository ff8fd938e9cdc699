// The property bag reader (the skin store format) on arbitrary bytes. Every
// input must be refused or accepted without a crash, a leak or an unbounded
// allocation; what is accepted must write back to bytes that read the same.
//
// Seed it with real stores, e.g. build/dist/Varnel/Skins/Skin20.dll.
#include "formats/property_bag.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<varnel::PropertyBag> bag = varnel::PropertyBag::FromContents(bytes);
    if (!bag) {
        return 0;
    }
    const std::optional<varnel::PropertyBag> again =
        varnel::PropertyBag::FromContents(bag->contents());
    if (!again || !(*again == *bag)) {
        std::abort();
    }
    return 0;
}
