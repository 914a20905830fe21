#include "hidraw_sysfs.h"

#include "hidraw_path.h"
#include "report_descriptor.h"
#include "usb_phys.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tolvane::hidraw {
namespace {

namespace fs = std::filesystem;

// sysfs attributes are at most a page long. A report descriptor is read whole, beyond the 4095
// bytes the HIDIOCGRDESC ioctl is limited to, up to a bound no real descriptor reaches.
constexpr std::size_t kMaxAttributeBytes = 4096;
constexpr std::size_t kMaxDescriptorBytes = 65536;

std::optional<std::string> ReadAttribute(const fs::path& file,
                                         std::size_t limit = kMaxAttributeBytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text(limit, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

std::string_view TrimLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.remove_suffix(1);
    }
    return text;
}

std::uint32_t NodeNumber(std::string_view name) {
    std::uint32_t number = 0;
    const std::string_view digits = name.substr(6);  // after "hidraw"
    std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return number;
}

std::optional<std::uint16_t> ParseHex4(std::string_view text) {
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.size() != 4 || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::string> UeventValue(std::string_view uevent, std::string_view key) {
    while (!uevent.empty()) {
        const std::size_t end = uevent.find('\n');
        const std::string_view line = uevent.substr(0, end);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=') {
            return std::string(line.substr(key.size() + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        uevent.remove_prefix(end + 1);
    }
    return std::nullopt;
}

std::optional<HidId> HidIdFromDeviceName(std::string_view name) {
    // "BBBB:VVVV:PPPP.NNNN"
    if (name.size() < 19 || name[4] != ':' || name[9] != ':' || name[14] != '.') {
        return std::nullopt;
    }
    const auto bus = ParseHex4(name.substr(0, 4));
    const auto vendor = ParseHex4(name.substr(5, 4));
    const auto product = ParseHex4(name.substr(10, 4));
    if (!bus || !vendor || !product) {
        return std::nullopt;
    }
    return HidId{*bus, *vendor, *product};
}

std::string HidDeviceFromDevicePath(std::string_view devicePath) {
    const fs::path path{std::string(devicePath)};
    const fs::path hidrawDir = path.parent_path();
    if (!IsHidrawNodeName(path.filename().string()) || hidrawDir.filename() != "hidraw") {
        return {};
    }
    return hidrawDir.parent_path().filename().string();
}

std::vector<std::u16string> InterfacePathsOf(const HidrawNode& node) {
    const HidId id = node.id.value_or(HidId{});
    std::vector<std::u16string> paths;
    if (node.collections <= 1) {
        paths.push_back(InterfacePathFor(id.vendorId, id.productId, node.name));
        return paths;
    }
    for (std::uint32_t collection = 1; collection <= node.collections; ++collection) {
        paths.push_back(InterfacePathFor(id.vendorId, id.productId, node.name, collection));
    }
    return paths;
}

bool HidrawSysfs::hasNode(std::string_view nodeName) const {
    std::error_code error;
    return IsHidrawNodeName(nodeName) &&
           fs::exists(root_ / "class" / "hidraw" / std::string(nodeName), error);
}

std::optional<fs::path> HidrawSysfs::hidDeviceDir(std::string_view nodeName) const {
    if (!IsHidrawNodeName(nodeName)) {
        return std::nullopt;
    }
    std::error_code error;
    fs::path dir =
        fs::canonical(root_ / "class" / "hidraw" / std::string(nodeName) / "device", error);
    if (error) {
        return std::nullopt;
    }
    return dir;
}

std::vector<HidrawNode> HidrawSysfs::nodes() const {
    std::vector<HidrawNode> found;
    std::error_code error;
    for (fs::directory_iterator it(root_ / "class" / "hidraw", error), end; !error && it != end;
         it.increment(error)) {
        if (auto one = node(it->path().filename().string())) {
            found.push_back(std::move(*one));
        }
    }
    std::sort(found.begin(), found.end(), [](const HidrawNode& a, const HidrawNode& b) {
        return NodeNumber(a.name) < NodeNumber(b.name);
    });
    return found;
}

std::optional<HidrawNode> HidrawSysfs::node(std::string_view nodeName) const {
    if (!hasNode(nodeName)) {
        return std::nullopt;
    }
    HidrawNode node;
    node.name = std::string(nodeName);
    if (const auto dir = hidDeviceDir(nodeName)) {
        node.hidDevice = dir->filename().string();
    }
    node.id = hidIdOf(nodeName);
    if (const auto descriptor = reportDescriptorOf(nodeName)) {
        if (const auto lengths = ReportLengthsByCollection(*descriptor)) {
            // Paths number at most 255 collections; more would be no real device.
            node.collections =
                static_cast<std::uint32_t>(std::min<std::size_t>(lengths->size(), 255));
        }
    }
    return node;
}

std::optional<HidId> HidrawSysfs::hidIdOf(std::string_view nodeName) const {
    const auto dir = hidDeviceDir(nodeName);
    if (!dir) {
        return std::nullopt;
    }
    if (const auto uevent = ReadAttribute(*dir / "uevent")) {
        if (const auto value = UeventValue(*uevent, "HID_ID")) {
            if (auto id = ParseHidId(*value)) {
                return id;
            }
        }
    }
    return HidIdFromDeviceName(dir->filename().string());
}

std::optional<std::vector<std::uint8_t>> HidrawSysfs::reportDescriptorOf(
    std::string_view nodeName) const {
    const auto dir = hidDeviceDir(nodeName);
    if (!dir) {
        return std::nullopt;
    }
    const auto bytes = ReadAttribute(*dir / "report_descriptor", kMaxDescriptorBytes);
    if (!bytes) {
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
}

std::optional<std::string> HidrawSysfs::uniqueIdOf(std::string_view nodeName) const {
    const auto dir = hidDeviceDir(nodeName);
    if (!dir) {
        return std::nullopt;
    }
    const auto uevent = ReadAttribute(*dir / "uevent");
    if (!uevent) {
        return std::nullopt;
    }
    return UeventValue(*uevent, "HID_UNIQ").value_or(std::string{});
}

std::optional<fs::path> HidrawSysfs::usbDeviceDir(std::string_view nodeName) const {
    const auto dir = hidDeviceDir(nodeName);
    if (!dir) {
        return std::nullopt;
    }
    const auto id = hidIdOf(nodeName);
    constexpr std::uint16_t kBusUsb = 0x0003;
    if (!id || id->busType != kBusUsb) {
        return std::nullopt;
    }
    std::error_code error;
    const fs::path top = fs::canonical(root_, error);
    for (fs::path up = dir->parent_path();
         !error && up != top && up.has_relative_path() && up.string().starts_with(top.string());
         up = up.parent_path()) {
        const auto uevent = ReadAttribute(up / "uevent");
        if (uevent && UeventValue(*uevent, "DEVTYPE") == "usb_device") {
            return up;
        }
    }
    return std::nullopt;
}

std::optional<std::string> HidrawSysfs::usbPortOf(std::string_view nodeName) const {
    const auto dir = hidDeviceDir(nodeName);
    if (!dir) {
        return std::nullopt;
    }
    if (const auto usb = usbDeviceDir(nodeName)) {
        return usb->filename().string();
    }
    // No USB device above (a virtual device): the place HID_PHYS names, if it names one.
    const auto uevent = ReadAttribute(*dir / "uevent");
    const auto phys = uevent ? UeventValue(*uevent, "HID_PHYS") : std::nullopt;
    const auto usbPhys = phys ? ParseUsbPhys(*phys) : std::nullopt;
    return usbPhys ? UsbPortName(busNumberOf(usbPhys->controller), *usbPhys) : std::string{};
}

unsigned HidrawSysfs::busNumberOf(std::string_view controller) const {
    // Each root hub, usbN, sits right below its controller's device.
    std::error_code error;
    for (fs::directory_iterator it(root_ / "bus" / "usb" / "devices", error), end;
         !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        unsigned number = 0;
        const auto [last, parsed] = std::from_chars(
            name.data() + std::min<std::size_t>(3, name.size()), name.data() + name.size(), number);
        if (!name.starts_with("usb") || parsed != std::errc{} ||
            last != name.data() + name.size()) {
            continue;
        }
        std::error_code ignored;
        const fs::path hub = fs::canonical(it->path(), ignored);
        if (!ignored && hub.parent_path().filename() == controller) {
            return number;
        }
    }
    return 1;  // no such controller here: the first bus
}

std::uint16_t HidrawSysfs::usbReleaseNumberOf(std::string_view nodeName) const {
    const auto usb = usbDeviceDir(nodeName);
    const auto text = usb ? ReadAttribute(*usb / "bcdDevice") : std::nullopt;
    if (!text) {
        return 0;
    }
    const std::string_view digits = TrimLineEnd(*text);
    std::uint16_t value = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    return error == std::errc{} ? value : 0;
}

}  // namespace tolvane::hidraw
