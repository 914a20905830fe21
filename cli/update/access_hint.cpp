#include "update/access_hint.h"

namespace tolvane::cli {
namespace {

std::string Describe(SysError error, const std::function<std::string(SysError)>& errorText) {
    std::string text = "error " + std::to_string(error);
    if (errorText) text += " (" + errorText(error) + ")";
    return text;
}

std::string Counted(const std::map<SysError, int>& byError,
                    const std::function<std::string(SysError)>& errorText) {
    int total = 0;
    for (const auto& [error, count] : byError) total += count;
    std::string text = std::to_string(total) + (total == 1 ? " HID interface" : " HID interfaces");
    text += " could not be opened:";
    bool first = true;
    for (const auto& [error, count] : byError) {
        text += first ? " " : ", ";
        first = false;
        if (byError.size() > 1) text += std::to_string(count) + " with ";
        text += Describe(error, errorText);
    }
    return text + ".";
}

std::string Fix() {
#ifdef __linux__
    return "To let users open the device, run `sudo tolvane install-udev-rules` (add --vid HEX "
           "--pid HEX for an application identity of your own) and plug the device in again.";
#else
    return "Close any other program that uses the device, or run the tool as administrator.";
#endif
}

}  // namespace

std::vector<std::string> AccessHint(ResultCode code, const OpenFailures& failures,
                                    const std::function<std::string(SysError)>& errorText) {
    std::vector<std::string> lines;
    if (code == DFU_ERR_NOT_FOUND && !failures.unopened.empty()) {
        lines.push_back(Counted(failures.unopened, errorText) + " The device may be among them.");
        if (failures.unopened.contains(kErrorAccessDenied)) lines.push_back(Fix());
    } else if (code != DFU_SUCCESS && code != DFU_ALREADY_IN_DFU &&
               (code == kErrorAccessDenied || failures.queryOnly.contains(kErrorAccessDenied))) {
        lines.push_back("The device was found, but the system refused to open it for writing: " +
                        Describe(kErrorAccessDenied, errorText) + ".");
        lines.push_back(Fix());
    }
    return lines;
}

}  // namespace tolvane::cli
