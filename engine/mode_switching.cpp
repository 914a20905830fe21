// Switching the target between its application and its boot loader.
#include "dfu_engine.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tolvane {

namespace {

bool TakesVendorSequence(const TargetDevice& target) {
    return target.vendorId == DFU_VENDOR_ID &&
           std::find(std::begin(VENDOR_SEQUENCE_PRODUCTS), std::end(VENDOR_SEQUENCE_PRODUCTS),
                     target.productId) != std::end(VENDOR_SEQUENCE_PRODUCTS);
}

bool NamesBootLoader(std::uint32_t vid, std::uint32_t pid) {
    return vid == DFU_VENDOR_ID && (pid == DFU_PRODUCT_ID_1 || pid == DFU_PRODUCT_ID_2);
}

}  // namespace

// Each report is built in a buffer of exactly its length, zeros after the meaningful bytes, so a
// device with reports longer than 65 bytes gets its whole report.
bool DfuEngine::SendResetCommand() noexcept {
    TargetDevice& target = state_.target;
    try {
        if (target.handle && target.featureReportLength >= RESET_MIN_REPORT_LENGTH) {
            std::vector<std::uint8_t> report(target.featureReportLength, 0);
            if (TakesVendorSequence(target)) {
                std::copy(std::begin(VENDOR_RESET_SEQUENCE), std::end(VENDOR_RESET_SEQUENCE),
                          report.begin() + 1);
                if (target.handle->setFeature(report) == 0) {
                    return true;
                }
            } else {
                report[1] = DFU_CMD_RESET;
                if (target.handle->setFeature(report) == 0) {
                    return true;
                }
                report[0] = RESET_FALLBACK_REPORT_ID;
                if (target.handle->setFeature(report) == 0) {
                    return true;
                }
            }
        }
        if (target.handle && target.outputReportLength >= RESET_MIN_REPORT_LENGTH) {
            std::vector<std::uint8_t> report(target.outputReportLength, 0);
            report[0] = RESET_OUTPUT_REPORT_ID;
            report[1] = DFU_CMD_RESET;
            if (target.handle->writeOutput(report) == 0) {
                return true;
            }
        }
    } catch (...) {
        // No buffer for the report: nothing was sent.
    }
    return false;
}

ResultCode DfuEngine::awaitChange(ResultCode timeoutResult) noexcept {
    // Held for the whole wait: a stop on any thread closes the event, which ends the wait, but
    // cannot free it under the wait.
    const std::shared_ptr<AutoResetEvent> event = changeEvent();
    if (!event) {
        return timeoutResult;  // no watcher: the wait fails at once
    }
    if (event->wait(CHANGE_TIMEOUT_MS) != WaitResult::Signaled) {
        return timeoutResult;
    }
    state_.pendingChange.store(PendingChange::None);
    return DFU_SUCCESS;
}

ResultCode DfuEngine::ResetToIsp(std::uint32_t vid, std::uint32_t pid) noexcept {
    state_.percentage.store(PERCENTAGE_NONE);
    if (!FindHidDevice(static_cast<std::uint16_t>(vid & 0xFFFF),
                       static_cast<std::uint16_t>(pid & 0xFFFF))) {
        if (findBootLoader()) {
            CloseTarget();
            return DFU_ALREADY_IN_DFU;
        }
        return DFU_ERR_NOT_FOUND;
    }
    // Stored before the command goes out, so the change it causes always finds it set.
    state_.pendingChange.store(PendingChange::DfuArrival);
    // Where the device is, for one more look after the reset (read while it is present).
    resetPort_.clear();
    try {
        std::string port;
        if (bus_.portOf(state_.target.devicePath, port) == 0) {
            resetPort_ = std::move(port);
        }
    } catch (...) {
        resetPort_.clear();
    }
    if (NamesBootLoader(vid, pid)) {
        CloseTarget();
        return DFU_ALREADY_IN_DFU;
    }
    const bool accepted = SendResetCommand();
    CloseTarget();
    if (!accepted) {
        return DFU_ERR_ENTER_DFU;
    }
    return awaitChange(DFU_ERR_DFU_TIMEOUT);
}

bool DfuEngine::LookOnceMoreForBootLoader(std::uint32_t installWaitMs) noexcept {
    bus_.waitNoPendingInstallEvents(installWaitMs);
    if (!findBootLoader()) {
        return false;
    }
    // Unscoped, the boot loader must still be at the port of the device that was reset.
    bool atResetPort = true;
    if (!scope_.port() && !resetPort_.empty()) {
        try {
            std::string port;
            atResetPort = bus_.portOf(state_.target.devicePath, port) == 0 && port == resetPort_;
        } catch (...) {
            atResetPort = false;
        }
    }
    CloseTarget();
    if (!atResetPort) {
        return false;
    }
    state_.pendingChange.store(PendingChange::None);
    return true;
}

ResultCode DfuEngine::ResetToAp() noexcept {
    if (!findBootLoader()) {
        return DFU_ERR_NOT_FOUND;
    }
    state_.pendingChange.store(PendingChange::DfuRemoval);
    const bool accepted = SendResetCommand();
    CloseTarget();
    if (!accepted) {
        return DFU_ERR_RESET_TO_AP;
    }
    return awaitChange(DFU_ERR_AP_TIMEOUT);
}

}  // namespace tolvane
