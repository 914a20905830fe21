#include "system/same_file.h"
#include "system/wide_path_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <optional>

namespace tolvane::cli {
namespace {

struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;
};

// Owns a file handle.
struct OpenedFile {
    explicit OpenedFile(HANDLE opened) : handle(opened) {}
    ~OpenedFile() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    HANDLE handle;
};

// Opened without any access right only to ask for the identity, shared with every other opener.
std::optional<FileIdentity> IdentityOf(const std::string& path) {
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return std::nullopt;
    const OpenedFile file(CreateFileW(wide.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file.handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.handle, &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    const auto first = IdentityOf(a);
    const auto second = IdentityOf(b);
    return first && second && first->volume == second->volume &&
           first->indexHigh == second->indexHigh && first->indexLow == second->indexLow;
}

}  // namespace tolvane::cli
