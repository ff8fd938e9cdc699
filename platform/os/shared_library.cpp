#include "platform/os/shared_library.h"

#include "platform/os/file_query.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
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
    // library under the same descriptor name for the earlier one.)
    const int fd = OpenReadOnly(path);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular) {
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
