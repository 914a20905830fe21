#include "functionfs.h"

#include "stoppable_call.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <endian.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tolvane::usb {

namespace fs = std::filesystem;

std::unique_ptr<FunctionFsMount> FunctionFsMount::Make(const std::string& instance,
                                                       const fs::path& where, std::string& error) {
    std::error_code made;
    fs::create_directories(where, made);
    if (made) {
        error = "cannot make " + where.string() + ": " + made.message();
        return nullptr;
    }
    if (::mount(instance.c_str(), where.c_str(), "functionfs", 0, nullptr) != 0) {
        error = "cannot mount FunctionFS " + instance + " at " + where.string() + ": " +
                std::strerror(errno);
        ::rmdir(where.c_str());
        return nullptr;
    }
    return std::make_unique<FunctionFsMount>(where);
}

FunctionFsMount::~FunctionFsMount() {
    ::umount2(dir_.c_str(), MNT_DETACH);
    ::rmdir(dir_.c_str());
}

std::unique_ptr<Ep0> Ep0::Open(const FunctionFsMount& mount,
                               std::span<const std::uint8_t> descriptors,
                               std::span<const std::uint8_t> strings, std::string& error) {
    posix::UniqueFd fd(::open((mount.dir() / "ep0").c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        error = "cannot open ep0: " + std::string(std::strerror(errno));
        return nullptr;
    }
    for (const auto blob : {descriptors, strings}) {
        const ssize_t put = ::write(fd.get(), blob.data(), blob.size());
        if (put != static_cast<ssize_t>(blob.size())) {
            error = "FunctionFS refused the " +
                    std::string(blob.data() == descriptors.data() ? "descriptors" : "strings") +
                    ": " + std::strerror(put < 0 ? errno : EINVAL);
            return nullptr;
        }
    }
    return std::make_unique<Ep0>(std::move(fd));
}

std::optional<usb_functionfs_event> Ep0::nextEvent() {
    usb_functionfs_event event{};
    // One event at a time: a SETUP must be the last one read, or its data stage is lost.
    const ssize_t got = ::read(fd_.get(), &event, sizeof event);
    if (got != static_cast<ssize_t>(sizeof event)) return std::nullopt;
    return event;
}

int Ep0::answer(std::span<const std::uint8_t> data, const volatile std::sig_atomic_t& stop) {
    // An interrupted answer is withdrawn, so making it again offers it once more.
    const ssize_t put =
        CallUntilStopped(stop, [&] { return ::write(fd_.get(), data.data(), data.size()); });
    return put < 0 ? errno : 0;
}

int Ep0::takeData(std::uint16_t length, std::vector<std::uint8_t>& data,
                  const volatile std::sig_atomic_t& stop) {
    // At least one byte asked for: FunctionFS cuts the read to wLength itself, and a request
    // without data is acknowledged by that read of nothing.
    data.assign(std::max<std::size_t>(length, 1), 0);
    const ssize_t got =
        CallUntilStopped(stop, [&] { return ::read(fd_.get(), data.data(), data.size()); });
    if (got < 0) return errno;
    data.resize(static_cast<std::size_t>(got));
    return 0;
}

void Ep0::stall(const SetupPacket& setup) {
    // FunctionFS stalls a request when the data stage goes the wrong way.
    // The transfer fails by design (EL2HLT): its result says nothing worth acting on.
    std::uint8_t byte = 0;
    const ssize_t ignored = setup.in() ? ::read(fd_.get(), &byte, 1) : ::write(fd_.get(), &byte, 1);
    static_cast<void>(ignored);
}

SetupPacket SetupOf(const usb_functionfs_event& event) {
    const usb_ctrlrequest& request = event.u.setup;
    return SetupPacket{request.bRequestType, request.bRequest, le16toh(request.wValue),
                       le16toh(request.wIndex), le16toh(request.wLength)};
}

}  // namespace tolvane::usb
