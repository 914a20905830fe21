#include "image/image_file_handle.h"
#include "system/wide_path_win32.h"

#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include <cerrno>

namespace tolvane::cli {
namespace {

// The tool's paths are UTF-8 (the command line arrives in UTF-16): opened in UTF-16, so that
// names outside the ANSI code page work.
int OpenWide(const std::string& path) {
    const std::wstring wide = WidePath(path);
    if (wide.empty() && !path.empty()) {
        errno = ENOENT;
        return -1;
    }
    return _wopen(wide.c_str(), _O_RDONLY | _O_BINARY);
}

}  // namespace

ImageFileHandle::ImageFileHandle(const std::string& path) : fd_(OpenWide(path)) {}

ImageFileHandle::~ImageFileHandle() {
    if (fd_ >= 0) _close(fd_);
}

bool ImageFileHandle::readableKind(int& error) {
    struct _stat64 info {};
    if (_fstat64(fd_, &info) != 0) {
        error = errno;
        return false;
    }
    return (info.st_mode & _S_IFMT) == _S_IFREG;
}

long ImageFileHandle::read(std::uint8_t* buffer, std::size_t size) {
    return _read(fd_, buffer, static_cast<unsigned>(size));
}

bool ImageFileHandle::stamp(FileStamp& stamp) {
    // The descriptor's own handle, owned by the descriptor.
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    BY_HANDLE_FILE_INFORMATION info{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &info)) {
        errno = EIO;
        return false;
    }
    stamp.size =
        static_cast<std::int64_t>((std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
    stamp.modified =
        static_cast<std::int64_t>((std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                  info.ftLastWriteTime.dwLowDateTime);
    return true;
}

}  // namespace tolvane::cli
