#include "hid_function_descriptors.h"

#include <linux/usb/functionfs.h>

namespace tolvane::usb {

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
    }
}

void Set32(Bytes& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
}

// Interface, HID and endpoint descriptors of one speed; bInterval in that speed's units.
void PutSpeed(Bytes& out, std::uint16_t reportDescriptorLength, std::uint8_t interval) {
    out.insert(out.end(), {
                              9, 0x04,  // interface descriptor
                              0, 0,     // interface 0, alternate setting 0
                              1,        // one endpoint
                              0x03,     // class HID
                              0, 0,     // no boot subclass, no protocol
                              0,        // no string
                          });
    const Bytes hid = HidClassDescriptor(reportDescriptorLength);
    out.insert(out.end(), hid.begin(), hid.end());
    out.insert(out.end(), {7, 0x05, 0x81, 0x03});  // endpoint 1 IN, interrupt
    Put16(out, 64);                                // wMaxPacketSize
    out.push_back(interval);
}

}  // namespace

Bytes HidClassDescriptor(std::uint16_t reportDescriptorLength) {
    Bytes out = {9, 0x21};
    Put16(out, 0x0111);  // bcdHID 1.11
    out.push_back(0);    // no country
    out.push_back(1);    // one class descriptor follows: the report descriptor
    out.push_back(0x22);
    Put16(out, reportDescriptorLength);
    return out;
}

Bytes HidFunctionDescriptors(std::uint16_t reportDescriptorLength) {
    constexpr std::uint32_t kDescriptorsPerSpeed = 3;
    Bytes out;
    Put32(out, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
    Put32(out, 0);  // length, set below
    Put32(out, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
    Put32(out, kDescriptorsPerSpeed);
    Put32(out, kDescriptorsPerSpeed);
    PutSpeed(out, reportDescriptorLength, 10);  // full speed: every 10 ms
    PutSpeed(out, reportDescriptorLength, 4);   // high speed: every 2^(4-1) microframes
    Set32(out, 4, static_cast<std::uint32_t>(out.size()));
    return out;
}

Bytes NoFunctionStrings() {
    Bytes out;
    Put32(out, FUNCTIONFS_STRINGS_MAGIC);
    Put32(out, 16);
    Put32(out, 0);  // no strings
    Put32(out, 0);  // in no language
    return out;
}

}  // namespace tolvane::usb
