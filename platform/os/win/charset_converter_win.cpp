#include "platform/os/charset_converter.h"

#include "platform/os/win/wide_text.h"

#include <cstring>
#include <string_view>

namespace varnel::platform {

namespace {

// The system's code pages for the set names the program uses; 0 for a name
// it has none for.
UINT CodePageFor(std::string_view name) {
    if (name == "UTF-8") {
        return CP_UTF8;
    }
    if (name == "GB2312") {
        return 936; // GBK; its extensions beyond GB2312 are refused below
    }
    if (name == "GB18030") {
        return 54936;
    }
    if (name == "BIG5" || name == "CP950") {
        return 950;
    }
    return 0;
}

// The converter's state: the code pages of both sides, and whether the
// target is GB2312 (the part of code page 936 that EUC-CN encodes).
struct Pages {
    UINT to = 0;
    UINT from = 0;
    bool gb2312 = false;
};

// The length of the character that starts text in code page page (1 to 4
// bytes); 0 when text is cut off within it.
std::size_t CharacterLength(UINT page, std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 1;
    if (page == CP_UTF8) {
        length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    } else if (page == 54936) {
        if (lead >= 0x81 && lead <= 0xFE && text.size() > 1) {
            const auto second = static_cast<unsigned char>(text[1]);
            length = second >= 0x30 && second <= 0x39 ? 4 : 2;
        } else if (lead >= 0x81 && lead <= 0xFE) {
            length = 2;
        }
    } else if (::IsDBCSLeadByteEx(page, lead)) {
        length = 2;
    }
    return length <= text.size() ? length : 0;
}

} // namespace

CharsetConverter::CharsetConverter(const char* to, const char* from) : m_Handle(nullptr) {
    const UINT toPage = CodePageFor(to);
    const UINT fromPage = CodePageFor(from);
    if (toPage != 0 && fromPage != 0) {
        m_Handle = new Pages{toPage, fromPage, std::strcmp(to, "GB2312") == 0};
    }
}

CharsetConverter::~CharsetConverter() {
    delete static_cast<Pages*>(m_Handle);
}

bool CharsetConverter::Usable() const noexcept {
    return m_Handle != nullptr;
}

CharsetConverter::Step CharsetConverter::Convert(std::string_view in, std::span<char> out) {
    Step step;
    if (!Usable()) {
        step.stopped = true;
        return step;
    }
    const Pages& pages = *static_cast<const Pages*>(m_Handle);
    // One character at a time, as the converter of the other systems works:
    // the run stops at the first character that cannot be converted (or is
    // cut off), with everything before it converted.
    while (step.consumed < in.size()) {
        const std::string_view rest = in.substr(step.consumed);
        const std::size_t length = CharacterLength(pages.from, rest);
        if (length == 0) {
            step.stopped = true;
            break;
        }
        wchar_t wide[2];
        const int units = ::MultiByteToWideChar(pages.from, MB_ERR_INVALID_CHARS, rest.data(),
                                                static_cast<int>(length), wide,
                                                static_cast<int>(std::size(wide)));
        if (units <= 0) {
            step.stopped = true;
            break;
        }
        char bytes[8];
        BOOL lossy = FALSE;
        const bool exact = pages.to == CP_UTF8 || pages.to == 54936;
        const int produced = ::WideCharToMultiByte(pages.to, exact ? 0 : WC_NO_BEST_FIT_CHARS, wide,
                                                   units, bytes, static_cast<int>(sizeof bytes),
                                                   nullptr, exact ? nullptr : &lossy);
        if (produced <= 0 || lossy) {
            step.stopped = true;
            break;
        }
        if (pages.gb2312 && produced == 2 &&
            (static_cast<unsigned char>(bytes[0]) < 0xA1 ||
             static_cast<unsigned char>(bytes[1]) < 0xA1)) {
            step.stopped = true; // a character of GBK that GB2312 does not have
            break;
        }
        const auto size = static_cast<std::size_t>(produced);
        if (step.produced + size > out.size()) {
            break; // the output is full: not a stop
        }
        std::memcpy(out.data() + step.produced, bytes, size);
        step.produced += size;
        step.consumed += length;
    }
    return step;
}

} // namespace varnel::platform
