#include "zero_latency_link.h"

#include "dfu_constants.h"

namespace tolvane::bench {

namespace {

constexpr std::u16string_view kPath = u"\\\\?\\hid#vid_5c3b&pid_030b#bench#{4d1e55b2}";

class OneInterfaceList final : public HidInterfaceList {
public:
    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override {
        if (index != 0) {
            return InterfaceLookup::End;
        }
        path = kPath;
        return InterfaceLookup::Found;
    }
};

}  // namespace

class ZeroLatencyBootLoader final : public HidDevice {
public:
    explicit ZeroLatencyBootLoader(ZeroLatencyBus& bus) : bus_(bus) {}

    SysError getAttributes(HidAttributes& attributes) override {
        attributes = {DFU_VENDOR_ID, DFU_PRODUCT_ID_1, 0x0100};
        return 0;
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        caps = {0, 0, bus_.featureReportLength_};
        return 0;
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        ++bus_.reportsTaken_;
        if (bus_.bytesLeft_ > 0) {
            const std::size_t count = std::min<std::size_t>(bus_.bytesLeft_, report.size() - 1);
            for (std::size_t i = 1; i <= count; ++i) {
                bus_.sum_ += report[i];
            }
            bus_.bytesLeft_ -= static_cast<std::uint32_t>(count);
        } else if (report[1] == DFU_CMD_SETUP) {
            bus_.bytesLeft_ =
                (std::uint32_t{report[5]} << 16) | (std::uint32_t{report[6]} << 8) | report[7];
            bus_.sum_ = 0;
        }
        return 0;
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        report[1] = static_cast<std::uint8_t>(bus_.sum_ >> 8);
        report[2] = static_cast<std::uint8_t>(bus_.sum_);
        return 0;
    }
    SysError writeOutput(std::span<const std::uint8_t>) override { return 0; }

private:
    ZeroLatencyBus& bus_;
};

std::unique_ptr<HidInterfaceList> ZeroLatencyBus::listInterfaces() {
    return std::make_unique<OneInterfaceList>();
}

std::unique_ptr<HidDevice> ZeroLatencyBus::open(std::u16string_view, DeviceAccess,
                                                SysError& error) {
    error = 0;
    return std::make_unique<ZeroLatencyBootLoader>(*this);
}

}  // namespace tolvane::bench
