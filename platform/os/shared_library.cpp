#include "platform/os/shared_library.h"

#include "platform/os/elf_image.h"
#include "platform/os/file.h"

#include <dlfcn.h>
#include <utility>

namespace varnel::platform {

std::optional<SharedLibrary> SharedLibrary::Load(const std::filesystem::path& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    // Only a regular file is a library: the loader's own open would wait
    // forever on a FIFO and read a device without end. The file is opened
    // without blocking and judged by what was opened. (Loading through that
    // descriptor's /proc name would close the gap before the loader's own
    // open, but the loader knows libraries by name and would take a later
    // library under the same descriptor name for the earlier one.) A library
    // cut short would be mapped past the end of its file, and the loader's
    // first touch there would end the process: it must be whole, or it is
    // treated as missing.
    std::optional<FileError> error;
    ReadOnlyFile file = ReadOnlyFile::Open(path, error);
    if (!file.isOpen() || !IsWholeSharedObject(file)) {
        return std::nullopt;
    }
    file.Close();
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
