// An output stream buffer over a write function (a file descriptor in the tool) that never ends
// the process and never blocks the run on a reader that went away: the first failed write is
// remembered, and everything after it is dropped, so that an update goes on to its end whatever
// becomes of its output.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <ostream>
#include <streambuf>

namespace tolvane::cli {

class OutputBuffer final : public std::streambuf {
public:
    // Writes up to `size` bytes; returns how many were written, or -1 with the error number in
    // `error`. Writes of 0 bytes are never asked for.
    using WriteFunction = std::function<long(const char* data, std::size_t size, int& error)>;

    explicit OutputBuffer(WriteFunction write) : write_(std::move(write)) {}
    // Standard output or error of the process (1 or 2).
    static WriteFunction ToDescriptor(int fd);

    // The error number of the first write that failed; 0 while none has.
    int error() const;

protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override;
    int_type overflow(int_type c) override;

private:
    bool writeAll(const char* data, std::size_t size);

    mutable std::mutex mutex_;  // the engine's threads log while the main thread reports
    WriteFunction write_;
    int error_ = 0;
};

// The error number of the first failed write of `stream`, if it writes through an OutputBuffer;
// 0 otherwise.
int WriteErrorOf(const std::ostream& stream);

}  // namespace tolvane::cli
