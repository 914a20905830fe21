#include "line/station_log_file.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tolvane::cli {
namespace {

int OpenForAppending(const std::string& path) {
#ifdef _WIN32
    return _open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
#else
    // Without waiting: a FIFO that nobody reads would hold the tool in open() for ever, deaf to
    // interrupts; it is refused at once (ENXIO) instead. Writes block again afterwards.
    for (;;) {
        const int fd = ::open(
            path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
        if (fd >= 0) {
            const int flags = ::fcntl(fd, F_GETFL);
            if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
            return fd;
        }
        if (errno != EINTR) return fd;
    }
#endif
}

long WriteOnce(int fd, const std::string& text) {
#ifdef _WIN32
    return _write(fd, text.data(), static_cast<unsigned>(text.size()));
#else
    for (;;) {
        const long wrote = static_cast<long>(::write(fd, text.data(), text.size()));
        if (wrote >= 0 || errno != EINTR) return wrote;
    }
#endif
}

// 0, or the error of forcing the file's data to the disk. A file that cannot be synced by its
// nature (a terminal, a pipe, /dev/null) has nothing to lose and counts as synced.
int SyncData(int fd) {
#ifdef _WIN32
    return _commit(fd) == 0 || errno == EBADF ? 0 : errno;
#else
    if (::fdatasync(fd) == 0 || errno == EINVAL || errno == EROFS) return 0;
    return errno;
#endif
}

void Close(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
}

}  // namespace

std::unique_ptr<StationLogFile> StationLogFile::open(const std::string& path, int& error,
                                                     std::string& reason) {
    errno = 0;
    const int fd = OpenForAppending(path);
    if (fd < 0) {
        error = errno != 0 ? errno : EIO;
        reason = error == ENXIO ? "a FIFO with no reader" : std::strerror(error);
        return nullptr;
    }
    return std::make_unique<StationLogFile>(fd, path);
}

StationLogFile::~StationLogFile() {
    Close(fd_);
}

std::string StationLogFile::append(const std::string& line) {
    const std::string text = line + "\n";
    errno = 0;
    const long wrote = WriteOnce(fd_, text);
    if (wrote < 0) return std::strerror(errno != 0 ? errno : EIO);
    if (static_cast<unsigned long>(wrote) != text.size()) {
        return "only " + std::to_string(wrote) + " of " + std::to_string(text.size()) +
               " bytes written (the disk is probably full)";
    }
    if (const int error = SyncData(fd_); error != 0) return std::strerror(error);
    return {};
}

}  // namespace tolvane::cli
