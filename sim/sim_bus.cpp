#include "sim_bus.h"

#include "interface_path.h"

#include <algorithm>

namespace tolvane::sim {

// An open interface. Every call takes the bus's lock; the report's time is spent after it.
class SimHidDevice final : public HidDevice {
public:
    SimHidDevice(SimBus& bus, SimDevice& device, std::shared_ptr<InterfaceInstance> instance,
                 DeviceAccess access, std::uint32_t id)
        : bus_(bus), device_(device), instance_(std::move(instance)), access_(access), id_(id) {}

    ~SimHidDevice() override {
        std::lock_guard lock(bus_.mutex_);
        --bus_.handlesHeld_;
        bus_.record({.call = Call::CloseDevice, .handle = id_, .path = instance_->path});
    }
    SimHidDevice(const SimHidDevice&) = delete;
    SimHidDevice& operator=(const SimHidDevice&) = delete;

    SysError getAttributes(HidAttributes& attributes) override {
        std::lock_guard lock(bus_.mutex_);
        SysError error = kErrorDeviceNotConnected;
        std::uint32_t ids = 0;
        if (instance_->present) {
            const Identity& identity = device_.spec_.identity(instance_->mode);
            error = device_.specOf(*instance_).attributesError;
            if (error == 0) {
                attributes.vendorId = identity.vendorId;
                attributes.productId = identity.productId;
                attributes.versionNumber = identity.versionNumber;
                ids = static_cast<std::uint32_t>(identity.vendorId) << 16 | identity.productId;
            }
        }
        bus_.record({.call = Call::GetAttributes, .error = error, .value = ids, .handle = id_});
        return error;
    }

    SysError getCapabilities(HidCapabilities& capabilities) override {
        std::lock_guard lock(bus_.mutex_);
        SysError error = kErrorDeviceNotConnected;
        if (instance_->present) {
            const InterfaceSpec& config = device_.specOf(*instance_);
            error = config.capabilitiesError;
            if (error == 0) {
                capabilities.inputReportByteLength = config.inputReportLength;
                capabilities.outputReportByteLength = config.outputReportLength;
                capabilities.featureReportByteLength = config.featureReportLength;
            }
        }
        bus_.record({.call = Call::GetCapabilities,
                     .error = error,
                     .value = error == 0 ? capabilities.featureReportByteLength : 0u,
                     .handle = id_});
        return error;
    }

    SysError setFeature(std::span<const std::uint8_t> report) override {
        return transfer(Call::SetFeature, report,
                        [&] { return device_.setFeatureLocked(*instance_, report); });
    }

    SysError getFeature(std::span<std::uint8_t> report) override {
        return transfer(Call::GetFeature, report,
                        [&] { return device_.getFeatureLocked(*instance_, report); });
    }

    SysError writeOutput(std::span<const std::uint8_t> report) override {
        return transfer(Call::WriteOutput, report,
                        [&] { return device_.writeOutputLocked(*instance_, access_, report); });
    }

    SysError getSerialNumber(std::u16string& serial) override {
        std::lock_guard lock(bus_.mutex_);
        serial.clear();
        if (!instance_->present) return kErrorDeviceNotConnected;
        serial = device_.serial_;
        return 0;
    }

    // As on Windows, where the limit is the wait before the transfer is cancelled.
    SysError setTransferLimit(std::uint32_t limitMs) override {
        std::lock_guard lock(bus_.mutex_);
        limitMs_ = limitMs;
        return 0;
    }

private:
    // One report through the device: handled and recorded under the bus's lock (the buffer as it
    // stands afterwards), then what it changed reaches other threads, then the time the transfer
    // takes: the status stage the device holds and the report's pace, cut off at the handle's
    // limit, where the transfer is cancelled whatever the device made of the report.
    template <typename Handle>
    SysError transfer(Call call, std::span<const std::uint8_t> report, Handle handle) {
        SysError error = 0;
        bool changed = false;
        std::uint64_t takesMs = 0;
        {
            std::lock_guard lock(bus_.mutex_);
            error = handle();
            takesMs = std::uint64_t{device_.takeHoldLocked()} + device_.spec_.reportPaceMs;
            if (takesMs > limitMs_) {
                takesMs = limitMs_;
                error = kErrorOperationAborted;
            }
            bus_.record({.call = call,
                         .error = error,
                         .handle = id_,
                         .bytes = {report.begin(), report.end()}});
            changed = bus_.flushLocked();
        }
        if (changed) bus_.timeline_.settle();
        if (takesMs > 0) bus_.timeline_.spend(static_cast<std::uint32_t>(takesMs));
        return error;
    }

