#include "platform/os/shared_library.h"

#include <dlfcn.h>
#include <utility>

namespace varnel::platform {

std::optional<SharedLibrary> SharedLibrary::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        ::dlerror(); // clear the error text: the caller only needs to know
        return std::nullopt;
    }
    return SharedLibrary(handle);
}

SharedLibrary::~SharedLibrary() {
    if (m_Handle != nullptr) {
        ::dlclose(m_Handle);
    }
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_Handle(std::exchange(other.m_Handle, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        if (m_Handle != nullptr) {
            ::dlclose(m_Handle);
        }
        m_Handle = std::exchange(other.m_Handle, nullptr);
    }
    return *this;
}

void* SharedLibrary::Entry(const char* name) const noexcept {
    if (m_Handle == nullptr || name == nullptr) {
        return nullptr;
    }
    void* symbol = ::dlsym(m_Handle, name);
    if (symbol == nullptr) {
        ::dlerror();
    }
    return symbol;
}

} // namespace varnel::platform
