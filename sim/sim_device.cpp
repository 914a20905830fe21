#include "sim_device.h"

#include "interface_path.h"
#include "sim_bus.h"
#include "system_services.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace tolvane::sim {

namespace {

constexpr std::uint8_t kResetCommand = 0x44;
constexpr std::uint8_t kFallbackReportId = 0x40;
constexpr std::uint8_t kOutputReportId = 0x0C;
constexpr std::uint8_t kVendorSequence[] = {0x55, 0x23, 0x01, 0x09, 0x00, 0x86};
constexpr std::uint32_t kFirstInstance = 0x1a2b3c4d;

bool IsVendorSequence(std::span<const std::uint8_t> report) {
    return report.size() > sizeof kVendorSequence &&
           std::equal(std::begin(kVendorSequence), std::end(kVendorSequence), report.begin() + 1);
}

SysError RefusedError(const InterfaceSpec& config) {
    return config.resetRefusedError != 0 ? config.resetRefusedError : kErrorGenFailure;
}

std::string MadePort(const DeviceSpec& config, std::uint32_t number) {
    return config.port.empty() ? "1-" + std::to_string(number) : config.port;
}

std::u16string MadeSerial(const DeviceSpec& config, std::uint32_t number) {
    if (!config.serial.empty()) return config.serial;
    char digits[16];
    std::snprintf(digits, sizeof digits, "SIM%06u", static_cast<unsigned>(number % 1000000));
    return std::u16string(digits, digits + std::strlen(digits));
}

}  // namespace

SimDevice::SimDevice(SimBus& bus, DeviceSpec config, std::uint32_t number)
    : bus_(bus),
      spec_(std::move(config)),
      number_(number),
      port_(MadePort(spec_, number)),
      serial_(MadeSerial(spec_, number)) {}

std::optional<Mode> SimDevice::mode() const {
    std::lock_guard lock(bus_.mutex_);
    return current_;
}

DeviceMemory SimDevice::memory() const {
    std::lock_guard lock(bus_.mutex_);
    return memory_;
}

std::vector<std::u16string> SimDevice::paths() const {
    std::lock_guard lock(bus_.mutex_);
    std::vector<std::u16string> paths;
    for (const auto& instance : instances_) paths.push_back(instance->path);
    return paths;
}

std::u16string SimDevice::pathOf(Mode mode, std::size_t interfaceIndex) const {
    std::lock_guard lock(bus_.mutex_);
    return pathOfLocked(mode, interfaceIndex);
}

std::u16string SimDevice::pathOfLocked(Mode mode, std::size_t interfaceIndex) const {
    const Identity& identity = spec_.identity(mode);
    const InterfaceSpec& config = identity.interfaces.at(interfaceIndex);
    if (!config.path.empty()) return config.path;
    const std::uint32_t instance =
        kFirstInstance + (number_ - 1) * 2 + (mode == Mode::Application ? 1 : 0);
    return MakeInterfacePath(identity.vendorId, identity.productId, config.collectionSuffix,
                             instance, static_cast<std::uint32_t>(interfaceIndex));
}

void SimDevice::unplug() {
    {
        std::lock_guard lock(bus_.mutex_);
        leaveLocked();
        bus_.flushLocked();
    }
    bus_.timeline_.settle();
}

void SimDevice::plugIn(Mode mode) {
    {
        std::lock_guard lock(bus_.mutex_);
        if (!current_) arriveLocked(mode);
        bus_.flushLocked();
    }
    bus_.timeline_.settle();
}

void SimDevice::addRefusal(Mode mode, Refusal refusal, std::size_t interfaceIndex) {
    std::lock_guard lock(bus_.mutex_);
    spec_.identity(mode).interfaces.at(interfaceIndex).refusals.push_back(refusal);
}

void SimDevice::setWrongChecksum(bool wrong) {
    std::lock_guard lock(bus_.mutex_);
    spec_.wrongChecksum = wrong;
}

InterfaceSpec& SimDevice::specOf(const InterfaceInstance& instance) {
    return spec_.identity(instance.mode).interfaces.at(instance.index);
}

ReportKind SimDevice::classifySetLocked(std::span<const std::uint8_t> report) const {
    if (report.size() < 2) return ReportKind::OtherFeatureSet;
    if (report[0] == kFallbackReportId) {
        return report[1] == kResetCommand ? ReportKind::ResetFeature40
                                          : ReportKind::OtherFeatureSet;
    }
    if (report[0] != 0x00) return ReportKind::OtherFeatureSet;
    if (current_ == Mode::BootLoader && !spec_.plain) return protocol_.classifySet(report);
    if (report[1] == kResetCommand || IsVendorSequence(report)) return ReportKind::ResetFeature00;
    return ReportKind::OtherFeatureSet;
}