    SimBus& bus_;
    SimDevice& device_;
    std::shared_ptr<InterfaceInstance> instance_;
    const DeviceAccess access_;
    const std::uint32_t id_;
    std::uint32_t limitMs_ = kDefaultTransferLimitMs;
};

// A snapshot of the interfaces present when it was taken.
class SimInterfaceList final : public HidInterfaceList {
public:
    SimInterfaceList(SimBus& bus, std::vector<std::pair<std::u16string, bool>> interfaces)
        : bus_(bus), interfaces_(std::move(interfaces)) {}
    ~SimInterfaceList() override {
        std::lock_guard lock(bus_.mutex_);
        --bus_.listsHeld_;
        bus_.record({.call = Call::DestroyList});
    }
    SimInterfaceList(const SimInterfaceList&) = delete;
    SimInterfaceList& operator=(const SimInterfaceList&) = delete;

    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override {
        InterfaceLookup result = InterfaceLookup::End;
        if (index < interfaces_.size()) {
            result = interfaces_[index].second ? InterfaceLookup::Failed : InterfaceLookup::Found;
            if (result == InterfaceLookup::Found) path = interfaces_[index].first;
        }
        std::lock_guard lock(bus_.mutex_);
        bus_.record({.call = Call::InterfaceLookup,
                     .value = index,
                     .result = static_cast<int>(result),
                     .path = result == InterfaceLookup::Found ? path : std::u16string()});
        return result;
    }

private:
    SimBus& bus_;
    std::vector<std::pair<std::u16string, bool>> interfaces_;  // path, detail record fails
};

class SimRegistration final : public NotificationRegistration {
public:
    SimRegistration(SimBus& bus, std::uint32_t id) : bus_(bus), id_(id) {}
    ~SimRegistration() override { unregister(); }
    SimRegistration(const SimRegistration&) = delete;
    SimRegistration& operator=(const SimRegistration&) = delete;

