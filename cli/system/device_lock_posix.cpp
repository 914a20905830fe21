#include "system/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

namespace tolvane::cli {

std::unique_ptr<DeviceLock> DeviceLock::take(std::string_view name, Outcome& outcome) {
    outcome = Outcome::Unavailable;
    const std::string node(name);
    // Only for the lock: the update opens the node itself.
    const int fd = ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    auto lock = std::make_unique<DeviceLock>(fd);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            outcome = Outcome::Taken;
            return lock;
        }
        if (errno == EWOULDBLOCK) {
            outcome = Outcome::Busy;
            return nullptr;
        }
        if (errno != EINTR) return nullptr;
    }
}

DeviceLock::~DeviceLock() {
    ::close(static_cast<int>(handle_));
}

}  // namespace tolvane::cli
