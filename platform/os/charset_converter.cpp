#include "platform/os/charset_converter.h"

#include <cerrno>
#include <iconv.h>

namespace varnel::platform {

namespace {

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

iconv_t Handle(void* handle) {
    return static_cast<iconv_t>(handle);
}

} // namespace

CharsetConverter::CharsetConverter(const char* to, const char* from)
    : m_Handle(iconv_open(to, from)) {}

CharsetConverter::~CharsetConverter() {
    if (Usable()) {
        iconv_close(Handle(m_Handle));
    }
}

bool CharsetConverter::Usable() const noexcept {
    return Handle(m_Handle) != kInvalid;
}

CharsetConverter::Step CharsetConverter::Convert(std::string_view in, std::span<char> out) {
    Step step;
    if (!Usable()) {
        step.stopped = true;
        return step;
    }
    iconv(Handle(m_Handle), nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(Handle(m_Handle), &inPtr, &inLeft, &outPtr, &outLeft);
    step.consumed = in.size() - inLeft;
    step.produced = out.size() - outLeft;
    step.stopped = result == static_cast<std::size_t>(-1) && errno != E2BIG;
    return step;
}

} // namespace varnel::platform
