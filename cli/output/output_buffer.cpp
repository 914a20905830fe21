#include "output/output_buffer.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tolvane::cli {

OutputBuffer::WriteFunction OutputBuffer::ToDescriptor(int fd) {
    return [fd](const char* data, std::size_t size, int& error) -> long {
        for (;;) {
#ifdef _WIN32
            const int chunk = size > 0x10000000 ? 0x10000000 : static_cast<int>(size);
            const long written = _write(fd, data, static_cast<unsigned>(chunk));
#else
            const long written = static_cast<long>(::write(fd, data, size));
#endif
            if (written >= 0) return written;
            if (errno == EINTR) continue;
            error = errno;
            return -1;
        }
    };
}

int OutputBuffer::error() const {
    const std::lock_guard lock(mutex_);
    return error_;
}

bool OutputBuffer::writeAll(const char* data, std::size_t size) {
    if (error_ != 0) return false;
    while (size > 0) {
        int error = 0;
        const long written = write_(data, size, error);
        if (written <= 0) {
            // A write that takes nothing without an error would loop for ever: count it as one.
            error_ = written < 0 && error != 0 ? error : EIO;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::streamsize OutputBuffer::xsputn(const char* data, std::streamsize size) {
    const std::lock_guard lock(mutex_);
    // The stream is told of no failure: it would only stop writing, which the dropped output
    // already does, and the run must not see an exception or a changed state from its output.
    writeAll(data, static_cast<std::size_t>(size));
    return size;
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    const std::lock_guard lock(mutex_);
    writeAll(&byte, 1);
    return c;
}

int WriteErrorOf(const std::ostream& stream) {
    if (const auto* buffer = dynamic_cast<const OutputBuffer*>(stream.rdbuf())) {
        return buffer->error();
    }
    return stream.bad() ? EIO : 0;
}

}  // namespace tolvane::cli
