#include "image_limit.h"

#include "dfu_constants.h"

#include <string>

namespace vandrel {
namespace {

void AppendDecimal(std::u16string& text, std::uint32_t value) {
    const std::string digits = std::to_string(value);
    text.append(digits.begin(), digits.end());
}

}  // namespace

std::optional<tolvane::ResultMessage> OversizedImageMessage(std::uint32_t size) {
    if (size <= tolvane::DOWNLOAD_MAX_IMAGE_SIZE) return std::nullopt;
    tolvane::ResultMessage message;
    message.text = u"The firmware image is too large: ";
    AppendDecimal(message.text, size);
    message.text += u" bytes. The boot loader accepts at most ";
    AppendDecimal(message.text, tolvane::DOWNLOAD_MAX_IMAGE_SIZE);
    message.text += u" bytes; the device was not touched.";
    message.iconType = tolvane::kIconWarning;
    return message;
}

}  // namespace vandrel
