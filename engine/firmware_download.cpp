// Writing a firmware image into the boot loader through feature reports.
#include "dfu_engine.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>
#include <vector>

namespace tolvane {

namespace {

constexpr std::uint8_t kReportId = 0x00;

// Errors that say a transfer ran out of time, not that the device refused it: cancelled at the
// platform's limit (995), ended at the system's own (1460; 121 from a driver's wait).
constexpr bool TimedOut(SysError error) {
    return error == kErrorOperationAborted || error == kErrorTimeout || error == kErrorSemTimeout;
}

// Whether a failed attempt proves that the device refused the report, so that sending it again
// cannot make the boot loader count its bytes twice: data reports carry no sequence number. A
// refusal is a stall, answered at once; a time-out, or any failure that came after a wait (over
// uhid a refusal and a time-out both read as an I/O error), may follow a report the device took
// before it held the status stage. A device that has left takes no attempt at all.
constexpr bool ProvesRefusal(SysError error, std::uint64_t tookMs) {
    return error != kErrorDeviceNotConnected && !TimedOut(error) &&
           tookMs < DOWNLOAD_REFUSAL_ANSWER_MS;
}

SysError SetFeatureWithin(HidDevice& device, std::uint32_t limitMs,
                          std::span<const std::uint8_t> report) {
    // A backend whose system keeps its own limit says so; the transfer goes ahead under it.
    (void)device.setTransferLimit(limitMs);
    return device.setFeature(report);
}

SysError GetFeatureWithin(HidDevice& device, std::uint32_t limitMs,
                          std::span<std::uint8_t> report) {
    (void)device.setTransferLimit(limitMs);
    return device.getFeature(report);
}

// Sends one data report. A refused attempt is retried up to DOWNLOAD_DATA_RETRIES times,
// DOWNLOAD_RETRY_PAUSE_MS apart; any other failure ends it at once. All attempts together stay
// within DOWNLOAD_LONG_TRANSFER_LIMIT_MS: each gets what is left of it as its limit, and no retry
// starts once it is spent.
SysError SendDataReport(HidDevice& device, SystemServices& services,
                        std::span<const std::uint8_t> report) {
    const std::uint64_t start = services.nowMs();
    for (std::uint32_t retry = 0;; ++retry) {
        const std::uint64_t attemptStart = services.nowMs();
        const auto left =
            static_cast<std::uint32_t>(DOWNLOAD_LONG_TRANSFER_LIMIT_MS - (attemptStart - start));
        const SysError error = SetFeatureWithin(device, left, report);
        if (error == 0) {
            return 0;
        }
        const std::uint64_t end = services.nowMs();
        if (!ProvesRefusal(error, end - attemptStart) || retry == DOWNLOAD_DATA_RETRIES ||
            end - start + DOWNLOAD_RETRY_PAUSE_MS >= DOWNLOAD_LONG_TRANSFER_LIMIT_MS) {
            return error;
        }
        services.sleep(DOWNLOAD_RETRY_PAUSE_MS);
    }
}

// Start and finish query: command byte 1, 0x02 in byte 7.
void BuildQuery(std::vector<std::uint8_t>& report) {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    report[0] = kReportId;
    report[1] = DFU_CMD_QUERY;
    report[7] = 0x02;
}

// Setup: the low 24 bits of address and size, high byte first.
void BuildSetup(std::vector<std::uint8_t>& report, std::uint32_t address, std::uint32_t size) {
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    report[0] = kReportId;
    report[1] = DFU_CMD_SETUP;
    report[2] = static_cast<std::uint8_t>(address >> 16);
    report[3] = static_cast<std::uint8_t>(address >> 8);
    report[4] = static_cast<std::uint8_t>(address);
    report[5] = static_cast<std::uint8_t>(size >> 16);
    report[6] = static_cast<std::uint8_t>(size >> 8);
    report[7] = static_cast<std::uint8_t>(size);
}

}  // namespace

ResultCode DfuEngine::Download(const std::uint8_t* image, std::uint32_t address, std::uint32_t size,
                               std::uint32_t checksum) noexcept {
    state_.bytesSent.store(0);
    if (size == 0) {
        return DFU_SUCCESS;
    }
    // The setup report cannot announce a larger image, and there is nothing to read without one.
    if (image == nullptr || size > DOWNLOAD_MAX_IMAGE_SIZE) {
        return kErrorInvalidParameter;
    }
    state_.percentage.store(PERCENTAGE_NONE);
    state_.reportedChecksum.reset();
    ResultCode result = DFU_SUCCESS;
    try {
        // The retry pauses are 8 ms: a coarse system timer would stretch each to its own period.
        const std::unique_ptr<TimerResolutionHold> fineTimer = services_.holdFineTimerResolution();
        result = downloadFound(image, address, size, checksum);
    } catch (const std::bad_alloc&) {
        result = kErrorOutOfMemory;
    } catch (...) {
        result = kErrorGenFailure;
    }
    bus_.waitNoPendingInstallEvents(DOWNLOAD_FINAL_INSTALL_WAIT_MS);
    CloseTarget();
    return result;
}

// Looks for the boot loader a few times; then waits for the system to finish installing the
// devices that arrived, and looks once more.
bool DfuEngine::awaitBootLoader() {
    bool found = false;
    for (std::uint32_t pass = 0; pass < DOWNLOAD_SEARCH_PASSES && !found; ++pass) {
        found = findBootLoader();
        if (!found) {
            services_.sleep(DOWNLOAD_SEARCH_PAUSE_MS);
        }
    }
    if (!found) {
        for (std::uint32_t wait = 0; wait < DOWNLOAD_INSTALL_WAITS; ++wait) {
            if (wait != 0) {
                services_.sleep(DOWNLOAD_INSTALL_PAUSE_MS);
            }
            bus_.waitNoPendingInstallEvents(kInfinite);
        }
        found = findBootLoader();
    }
    return found;
}

// Everything between the argument checks and the clean-up. The report buffer lives here, so it
// is released before the clean-up's installation wait.
ResultCode DfuEngine::downloadFound(const std::uint8_t* image, std::uint32_t address,
                                    std::uint32_t size, std::uint32_t checksum) {
    if (!awaitBootLoader()) {
        return DFU_ERR_NOT_FOUND;
    }
    const std::uint8_t length = state_.target.featureReportLength;
    if (length < DOWNLOAD_MIN_FEATURE_REPORT_LENGTH) {
        return DFU_ERR_NOT_FOUND;
    }
    // A failed allocation ends in Download's handler as ERROR_OUTOFMEMORY.
    std::vector<std::uint8_t> report(length);
    HidDevice& device = *state_.target.handle;

    // No report is ever sent twice after a transfer that may have reached the device: the
    // queries and the start answer get the default limit, the setup, the data and the checksum
    // answer the long one, as the boot loader may hold them while it erases, writes or checks.
    BuildQuery(report);
    if (const SysError error = SetFeatureWithin(device, kDefaultTransferLimitMs, report);
        error != 0) {
        return error;
    }
    // The start answer's content is not examined: only that it was read.
    if (const SysError error = GetFeatureWithin(device, kDefaultTransferLimitMs, report);
        error != 0) {
        return error;
    }
    BuildSetup(report, address, size);
    if (const SysError error = SetFeatureWithin(device, DOWNLOAD_LONG_TRANSFER_LIMIT_MS, report);
        error != 0) {
        return error;
    }
    services_.sleep(SetupPauseMs(size));

    const std::uint32_t capacity = length - 1U;
    std::uint32_t sent = 0;
    while (sent < size) {
        const std::uint32_t count = std::min(capacity, size - sent);
        std::fill(report.begin(), report.end(), std::uint8_t{0});
        std::memcpy(report.data() + 1, image + sent, count);
        const SysError error = SendDataReport(device, services_, report);
        // Also on the last report: going on to the checksum would let a device that never got
        // the final bytes pass whenever they sum to zero.
        if (error != 0) {
            return error;
        }
        sent += count;
        state_.bytesSent.store(sent);
        state_.percentage.store(
            static_cast<std::uint32_t>(std::uint64_t{sent} * 100U / std::uint64_t{size}));
    }

    state_.percentage.store(100);
    BuildQuery(report);
    if (const SysError error = SetFeatureWithin(device, kDefaultTransferLimitMs, report);
        error != 0) {
        return error;
    }
    std::fill(report.begin(), report.end(), std::uint8_t{0});
    if (const SysError error = GetFeatureWithin(device, DOWNLOAD_LONG_TRANSFER_LIMIT_MS, report);
        error != 0) {
        return error;
    }
    state_.reportedChecksum = static_cast<std::uint16_t>(report[1] << 8 | report[2]);
    const bool matches = report[1] == static_cast<std::uint8_t>(checksum >> 8) &&
                         report[2] == static_cast<std::uint8_t>(checksum);
    return matches ? DFU_SUCCESS : DFU_ERR_VERIFY;
}

}  // namespace tolvane
