// A shared library that is not the conversion library: it has no GBToBig5.
extern "C" __attribute__((visibility("default"))) int VarnelTestNotTheEntryPoint(char* text) {
    return text != nullptr ? 1 : 0;
}
