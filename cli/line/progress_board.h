// Progress of several devices at once on one console: on a terminal one line per device, redrawn
// in place; otherwise each line as it comes, prefixed with its device's port.
#pragma once

#include <mutex>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace tolvane::cli {

class ProgressBoard {
public:
    // Writes nothing when `enabled` is false.
    ProgressBoard(std::ostream& out, bool terminal, bool enabled, std::vector<std::string> ports);
    ProgressBoard(const ProgressBoard&) = delete;
    ProgressBoard& operator=(const ProgressBoard&) = delete;

    // The latest line of the device at `index` (into the ports); from any thread.
    void show(std::size_t index, const std::string& text);
    // Ends the drawing; the last lines stay.
    void finish();

private:
    void redrawLocked();

    std::mutex mutex_;
    std::ostream& out_;
    const bool terminal_;
    const bool enabled_;
    std::vector<std::string> labels_;  // ports padded to one width
    std::vector<std::string> lines_;
    bool drawn_ = false;
};

// A stream whose every finished line becomes the latest line of one device on a board, so that a
// single-device progress display can draw into it unchanged.
class BoardLineStream final : private std::streambuf, public std::ostream {
public:
    BoardLineStream(ProgressBoard& board, std::size_t index);
    BoardLineStream(const BoardLineStream&) = delete;
    BoardLineStream& operator=(const BoardLineStream&) = delete;

private:
    int sync() override;
    std::streambuf::int_type overflow(std::streambuf::int_type c) override;

    ProgressBoard& board_;
    const std::size_t index_;
    std::string pending_;
    char none_ = 0;
};

}  // namespace tolvane::cli
