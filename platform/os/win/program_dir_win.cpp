#include "platform/os/program_dir.h"

#include "platform/os/win/wide_text.h"

#include <string>

namespace varnel::platform {

std::filesystem::path ProgramDir() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(name.size() * 2);
    }
    return std::filesystem::path(name).parent_path();
}

std::filesystem::path ParentFolderName(const std::filesystem::path& path) {
    // "C:\Tools\Hash" -> "C:\Tools", "C:\Tools" -> "C:\", "C:\" -> "",
    // "\\server\share\dir" -> "\\server\share\"; both separators count.
    const std::wstring& text = path.native();
    const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    // The root: "C:\", "\\server\share\", "\" or nothing.
    std::size_t rootEnd = 0;
    if (text.size() >= 2 && text[1] == L':') {
        rootEnd = 2;
    } else if (text.size() >= 2 && isSeparator(text[0]) && isSeparator(text[1])) {
        std::size_t at = text.find_first_of(L"\\/", 2);
        at = at == std::wstring::npos ? text.size() : text.find_first_of(L"\\/", at + 1);
        rootEnd = at == std::wstring::npos ? text.size() : at;
    }
    std::size_t end = text.size();
    while (end > rootEnd && isSeparator(text[end - 1])) {
        --end;
    }
    if (end == rootEnd) {
        return {}; // the root itself, or nothing
    }
    std::size_t slash = end;
    while (slash > rootEnd && !isSeparator(text[slash - 1])) {
        --slash;
    }
    if (slash == rootEnd) {
        // Directly below the root ("C:\Tools"): the root with its separator;
        // a single relative component ("Hash", "C:Hash") has no parent.
        return rootEnd < text.size() && isSeparator(text[rootEnd])
                   ? std::filesystem::path(text.substr(0, rootEnd + 1))
                   : std::filesystem::path();
    }
    std::size_t parentEnd = slash - 1;
    while (parentEnd > rootEnd && isSeparator(text[parentEnd - 1])) {
        --parentEnd;
    }
    if (parentEnd == rootEnd) {
        return text.substr(0, rootEnd + 1);
    }
    return text.substr(0, parentEnd);
}

} // namespace varnel::platform
