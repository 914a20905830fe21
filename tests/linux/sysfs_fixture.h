// A throw-away sysfs tree laid out as the kernel lays out /sys for hidraw nodes, and a device
// directory beside it:
//   class/hidraw/hidrawN -> ../../devices/<parents>/<HID device>/hidraw/hidrawN
//   devices/<parents>/<HID device>/{uevent,report_descriptor}, hidraw/hidrawN/device -> ../..
//   a USB device directory among the parents has a uevent with DEVTYPE=usb_device and bcdDevice.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tolvane::hidraw::testing {

struct FixtureNode {
    std::string name;       // "hidraw3"
    std::string parents;    // "pci0000:00/0000:00:14.0/usb1/1-1/1-1.4/1-1.4:1.0", or a virtual one
    std::string hidDevice;  // "0003:5C3B:030B.0001"
    std::string uevent;     // the HID device's uevent text; empty: no uevent file
    std::vector<std::uint8_t> descriptor;
    bool withDescriptor = true;
};

class SysfsFixture {
public:
    SysfsFixture();
    ~SysfsFixture();
    SysfsFixture(const SysfsFixture&) = delete;
    SysfsFixture& operator=(const SysfsFixture&) = delete;

    const std::filesystem::path& sysfs() const { return sysfs_; }
    const std::filesystem::path& dev() const { return dev_; }

    // Lays out the node, its HID device and its parents; a USB device in `parents` (a name of
    // the form "1-1.4") gets DEVTYPE=usb_device and the release number `bcdDevice`. Creates the
    // device node as an empty file.
    void add(const FixtureNode& node, const std::string& bcdDevice = "0100");
    // Removes the node's class entry and device node, as the kernel does when it goes.
    void remove(const std::string& name);

private:
    std::filesystem::path top_;
    std::filesystem::path sysfs_;
    std::filesystem::path dev_;
};

// A uevent text for a HID device.
std::string HidUevent(const std::string& hidId, const std::string& uniq = "");

// A descriptor with one vendor collection and a feature report of `bytes` bytes, no report ids.
std::vector<std::uint8_t> VendorFeatureDescriptor(std::uint8_t bytes);

}  // namespace tolvane::hidraw::testing
