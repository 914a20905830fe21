#include "report_descriptor_builder.h"

namespace tolvane::uhid {

namespace {

using Bytes = std::vector<std::uint8_t>;

// A boot keyboard: modifiers, a reserved byte and six key codes, 8 bytes after its ID.
const Bytes kKeyboardCollection = {
    0x05, 0x01,               // Usage Page (Generic Desktop)
    0x09, 0x06,               // Usage (Keyboard)
    0xA1, 0x01,               // Collection (Application)
    0x85, kKeyboardReportId,  //   Report ID (1)
    0x05, 0x07,               //   Usage Page (Keyboard)
    0x19, 0xE0,
    0x29, 0xE7,  //   Usage Minimum (0xE0), Usage Maximum (0xE7)
    0x15, 0x00,
    0x25, 0x01,  //   Logical Minimum (0), Logical Maximum (1)
    0x75, 0x01,
    0x95, 0x08,  //   Report Size (1), Report Count (8)
    0x81, 0x02,  //   Input (Data, Variable): modifiers
    0x75, 0x08,
    0x95, 0x01,  //   Report Size (8), Report Count (1)
    0x81, 0x01,  //   Input (Constant): reserved
    0x95, 0x06,  //   Report Count (6)
    0x15, 0x00,
    0x25, 0x65,  //   Logical Minimum (0), Logical Maximum (101)
    0x19, 0x00,
    0x29, 0x65,  //   Usage Minimum (0), Usage Maximum (101)
    0x81, 0x00,  //   Input (Data, Array): key codes
    0xC0,        // End Collection
};

// Report Count (n) then Usage (1) then the main item: n bytes of one vendor usage.
void AddReport(Bytes& out, std::uint16_t length, bool numbered, std::uint8_t id,
               std::uint8_t mainItem) {
    if (length <= 1) return;
    const std::uint16_t count = static_cast<std::uint16_t>(length - 1);
    if (numbered) out.insert(out.end(), {0x85, id});
    if (count <= 0xFF) {
        out.insert(out.end(), {0x95, static_cast<std::uint8_t>(count)});
    } else {
        out.insert(out.end(), {0x96, static_cast<std::uint8_t>(count & 0xFF),
                               static_cast<std::uint8_t>(count >> 8)});
    }
    out.insert(out.end(), {0x09, 0x01, mainItem, 0x02});
}

}  // namespace

std::vector<std::uint8_t> BuildReportDescriptor(const sim::InterfaceSpec& lengths,
                                                DescriptorShape shape) {
    const bool numbered = shape.numbered || shape.composite;
    Bytes out;
    // Room for the longest descriptor up front: it also spares GCC's -O3 a false overflow warning
    // about inserting into an empty vector.
    out.reserve(kKeyboardCollection.size() + 64);
    if (shape.composite) out = kKeyboardCollection;
    out.insert(out.end(), {
                              0x06, 0x00, 0xFF,  // Usage Page (Vendor)
                              0x09, 0x01,        // Usage (1)
                              0xA1, 0x01,        // Collection (Application)
                              0x15, 0x00,        //   Logical Minimum (0)
                              0x26, 0xFF, 0x00,  //   Logical Maximum (255)
                              0x75, 0x08,        //   Report Size (8)
                          });
    AddReport(out, lengths.inputReportLength, numbered, kVendorInputReportId, 0x81);
    AddReport(out, lengths.outputReportLength, numbered, kVendorOutputReportId, 0x91);
    AddReport(out, lengths.featureReportLength, numbered, kVendorFeatureReportId, 0xB1);
    out.push_back(0xC0);  // End Collection
    return out;
}

}  // namespace tolvane::uhid
