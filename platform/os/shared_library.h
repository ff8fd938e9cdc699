#pragma once

// A shared library loaded at run time (LoadLibrary / dlopen) and its entry
// points by name. The library stays loaded while the object lives.

#include <filesystem>
#include <optional>

namespace varnel::platform {

class SharedLibrary {
public:
    // Loads the library at path, resolving all its symbols now. Nothing when
    // it cannot be loaded (missing, not a library, unresolved symbols).
    static std::optional<SharedLibrary> Load(const std::filesystem::path& path);

    ~SharedLibrary();
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // The address of the entry point called name, or null when the library
    // has none.
    void* Entry(const char* name) const noexcept;

private:
    explicit SharedLibrary(void* handle) noexcept : m_Handle(handle) {}
    void* m_Handle = nullptr;
};

} // namespace varnel::platform
