#include "system/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tolvane::cli {
namespace {

// The one shared folder for lock files that every user may write: /run/lock (a tmpfs, emptied at
// boot); the temporary folder where it is not writable.
std::string PortLockFolder() {
    if (::access("/run/lock", W_OK | X_OK) == 0) return "/run/lock";
    const char* temp = std::getenv("TMPDIR");
    return temp != nullptr && *temp != '\0' ? temp : "/tmp";
}

// Locks the open descriptor `fd`, which the returned lock (or the refusal) closes.
std::unique_ptr<DeviceLock> LockDescriptor(int fd, DeviceLock::Outcome& outcome) {
    auto lock = std::make_unique<DeviceLock>(fd);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            outcome = DeviceLock::Outcome::Taken;
            return lock;
        }
        if (errno == EWOULDBLOCK) {
            outcome = DeviceLock::Outcome::Busy;
            return nullptr;
        }
        if (errno != EINTR) return nullptr;
    }
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Opens the lock file at `path`, making it when it is missing. Read-only is enough for flock, so
// any user can lock a file another user made. An existing file is opened without O_CREAT, which
// the kernel refuses on another user's file in a sticky shared folder (protected_regular); a link
// planted there is not followed, and a FIFO is neither waited on nor used.
int OpenLockFile(const std::string& path) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
    int fd = OpenRetrying(path, flags);
    if (fd < 0 && errno == ENOENT) {
        fd = OpenRetrying(path, flags | O_CREAT | O_EXCL, 0644);
        // Another process made it in between.
        if (fd < 0 && errno == EEXIST) fd = OpenRetrying(path, flags);
        // Readable by every user whatever the umask, so that their runs can lock it too.
        else if (fd >= 0)
            (void)::fchmod(fd, 0644);
    }
    if (fd < 0) return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool PlainInName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

}  // namespace

std::unique_ptr<DeviceLock> DeviceLock::take(std::string_view name, Outcome& outcome) {
    outcome = Outcome::Unavailable;
    const std::string node(name);
    // Only for the lock: the update opens the node itself.
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    return LockDescriptor(fd, outcome);
}

std::string DeviceLock::portLockPath(std::string_view folder, std::string_view port) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string path(folder);
    path += "/tolvane-port-";
    for (const char c : port) {
        if (PlainInName(c)) {
            path += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            path += '%';
            path += kHex[byte >> 4];
            path += kHex[byte & 0xF];
        }
    }
    path += ".lock";
    return path;
}

std::unique_ptr<DeviceLock> DeviceLock::takePortIn(const std::string& folder, std::string_view port,
                                                   Outcome& outcome) {
    outcome = Outcome::Unavailable;
    if (port.empty()) return nullptr;
    const int fd = OpenLockFile(portLockPath(folder, port));
    if (fd < 0) return nullptr;
    return LockDescriptor(fd, outcome);
}

std::unique_ptr<DeviceLock> DeviceLock::takePort(std::string_view port, Outcome& outcome) {
    return takePortIn(PortLockFolder(), port, outcome);
}

DeviceLock::~DeviceLock() {
    ::close(static_cast<int>(handle_));
}

}  // namespace tolvane::cli
