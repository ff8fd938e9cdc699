#include "platform/os/folder_listing.h"

#include "platform/os/file.h"
#include "platform/os/win/wide_text.h"

#include <cerrno>

namespace varnel::platform {

namespace {

// The open search and the folder's own handle (for its identity).
struct Search {
    HANDLE find = INVALID_HANDLE_VALUE;
    HANDLE folder = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool pending = false; // data holds an entry not handed out yet
};

Search* AsSearch(void* search) {
    return static_cast<Search*>(search);
}

EntryKind KindOf(const WIN32_FIND_DATAW& data) {
    // A link or junction is not followed by the listing: the caller asks
    // QueryEntry, and a folder reached again is told by its identity.
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        return EntryKind::Unknown;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        return EntryKind::Folder;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
        return EntryKind::Special;
    }
    return EntryKind::File;
}

} // namespace

FolderListing::FolderListing(const std::filesystem::path& folder) {
    const std::wstring name = win::SystemPath(folder.empty() ? std::filesystem::path(".") : folder);
    auto search = std::make_unique<Search>();
    search->folder = ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (search->folder == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        throw FileError(win::FailureFromWin32(error), win::ErrnoFromWin32(error),
                        "cannot search: " + SystemErrorMessage(win::ErrnoFromWin32(error)));
    }
    FILE_BASIC_INFO basic{};
    if (::GetFileInformationByHandleEx(search->folder, FileBasicInfo, &basic, sizeof basic) &&
        !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::CloseHandle(search->folder);
        throw FileError(FileFailure::NotFound, ENOTDIR,
                        "cannot search: " + SystemErrorMessage(ENOTDIR));
    }
    std::wstring pattern = name;
    if (!pattern.empty() && pattern.back() != L'\\') {
        pattern += L'\\';
    }
    pattern += L'*';
    search->find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &search->data,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (search->find == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES) {
            ::CloseHandle(search->folder);
            throw FileError(win::FailureFromWin32(error), win::ErrnoFromWin32(error),
                            "cannot search: " + SystemErrorMessage(win::ErrnoFromWin32(error)));
        }
    } else {
        search->pending = true;
    }
    m_Search = search.release();
}

FolderListing::~FolderListing() {
    Search* search = AsSearch(m_Search);
    if (search->find != INVALID_HANDLE_VALUE) {
        ::FindClose(search->find);
    }
    ::CloseHandle(search->folder);
    delete search;
}

std::optional<FolderIdentity> FolderListing::identity() const {
    BY_HANDLE_FILE_INFORMATION about{};
    if (!::GetFileInformationByHandle(AsSearch(m_Search)->folder, &about)) {
        return std::nullopt;
    }
    // The volume stands for the device, the file index for the inode.
    return FolderIdentity{about.dwVolumeSerialNumber,
                          (static_cast<std::uint64_t>(about.nFileIndexHigh) << 32) |
                              about.nFileIndexLow};
}

bool FolderListing::OnPseudoFileSystem() const {
    return false; // Windows makes up no file systems of the running system
}

std::optional<FolderEntry> FolderListing::Next() {
    Search* search = AsSearch(m_Search);
    while (search->pending) {
        const WIN32_FIND_DATAW& data = search->data;
        const std::wstring_view name(data.cFileName);
        std::optional<FolderEntry> entry;
        if (name != L"." && name != L"..") {
            entry = FolderEntry{win::Utf8FromWide(name), KindOf(data)};
        }
        search->pending = ::FindNextFileW(search->find, &search->data) != 0;
        if (entry) {
            return entry;
        }
    }
    return std::nullopt;
}

} // namespace varnel::platform
