// The tool over simulated devices, but with the system's own locks, as tolvane.exe takes them for
// real devices (--simulate takes none): a process of its own for the lock tests to hold locks
// against. Usage: locked_sim_tool DEVICES TOOL-ARGUMENTS...
// The devices sit at ports 1-1 ... 1-DEVICES; each is named by the node
// "USB\VID_5C3B&PID_<pid>\<port>", as a device instance would be. After the tool's own output it
// prints, per device, the reports written to it and what its memory holds:
//   device 1-1: reports=N entries=N setups=N bytes=N
// and exits with the tool's exit code.
#include "forwarding_hid_bus.h"
#include "sim_bus.h"
#include "sim_services.h"
#include "system/device_lock.h"
#include "tool/tool.h"
#include "transcript.h"
#include "virtual_target.h"
#include "wide_text.h"

#include <atomic>
#include <cstdio>
#include <cwchar>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tolvane;

// Counts the reports written to each port, and names each device's node by its port and
// identity, as the simulated bus itself names none.
class CountingBus final : public ForwardingHidBus {
public:
    CountingBus(HidBus& inner, const std::vector<std::string>& ports) : ForwardingHidBus(inner) {
        for (const std::string& port : ports) reports_[port] = 0;
    }

    SysError deviceNodeOf(std::u16string_view path, std::string& node) override {
        std::string port;
        if (const SysError error = inner().portOf(path, port); error != 0) return error;
        const std::size_t pid = path.find(u"pid_");
        if (pid == std::u16string_view::npos) return kErrorInvalidFunction;
        node = "USB\\VID_5C3B&PID_";
        for (const char16_t c : path.substr(pid + 4, 4)) {
            node += static_cast<char>(c >= u'a' && c <= u'z' ? c - u'a' + u'A' : c);
        }
        node += "\\" + port;
        return 0;
    }

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override {
        std::string port;
        inner().portOf(path, port);
        auto device = inner().open(path, access, error);
        const auto counter = reports_.find(port);
        if (!device || counter == reports_.end()) return device;
        return std::make_unique<Device>(std::move(device), counter->second);
    }

    std::uint32_t reportsAt(const std::string& port) const { return reports_.at(port); }

private:
    class Device final : public ForwardingHidDevice {
    public:
        Device(std::unique_ptr<HidDevice> inner, std::atomic<std::uint32_t>& count)
            : ForwardingHidDevice(std::move(inner)), count_(count) {}
        SysError setFeature(std::span<const std::uint8_t> report) override {
            ++count_;
            return inner().setFeature(report);
        }
        SysError writeOutput(std::span<const std::uint8_t> report) override {
            ++count_;
            return inner().writeOutput(report);
        }

    private:
        std::atomic<std::uint32_t>& count_;
    };

    // Made before any device is opened; the tool's threads only count.
    std::map<std::string, std::atomic<std::uint32_t>> reports_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: locked_sim_tool DEVICES TOOL-ARGUMENTS...\n", stderr);
        return 2;
    }
    const int devices = static_cast<int>(std::wcstol(argv[1], nullptr, 10));
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) args.push_back(win32::ToUtf8(argv[i]));

    sim::Transcript transcript;
    sim::SimServices services{transcript};
    sim::SimBus bus{services.timeline(), transcript};
    std::vector<sim::SimDevice*> added;
    std::vector<std::string> ports;
    for (int i = 0; i < devices; ++i) {
        added.push_back(&bus.addDevice(sim::VirtualTarget::specFor({})));
        ports.push_back(added.back()->port());
    }
    CountingBus counting(bus, ports);

    const cli::ToolIo io{std::cout, std::cerr, false, false};
    const cli::ToolPlatform platform{
        .bus = counting,
        .services = services,
        .errorText = [](SysError error) { return "system error " + std::to_string(error); },
        .nativeErrorDetail = {},
        .interrupts = nullptr,
        .exitNow = {},
        .udev = {},
        .portLock = &cli::DeviceLock::takePort};
    const int exitCode = cli::RunTool(args, io, platform);

    for (const sim::SimDevice* device : added) {
        const sim::DeviceMemory memory = device->memory();
        std::cout << "\ndevice " << device->port()
                  << ": reports=" << counting.reportsAt(device->port())
                  << " entries=" << memory.entriesToBootLoader << " setups=" << memory.setups
                  << " bytes=" << memory.image.size();
    }
    std::cout << std::endl;
    return exitCode;
}
