#include "progress_text.h"

#include "dfu_constants.h"

namespace vandrel {

std::u16string ProgressText(std::uint32_t percentage) {
    std::u16string text = u"Update Percentage = ";
    const std::string digits = std::to_string(percentage);
    text.append(digits.begin(), digits.end());
    text.push_back(u'%');
    return text;
}

std::optional<std::u16string> ProgressDisplay::next(bool downloading, std::uint32_t percentage) {
    const bool read = downloading || wasDownloading_;
    wasDownloading_ = downloading;
    if (!read || percentage == tolvane::PERCENTAGE_NONE || percentage == lastShown_)
        return std::nullopt;
    lastShown_ = percentage;
    return ProgressText(percentage);
}

}  // namespace vandrel
