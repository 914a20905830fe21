#include "image/stable_file_read.h"

#include "errno_errors.h"
#include "image/image_file_handle.h"
#include "output/text_format.h"

#include <cerrno>
#include <cstring>

namespace tolvane::cli {
namespace {

ImageError Unreadable(const std::string& path, int error) {
    return {ImageProblem::Unreadable,
            Printable(path) + ": cannot read the image: " + std::strerror(error),
            FileErrorFromErrno(error)};
}

// One read of the whole file; `changed` tells whether it was written to meanwhile.
std::variant<std::vector<std::uint8_t>, ImageError> ReadOnce(const std::string& path,
                                                             std::size_t limit, int attempt,
                                                             const AfterChunk& afterChunk,
                                                             bool& changed) {
    errno = 0;
    ImageFileHandle file(path);
    if (!file.valid()) return Unreadable(path, errno != 0 ? errno : ENOENT);
    int error = 0;
    if (!file.readableKind(error)) {
        if (error != 0) return Unreadable(path, error);
        ImageError refused{ImageProblem::Unreadable,
                           Printable(path) + ": cannot read the image: not a regular file",
                           kErrorAccessDenied};
        return refused;
    }
    FileStamp before;
    if (!file.stamp(before)) return Unreadable(path, errno != 0 ? errno : EIO);
    std::vector<std::uint8_t> content;
    std::vector<std::uint8_t> chunk(65536);
    while (content.size() <= limit) {
        const long got = file.read(chunk.data(), chunk.size());
        if (got < 0) return Unreadable(path, errno != 0 ? errno : EIO);
        if (got == 0) break;
        content.insert(content.end(), chunk.begin(), chunk.begin() + got);
        if (afterChunk) afterChunk(attempt);
    }
    FileStamp after;
    if (!file.stamp(after)) return Unreadable(path, errno != 0 ? errno : EIO);
    changed = after != before;
    return content;
}

}  // namespace

std::variant<std::vector<std::uint8_t>, ImageError> ReadStableFile(const std::string& path,
                                                                   std::size_t limit,
                                                                   const AfterChunk& afterChunk) {
    for (int attempt = 1; attempt <= kStableReadAttempts; ++attempt) {
        bool changed = false;
        auto read = ReadOnce(path, limit, attempt, afterChunk, changed);
        if (!changed || std::holds_alternative<ImageError>(read)) return read;
    }
    return ImageError{
        ImageProblem::Unreadable,
        Printable(path) + ": cannot read the image: it was written to while it was read, " +
            std::to_string(kStableReadAttempts) + " times; run again once it is written",
        FileErrorFromErrno(EBUSY)};
}

}  // namespace tolvane::cli
