// What pane 0 of the status bar shows while an update runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vandrel {

inline constexpr char16_t kSearchingText[] = u"Searching device...";

// "Update Percentage = 42%".
std::u16string ProgressText(std::uint32_t percentage);

// Decides, pass by pass, whether the progress text is rewritten. A new run starts with a last
// displayed value of 0, so neither 255 (no data sent yet) nor 0 replaces "Searching device...",
// and a value is never written twice in a row. The pass that first sees the download ended reads
// the value once more: the polling waits between passes, so the last value the download reached
// (100 after a complete transfer) would otherwise show only after the switch back.
class ProgressDisplay {
public:
    // The text to write now, if any, given whether the worker is downloading and the engine's
    // progress value.
    std::optional<std::u16string> next(bool downloading, std::uint32_t percentage);

private:
    std::uint32_t lastShown_ = 0;
    bool wasDownloading_ = false;
};

}  // namespace vandrel
