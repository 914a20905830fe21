#include "sysfs_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

namespace tolvane::hidraw::testing {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << text;
}

bool IsUsbDeviceName(const std::string& name) {
    static const std::regex usbDevice("[0-9]+-[0-9]+(\\.[0-9]+)*");
    return std::regex_match(name, usbDevice);
}

}  // namespace

SysfsFixture::SysfsFixture() {
    std::string pattern = (fs::temp_directory_path() / "hidraw-sysfs-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary directory";
    }
    top_ = pattern;
    sysfs_ = top_ / "sys";
    dev_ = top_ / "dev";
    fs::create_directories(sysfs_ / "class" / "hidraw");
    fs::create_directories(dev_);
}

SysfsFixture::~SysfsFixture() {
    std::error_code error;
    fs::remove_all(top_, error);
}

void SysfsFixture::add(const FixtureNode& node, const std::string& bcdDevice) {
    const fs::path devices = sysfs_ / "devices";
    fs::path parent = devices;
    for (const auto& part : fs::path(node.parents)) {
        parent /= part;
        fs::create_directories(parent);
        const std::string name = part.string();
        if (IsUsbDeviceName(name)) {
            Write(parent / "uevent", "DEVTYPE=usb_device\nBUSNUM=001\nDEVNUM=005\n");
            Write(parent / "bcdDevice", bcdDevice + "\n");
        } else if (name.find(':') != std::string::npos && name.find('-') != std::string::npos) {
            Write(parent / "uevent", "DEVTYPE=usb_interface\n");
        }
    }
    const fs::path hid = parent / node.hidDevice;
    fs::create_directories(hid);
    if (!node.uevent.empty()) {
        Write(hid / "uevent", node.uevent);
    }
    if (node.withDescriptor) {
        Write(hid / "report_descriptor",
              std::string(node.descriptor.begin(), node.descriptor.end()));
    }
    const fs::path hidraw = hid / "hidraw" / node.name;
    fs::create_directories(hidraw);
    fs::create_directory_symlink("../..", hidraw / "device");
    fs::create_directory_symlink(fs::relative(hidraw, sysfs_ / "class" / "hidraw"),
                                 sysfs_ / "class" / "hidraw" / node.name);
    Write(dev_ / node.name, "");
}

void SysfsFixture::remove(const std::string& name) {
    fs::remove(sysfs_ / "class" / "hidraw" / name);
    fs::remove(dev_ / name);
}

std::string HidUevent(const std::string& hidId, const std::string& uniq) {
    return "DRIVER=hid-generic\nHID_ID=" + hidId + "\nHID_NAME=Test Device\nHID_PHYS=usb-1\n" +
           "HID_UNIQ=" + uniq + "\nMODALIAS=hid:b0003g0001v00005C3Bp0000030B\n";
}

std::vector<std::uint8_t> VendorFeatureDescriptor(std::uint8_t bytes) {
    return {
        0x06, 0x00,  0xFF,  // Usage Page (Vendor)
        0x09, 0x01,         // Usage (1)
        0xA1, 0x01,         // Collection (Application)
        0x75, 0x08,         //   Report Size (8)
        0x95, bytes,        //   Report Count
        0x09, 0x01,         //   Usage (1)
        0xB1, 0x02,         //   Feature
        0xC0,               // End Collection
    };
}

}  // namespace tolvane::hidraw::testing
