#include "thread_failure_message.h"

#include <string>

namespace vandrel {

tolvane::ResultMessage ThreadFailureMessage(std::uint32_t systemError) {
    tolvane::ResultMessage message;
    message.text = u"Error code: ";
    const std::string digits = std::to_string(systemError);
    message.text.append(digits.begin(), digits.end());
    message.iconType = tolvane::kIconError;
    return message;
}

}  // namespace vandrel
