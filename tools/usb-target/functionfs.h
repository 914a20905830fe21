// FunctionFS: the mount of one function's file system and its control endpoint (ep0), through
// which the host's requests to the interface reach this program as FUNCTIONFS_SETUP events.
#pragma once

#include "unique_fd.h"

#include <linux/usb/functionfs.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tolvane::usb {

// Mounts the FunctionFS instance INSTANCE at a folder of its own; unmounts and removes the folder
// when it goes.
class FunctionFsMount {
public:
    static std::unique_ptr<FunctionFsMount> Make(const std::string& instance,
                                                 const std::filesystem::path& where,
                                                 std::string& error);
    explicit FunctionFsMount(std::filesystem::path dir) : dir_(std::move(dir)) {}
    FunctionFsMount(const FunctionFsMount&) = delete;
    FunctionFsMount& operator=(const FunctionFsMount&) = delete;
    ~FunctionFsMount();

    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
};

// A SETUP packet, host order.
struct SetupPacket {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;

    bool in() const { return (requestType & 0x80) != 0; }
};

// The control endpoint, opened non-blocking for events. After a SETUP event exactly one of
// answer, stall or takeData settles the request (FunctionFS treats the next read or write as
// the request's data stage). A data stage blocks, whatever the descriptor's flags, until the host
// has taken it or sends its next request; once `stop` is set it gives up (EINTR).
class Ep0 {
public:
    // Opens ep0 of the mount and writes the descriptors and strings; null with the reason.
    static std::unique_ptr<Ep0> Open(const FunctionFsMount& mount,
                                     std::span<const std::uint8_t> descriptors,
                                     std::span<const std::uint8_t> strings, std::string& error);
    explicit Ep0(posix::UniqueFd fd) noexcept : fd_(std::move(fd)) {}

    int fd() const noexcept { return fd_.get(); }
    // The next event, if one is waiting.
    std::optional<usb_functionfs_event> nextEvent();
    // IN request: sends `data` (at most wLength bytes). 0 or the errno (EIDRM: the host moved on).
    int answer(std::span<const std::uint8_t> data, const volatile std::sig_atomic_t& stop);
    // OUT request: takes its data stage (`length` bytes), which acknowledges it.
    int takeData(std::uint16_t length, std::vector<std::uint8_t>& data,
                 const volatile std::sig_atomic_t& stop);
    // Either direction: the request fails with a stall, which the host reads as EPIPE.
    void stall(const SetupPacket& setup);

private:
    posix::UniqueFd fd_;
};

SetupPacket SetupOf(const usb_functionfs_event& event);

}  // namespace tolvane::usb