std::uint32_t SimDevice::reportNumberLocked(ReportKind kind) const {
    if (kind == ReportKind::Data) return memory_.dataReports + 1;
    if (kind == ReportKind::Any) {
        std::uint32_t all = 0;
        for (const auto& [k, n] : accepted_) all += n;
        return all + 1;
    }
    const auto found = accepted_.find(kind);
    return (found == accepted_.end() ? 0 : found->second) + 1;
}

void SimDevice::acceptedLocked(ReportKind kind) {
    holdMs_ = 0;
    for (const HoldRule& rule : spec_.holdRules) {
        if (rule.kind != ReportKind::Any && rule.kind != kind) continue;
        // A data report's bytes are in the memory already: its number is the count.
        const std::uint32_t number =
            reportNumberLocked(rule.kind) - (rule.kind == ReportKind::Data ? 1 : 0);
        if (rule.reportNumber == number) holdMs_ = rule.ms;
    }
    ++accepted_[kind];
}

std::uint32_t SimDevice::takeHoldLocked() {
    return std::exchange(holdMs_, 0);
}

SysError SimDevice::rulesLocked(InterfaceSpec& config, ReportKind kind, bool sent, bool& left) {
    left = false;
    for (const UnplugRule& rule : spec_.unplugRules) {
        if (rule.kind != ReportKind::Any && rule.kind != kind) continue;
        if (reportNumberLocked(rule.kind == ReportKind::Any ? ReportKind::Any : kind) ==
            rule.reportNumber) {
            // The transfer under way breaks (the kernel's uhid answers it with an I/O error),
            // unless its data was acknowledged before the device left (USB); only the calls
            // after it find the device gone.
            leaveLocked();
            left = true;
            return sent && rule.acknowledged ? 0 : kErrorGenFailure;
        }
    }
    const std::uint32_t number = reportNumberLocked(kind);
    for (Refusal& refusal : config.refusals) {
        if (refusal.kind != ReportKind::Any && refusal.kind != kind) continue;
        if (refusal.reportNumber != 0 && refusal.reportNumber != number) continue;
        if (refusal.fault.strike()) {
            // A refused report always carries an error number.
            return refusal.fault.error != 0 ? refusal.fault.error : kErrorGenFailure;
        }
    }
    return 0;
}

SysError SimDevice::setFeatureLocked(const InterfaceInstance& instance,
                                     std::span<const std::uint8_t> report) {
    if (!instance.present) return kErrorDeviceNotConnected;
    InterfaceSpec& config = specOf(instance);
    if (report.size() != config.featureReportLength || report.empty())
        return kErrorInvalidParameter;
    const ReportKind kind = classifySetLocked(report);
    bool left = false;
    if (const SysError error = rulesLocked(config, kind, true, left)) return error;
    if (left) return 0;
    switch (kind) {
        case ReportKind::ResetFeature00:
        case ReportKind::ResetFeature40: {
            const std::uint32_t form = kind == ReportKind::ResetFeature40 ? kResetFeature40
                                       : IsVendorSequence(report)         ? kResetVendor
                                                                          : kResetFeature00;
            if ((config.acceptedResets & form) == 0) return RefusedError(config);
            acceptedLocked(kind);
            resetLocked();
            return 0;
        }
        case ReportKind::OtherFeatureSet:
            ++memory_.ignoredReports;
            acceptedLocked(kind);
            return 0;
        default:
            protocol_.applySet(kind, report, memory_);
            acceptedLocked(kind);
            return 0;
    }
}

SysError SimDevice::getFeatureLocked(const InterfaceInstance& instance,
                                     std::span<std::uint8_t> report) {
    if (!instance.present) return kErrorDeviceNotConnected;
    InterfaceSpec& config = specOf(instance);
    if (report.size() != config.featureReportLength || report.empty())
        return kErrorInvalidParameter;
    const bool bootLoader = current_ == Mode::BootLoader && !spec_.plain;
    const ReportKind kind = bootLoader ? protocol_.classifyGet() : ReportKind::OtherFeatureGet;
    bool left = false;
    if (const SysError error = rulesLocked(config, kind, false, left)) return error;
    if (bootLoader) {
        protocol_.answerGet(kind, report, memory_, spec_.wrongChecksum);
    } else {
        std::fill(report.begin() + 1, report.end(), std::uint8_t{0});
    }
    acceptedLocked(kind);
    return 0;
}

