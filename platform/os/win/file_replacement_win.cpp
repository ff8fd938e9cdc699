#include "platform/os/file_replacement.h"

#include "platform/os/path_text.h"
#include "platform/os/win/wide_text.h"

#include <io.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace varnel::platform {

namespace {

[[noreturn]] void ThrowLast(const std::string& context) {
    throw win::FileErrorFromWin32(::GetLastError(), context);
}

} // namespace

FileReplacement::~FileReplacement() {
    Abandon();
}

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : m_Folder(std::exchange(other.m_Folder, -1)), m_Handle(std::exchange(other.m_Handle, -1)),
      m_Name(std::move(other.m_Name)), m_Temp(std::move(other.m_Temp)), m_Mode(other.m_Mode),
      m_Owner(other.m_Owner), m_Group(other.m_Group), m_Synced(other.m_Synced) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        Abandon();
        m_Folder = std::exchange(other.m_Folder, -1);
        m_Handle = std::exchange(other.m_Handle, -1);
        m_Name = std::move(other.m_Name);
        m_Temp = std::move(other.m_Temp);
        m_Mode = other.m_Mode;
        m_Owner = other.m_Owner;
        m_Group = other.m_Group;
        m_Synced = other.m_Synced;
    }
    return *this;
}

// On Windows m_Name and m_Temp hold the full names (UTF-8) of the file and
// of its temporary file, in the folder held open as m_Folder.
void FileReplacement::Abandon() noexcept {
    if (m_Handle >= 0) {
        ::_close(m_Handle);
        m_Handle = -1;
    }
    if (!m_Temp.empty()) {
        ::DeleteFileW(win::WideFromUtf8(m_Temp).c_str());
        m_Temp.clear();
    }
    if (m_Folder >= 0) {
        ::_close(m_Folder);
        m_Folder = -1;
    }
}

FileReplacement FileReplacement::Begin(const std::filesystem::path& path) {
    const std::filesystem::path name = path.filename();
    if (name.empty() || name == "." || name == "..") {
        throw FileError(FileFailure::Folder, 0, "is a folder, not a file");
    }
    const std::filesystem::path parent = path.parent_path();
    FileReplacement next;
    // The folder is held open (it cannot be renamed or removed meanwhile);
    // the file and its temporary file are named inside it as the system
    // names it.
    const HANDLE folder =
        ::CreateFileW(win::SystemPath(parent.empty() ? std::filesystem::path(".") : parent).c_str(),
                      FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) {
        ThrowLast("cannot open its folder");
    }
    next.m_Folder = win::DescriptorFor(folder);
    if (next.m_Folder < 0) {
        throw FileError(FileFailure::Other, EMFILE, "cannot open its folder");
    }
    const std::wstring folderName = win::FolderNameOf(folder);
    if (folderName.empty()) {
        ThrowLast("cannot open its folder");
    }
    const std::wstring target = folderName + name.native();
    next.m_Name = win::Utf8FromWide(target);
    const FileIdentity old = IdentityOfEntry(std::filesystem::path(target));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        ThrowLast("cannot look at");
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        throw FileError(FileFailure::NotRegular, 0, "is a symbolic link, not replaced");
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        throw FileError(FileFailure::Folder, 0, "is a folder, not a file");
    }
    if (old.links > 1) {
        throw FileError(FileFailure::NotRegular, 0,
                        "has " + std::to_string(old.links) +
                            " names (hard links): replacing it would part them, not replaced");
    }
    next.m_Mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        const std::wstring temp = folderName + win::WideFromUtf8(TemporaryFileName(attempt));
        handle = ::CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE) {
            next.m_Temp = win::Utf8FromWide(temp);
        } else if (::GetLastError() != ERROR_FILE_EXISTS) {
            break;
        }
    }
    if (handle == INVALID_HANDLE_VALUE) {
        ThrowLast("cannot create a file beside it");
    }
    next.m_Handle = win::DescriptorFor(handle);
    if (next.m_Handle < 0) {
        throw FileError(FileFailure::Other, EMFILE, "cannot create a file beside it");
    }
    return next;
}

void FileReplacement::Write(std::span<const char> bytes) {
    if (m_Handle < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot write");
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        if (!::WriteFile(win::HandleOf(m_Handle), bytes.data() + done, want, &wrote, nullptr)) {
            ThrowLast("cannot write beside it");
        }
        done += wrote;
        m_Synced = false;
    }
}

void FileReplacement::Sync() {
    if (m_Handle < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot write");
    }
    if (!::FlushFileBuffers(win::HandleOf(m_Handle))) {
        ThrowLast("cannot write beside it");
    }
    m_Synced = true;
}

FileIdentity FileReplacement::Target() const {
    if (m_Folder < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot look at");
    }
    return IdentityOfEntry(std::filesystem::path(win::WideFromUtf8(m_Name)));
}

void FileReplacement::Commit() {
    if (m_Handle < 0) {
        throw FileError(FileFailure::Other, EBADF, "cannot write");
    }
    if (!m_Synced) {
        Sync();
    }
    ::_close(std::exchange(m_Handle, -1));
    const std::wstring name = win::WideFromUtf8(m_Name);
    const std::wstring temp = win::WideFromUtf8(m_Temp);
    // ReplaceFileW gives the new file the old one's attributes and security
    // (its read-only mark and access rights); where it cannot (another file
    // system), a plain rename through to the disk does.
    if (!::ReplaceFileW(name.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                        nullptr, nullptr)) {
        const DWORD replaceError = ::GetLastError();
        if (replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT ||
            replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 ||
            !::MoveFileExW(temp.c_str(), name.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ThrowLast("cannot put the new file in its place");
        }
    }
    m_Temp.clear();
    Abandon();
}

} // namespace varnel::platform
