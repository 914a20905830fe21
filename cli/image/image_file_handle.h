// An image file opened for reading: the part of reading an image that each system does its own
// way (opening by a UTF-8 name, telling the file's kind, reading, closing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane::cli {

// What tells that a file was written to: its size and the time of its last change.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t modified = 0;  // in the system's finest unit
    bool operator==(const FileStamp&) const = default;
};

class ImageFileHandle {
public:
    // Opens without blocking: a FIFO without a writer would otherwise hold the tool here. When
    // it fails, valid() is false and errno tells why.
    explicit ImageFileHandle(const std::string& path);
    ~ImageFileHandle();
    ImageFileHandle(const ImageFileHandle&) = delete;
    ImageFileHandle& operator=(const ImageFileHandle&) = delete;

    bool valid() const noexcept { return fd_ >= 0; }
    // Whether the file can be read to its end: a regular file, or a block device where the
    // system has them. False with `error` 0 for another kind, with the errno value when the kind
    // could not be learnt. Once it answered true, reads may block (they are bounded).
    bool readableKind(int& error);
    // Up to `size` bytes: how many were read, 0 at the end, -1 with errno on a failure.
    long read(std::uint8_t* buffer, std::size_t size);
    // The open file's stamp now; false with errno when it cannot be learnt.
    bool stamp(FileStamp& stamp);

private:
    int fd_ = -1;
};

}  // namespace tolvane::cli
