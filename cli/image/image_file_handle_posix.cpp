#include "image/image_file_handle.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tolvane::cli {

ImageFileHandle::ImageFileHandle(const std::string& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)) {}

ImageFileHandle::~ImageFileHandle() {
    if (fd_ >= 0) ::close(fd_);
}

bool ImageFileHandle::readableKind(int& error) {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        error = errno;
        return false;
    }
    if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) return false;
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
    return true;
}

long ImageFileHandle::read(std::uint8_t* buffer, std::size_t size) {
    for (;;) {
        const long got = static_cast<long>(::read(fd_, buffer, size));
        if (got >= 0 || errno != EINTR) return got;
    }
}

bool ImageFileHandle::stamp(FileStamp& stamp) {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) return false;
    stamp.size = static_cast<std::int64_t>(info.st_size);
    stamp.modified = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 +
                     static_cast<std::int64_t>(info.st_mtim.tv_nsec);
    return true;
}

}  // namespace tolvane::cli
