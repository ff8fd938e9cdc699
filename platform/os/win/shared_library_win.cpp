#include "platform/os/shared_library.h"

#include "platform/os/win/wide_text.h"

#include <utility>

namespace varnel::platform {

std::optional<SharedLibrary> SharedLibrary::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    // The library's own dependencies are looked for beside it first; the
    // system shows no dialog for a library it cannot load, and a library cut
    // short is refused by the loader itself (its sections are checked
    // against the file before any is mapped).
    const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module =
        ::LoadLibraryExW(win::SystemPath(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ::SetErrorMode(oldMode);
    if (module == nullptr) {
        return std::nullopt;
    }
    return SharedLibrary(module);
}

SharedLibrary::~SharedLibrary() {
    if (m_Handle != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(m_Handle));
    }
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        if (m_Handle != nullptr) {
            ::FreeLibrary(static_cast<HMODULE>(m_Handle));
        }
        m_Handle = std::exchange(other.m_Handle, nullptr);
    }
    return *this;
}

void* SharedLibrary::Entry(const char* name) const noexcept {
    if (m_Handle == nullptr || name == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(m_Handle), name));
}

} // namespace varnel::platform