SysError SimDevice::writeOutputLocked(const InterfaceInstance& instance, DeviceAccess access,
                                      std::span<const std::uint8_t> report) {
    if (!instance.present) return kErrorDeviceNotConnected;
    if (access == DeviceAccess::None) return kErrorAccessDenied;
    InterfaceSpec& config = specOf(instance);
    if (config.outputReportLength == 0) return kErrorInvalidFunction;
    if (report.size() < config.outputReportLength) return kErrorInvalidParameter;
    if (report.size() > config.outputReportLength) return kErrorInvalidUserBuffer;
    const ReportKind kind =
        report.size() > 1 && report[0] == kOutputReportId && report[1] == kResetCommand
            ? ReportKind::ResetOutput0C
            : ReportKind::OtherOutput;
    bool left = false;
    if (const SysError error = rulesLocked(config, kind, true, left)) return error;
    if (left) return 0;
    if (kind == ReportKind::ResetOutput0C) {
        if ((config.acceptedResets & kResetOutput0C) == 0) return RefusedError(config);
        acceptedLocked(kind);
        resetLocked();
        return 0;
    }
    ++memory_.ignoredReports;
    acceptedLocked(kind);
    return 0;
}

void SimDevice::resetLocked() {
    if (spec_.plain || !current_) return;
    if (*current_ == Mode::Application) {
        ++memory_.entriesToBootLoader;
        leaveAndReturnLocked(Mode::BootLoader, spec_.bootLoaderArrivalMs,
                             spec_.neverEntersBootLoader);
    } else {
        ++memory_.entriesToApplication;
        leaveAndReturnLocked(Mode::Application, spec_.applicationArrivalMs,
                             spec_.neverReturnsToApplication);
    }
}

void SimDevice::leaveAndReturnLocked(Mode comesBackAs, std::uint32_t afterMs, bool never) {
    auto comeBack = [this, comesBackAs, afterMs, never] {
        if (never) return;
        const std::uint64_t generation = generation_;
        bus_.timeline_.schedule(bus_.timeline_.nowMs() + afterMs, [this, generation, comesBackAs] {
            std::lock_guard lock(bus_.mutex_);
            if (generation_ == generation && !current_) arriveLocked(comesBackAs);
            bus_.flushLocked();
        });
    };
    if (spec_.leaveAfterResetMs == 0) {
        leaveLocked();
        comeBack();
        return;
    }
    const std::uint64_t generation = generation_;
    bus_.timeline_.schedule(bus_.timeline_.nowMs() + spec_.leaveAfterResetMs,
                            [this, generation, comeBack] {
                                std::lock_guard lock(bus_.mutex_);
                                if (generation_ != generation || !current_) return;
                                leaveLocked();
                                comeBack();
                                bus_.flushLocked();
                            });
}

void SimDevice::arriveLocked(Mode mode) {
    if (mode == Mode::Application && spec_.versionAfterDownload && memory_.setups > 0) {
        spec_.application.versionNumber = *spec_.versionAfterDownload;
    }
    current_ = mode;
    ++generation_;
    protocol_.reset();
    instances_.clear();
    const Identity& identity = spec_.identity(mode);
    for (std::size_t i = 0; i < identity.interfaces.size(); ++i) {
        auto instance = std::make_shared<InterfaceInstance>();
        instance->path = pathOfLocked(mode, i);
        instance->index = i;
        instance->mode = mode;
        instances_.push_back(instance);
    }
    bus_.updatePortsLocked();
    for (const auto& instance : instances_) {
        bus_.recordChangeLocked(
            {.call = Call::DeviceArrived,
             .value = static_cast<std::uint32_t>(identity.vendorId) << 16 | identity.productId,
             .path = instance->path});
        bus_.notifyLocked(kDeviceArrival, instance->path);
        if (spec_.duplicateArrivals) bus_.notifyLocked(kDeviceArrival, instance->path);
    }
}

void SimDevice::leaveLocked() {
    if (!current_) return;
    const auto leaving = std::move(instances_);
    instances_.clear();
    current_.reset();
    ++generation_;
    for (const auto& instance : leaving) instance->present = false;
    bus_.updatePortsLocked();
    if (spec_.queryRemoveFirst) {
        for (const auto& instance : leaving) {
            bus_.recordChangeLocked({.call = Call::DeviceQueryRemove, .path = instance->path});
            bus_.notifyLocked(kDeviceQueryRemove, instance->path);
        }
    }
    for (const auto& instance : leaving) {
        bus_.recordChangeLocked({.call = Call::DeviceRemoved, .path = instance->path});
        bus_.notifyLocked(kDeviceRemoveComplete, instance->path);
    }
}

}  // namespace tolvane::sim