    SysError unregister() override {
        std::lock_guard lock(bus_.mutex_);
        if (!active_) return 0;
        active_ = false;
        auto& all = bus_.registrations_;
        all.erase(
            std::remove_if(all.begin(), all.end(), [this](const auto& r) { return r.id == id_; }),
            all.end());
        --bus_.registrationsHeld_;
        bus_.record({.call = Call::Unregister, .handle = id_});
        return 0;
    }

private:
    SimBus& bus_;
    const std::uint32_t id_;
    bool active_ = true;
};

SimBus::SimBus(Timeline& timeline, Transcript& transcript)
    : timeline_(timeline), transcript_(transcript) {}

SimBus::~SimBus() {
    timeline_.cancelAll();
}

void SimBus::record(Entry entry) {
    entry.atMs = timeline_.nowMs();
    transcript_.record(std::move(entry));
}

void SimBus::notifyLocked(std::uint32_t eventType, const std::u16string& path) {
    outbox_.emplace_back(eventType, path);
}

void SimBus::recordChangeLocked(Entry entry) {
    changes_.push_back(std::move(entry));
}

bool SimBus::flushLocked() {
    for (Entry& change : changes_) record(std::move(change));
    changes_.clear();
    if (outbox_.empty()) return false;
    for (const auto& [eventType, path] : outbox_) {
        for (const Registration& registration : registrations_) {
            registration.window->deliverDeviceChange(eventType, path);
        }
    }
    outbox_.clear();
    return true;
}

SimDevice& SimBus::addDevice(DeviceSpec config) {
    SimDevice& device = addDeviceLocked(std::move(config));
    timeline_.settle();
    return device;
}

SimDevice& SimBus::addDeviceLocked(DeviceSpec config) {
    std::lock_guard lock(mutex_);
    const auto number = static_cast<std::uint32_t>(devices_.size() + 1);
    const std::uint32_t delay = config.appearAfterMs;
    const Mode mode = config.startsIn;
    devices_.push_back(std::make_unique<SimDevice>(*this, std::move(config), number));
    SimDevice& device = *devices_.back();
    if (delay == 0) {
        device.arriveLocked(mode);
        flushLocked();
    } else {
        const std::uint64_t generation = device.generation_;
        timeline_.schedule(timeline_.nowMs() + delay, [this, &device, generation, mode] {
            std::lock_guard inner(mutex_);
            if (device.generation_ == generation && !device.current_) device.arriveLocked(mode);
            flushLocked();
        });
    }
    return device;
}

std::vector<SimDevice*> SimBus::devices() const {
    std::lock_guard lock(mutex_);
    std::vector<SimDevice*> all;
    for (const auto& device : devices_) all.push_back(device.get());
    return all;
}

std::vector<std::u16string> SimBus::presentPaths() const {
    std::lock_guard lock(mutex_);
    std::vector<std::u16string> paths;
    for (const auto& device : devices_) {
        for (const auto& instance : device->instances_) paths.push_back(instance->path);
    }
    return paths;
}

void SimBus::failListInterfaces(std::uint32_t times) {
    std::lock_guard lock(mutex_);
    listFault_ = Fault{kErrorInvalidFunction, times};
}

void SimBus::failRegistration(SysError error, std::uint32_t times) {
    std::lock_guard lock(mutex_);
    registrationFault_ = Fault{error, times};
}

void SimBus::setInstallWaitMs(std::uint32_t ms) {
    std::lock_guard lock(mutex_);
    installWaitMs_ = ms;
}

Held SimBus::held() const {
    std::lock_guard lock(mutex_);
    Held held;
    held.deviceHandles = handlesHeld_;
    held.interfaceLists = listsHeld_;
    held.registrations = registrationsHeld_;
    return held;
}

std::unique_ptr<HidInterfaceList> SimBus::listInterfaces() {
    std::lock_guard lock(mutex_);
    if (listFault_.strike()) {
        record({.call = Call::ListInterfaces, .error = listFault_.error});
        return nullptr;
    }
    std::vector<std::pair<std::u16string, bool>> interfaces;
    for (const auto& device : devices_) {
        for (const auto& instance : device->instances_) {
            interfaces.emplace_back(instance->path, device->specOf(*instance).detailFails);
        }
    }
    ++listsHeld_;
    record({.call = Call::ListInterfaces, .value = static_cast<std::uint32_t>(interfaces.size())});
    return std::make_unique<SimInterfaceList>(*this, std::move(interfaces));
}

std::pair<SimDevice*, std::shared_ptr<InterfaceInstance>> SimBus::findLocked(
    std::u16string_view path) {
    for (const auto& candidate : devices_) {
        for (const auto& present : candidate->instances_) {
            if (SamePath(present->path, path)) return {candidate.get(), present};
        }
    }
    return {nullptr, nullptr};
}

void SimBus::updatePortsLocked() {
    std::unordered_map<std::u16string, std::string> table;
    for (const auto& device : devices_) {
        for (const auto& instance : device->instances_) {
            table.emplace(LowerCasePath(instance->path), device->port_);
        }
    }
    std::lock_guard lock(portsMutex_);
    portsByPath_ = std::move(table);
}

SysError SimBus::portOf(std::u16string_view path, std::string& port) {
    const std::u16string key = LowerCasePath(path);
    std::lock_guard lock(portsMutex_);
    port.clear();
    const auto found = portsByPath_.find(key);
    if (found == portsByPath_.end()) return kErrorFileNotFound;
    port = found->second;
    return 0;
}

std::unique_ptr<HidDevice> SimBus::open(std::u16string_view path, DeviceAccess access,
                                        SysError& error) {
    std::lock_guard lock(mutex_);
    error = kErrorFileNotFound;
    auto [device, instance] = findLocked(path);
    if (instance) {
        const InterfaceSpec& config = device->specOf(*instance);
        const bool refused =
            config.openFails || (access == DeviceAccess::ReadWrite && config.readWriteOpenFails);
        error = refused ? config.openError : 0;
    }
    std::unique_ptr<HidDevice> handle;
    std::uint32_t id = 0;
    if (error == 0) {
        id = nextHandle_++;
        ++handlesHeld_;
        handle = std::make_unique<SimHidDevice>(*this, *device, instance, access, id);
    }
    record({.call = Call::Open,
            .error = error,
            .value = static_cast<std::uint32_t>(access),
            .handle = id,
            .path = std::u16string(path)});
    return handle;
}

void SimBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    std::uint32_t spend = 0;
    {
        std::lock_guard lock(mutex_);
        record({.call = Call::WaitInstall, .value = timeoutMs});
        spend = std::min(installWaitMs_, timeoutMs);
    }
    if (spend > 0) timeline_.spend(spend);
}

std::unique_ptr<NotificationRegistration> SimBus::registerNotifications(NotifyWindow& window,
                                                                        SysError& error) {
    std::lock_guard lock(mutex_);
    if (registrationFault_.strike()) {
        error = registrationFault_.error;
        record({.call = Call::Register, .error = error});
        return nullptr;
    }
    error = 0;
    const std::uint32_t id = nextRegistration_++;
    registrations_.push_back({id, &window});
    ++registrationsHeld_;
    record({.call = Call::Register, .handle = id});
    return std::make_unique<SimRegistration>(*this, id);
}

}  // namespace tolvane::sim
