// A conversion library that breaks its contract: it ends the string early and
// fills the rest with bytes that are no Big5 character.
#include <cstring>

extern "C" __attribute__((visibility("default"))) void GBToBig5(char* text) {
    const std::size_t n = std::strlen(text);
    for (std::size_t i = 0; i < n; ++i) {
        text[i] = '\xFF';
    }
    if (n > 0) {
        text[n / 2] = '\0';
    }
}
