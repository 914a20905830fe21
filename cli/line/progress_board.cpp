#include "line/progress_board.h"

#include <algorithm>

namespace tolvane::cli {

ProgressBoard::ProgressBoard(std::ostream& out, bool terminal, bool enabled,
                             std::vector<std::string> ports)
    : out_(out), terminal_(terminal), enabled_(enabled), lines_(ports.size()) {
    std::size_t width = 1;
    for (const std::string& port : ports) width = std::max(width, port.size());
    for (const std::string& port : ports) {
        std::string label = port.empty() ? std::string("-") : port;
        label.append(width - label.size(), ' ');
        labels_.push_back(std::move(label));
    }
}

void ProgressBoard::show(std::size_t index, const std::string& text) {
    if (!enabled_ || index >= lines_.size()) return;
    const std::lock_guard lock(mutex_);
    lines_[index] = text;
    if (terminal_) {
        redrawLocked();
    } else {
        out_ << labels_[index] << "  " << text << '\n';
        out_.flush();
    }
}

void ProgressBoard::redrawLocked() {
    // Back to the first line of the block (ESC [ n F), then every line cleared and written again.
    if (drawn_) out_ << "\x1b[" << lines_.size() << 'F';
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out_ << "\x1b[2K" << labels_[i] << "  " << lines_[i] << '\n';
    }
    out_.flush();
    drawn_ = true;
}

void ProgressBoard::finish() {
    const std::lock_guard lock(mutex_);
    if (enabled_) out_.flush();
}

BoardLineStream::BoardLineStream(ProgressBoard& board, std::size_t index)
    : std::ostream(static_cast<std::streambuf*>(this)), board_(board), index_(index) {
    // An empty put area, so that every character comes to overflow() at once.
    setp(&none_, &none_);
}

std::streambuf::int_type BoardLineStream::overflow(std::streambuf::int_type c) {
    using Traits = std::streambuf::traits_type;
    if (Traits::eq_int_type(c, Traits::eof())) return Traits::not_eof(c);
    const char ch = Traits::to_char_type(c);
    if (ch == '\n') {
        board_.show(index_, pending_);
        pending_.clear();
    } else if (ch != '\r') {
        pending_.push_back(ch);
    }
    return c;
}

int BoardLineStream::sync() {
    return 0;
}

}  // namespace tolvane::cli
