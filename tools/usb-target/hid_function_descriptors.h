// What FunctionFS is told about the HID function: one interface of class 3 with its HID class
// descriptor and one interrupt IN endpoint, for full and high speed, and no strings.
#pragma once

#include <cstdint>
#include <vector>

namespace tolvane::usb {

// The descriptors blob (FunctionFS's v2 layout) for a report descriptor of `reportDescriptorLength`
// bytes: usbhid asks for exactly as many as the HID descriptor names.
std::vector<std::uint8_t> HidFunctionDescriptors(std::uint16_t reportDescriptorLength);

// The strings blob: none.
std::vector<std::uint8_t> NoFunctionStrings();

// The HID class descriptor (type 0x21) alone, as a GET_DESCRIPTOR for it is answered.
std::vector<std::uint8_t> HidClassDescriptor(std::uint16_t reportDescriptorLength);

}  // namespace tolvane::usb
