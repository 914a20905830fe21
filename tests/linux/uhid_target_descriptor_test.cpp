// The virtual uhid target's report descriptors, read back as the Linux bus reads them: each shape
// gives the report lengths and IDs the simulated interface has, so what the kernel and every HID
// program see matches the device model behind it.
#include "report_descriptor.h"
#include "report_descriptor_builder.h"
#include "uhid_bridge.h"

#include <gtest/gtest.h>

namespace tolvane::uhid {
namespace {

using hidraw::CollectionReportSet;
using hidraw::ReportsByCollection;
using Ids = std::vector<std::uint32_t>;

TEST(UhidTargetDescriptor, EachShapeReadsBackWithTheModelsLengthsAndIds) {
    struct Case {
        const char* name;
        std::uint16_t length;
        DescriptorShape shape;
        std::size_t collections;
        Ids featureIds;
        Ids outputIds;
    };
    const Case cases[] = {
        {"plain, 65 bytes", 65, {}, 1, {0}, {0}},
        {"plain, 9 bytes", 9, {}, 1, {0}, {0}},
        {"plain, 300 bytes (a two-byte count)", 300, {}, 1, {0}, {0}},
        {"numbered", 65, {.numbered = true}, 1, {0x40}, {0x0C}},
        {"composite", 65, {.composite = true}, 2, {0x40}, {0x0C}},
    };
    for (const Case& c : cases) {
        sim::InterfaceSpec lengths;
        lengths.inputReportLength = c.length;
        lengths.outputReportLength = c.length;
        lengths.featureReportLength = c.length;
        const auto sets = ReportsByCollection(BuildReportDescriptor(lengths, c.shape));
        ASSERT_TRUE(sets.has_value()) << c.name;
        ASSERT_EQ(sets->size(), c.collections) << c.name;
        const CollectionReportSet& vendor = sets->back();
        EXPECT_EQ(vendor.lengths.inputReportByteLength, c.length) << c.name;
        EXPECT_EQ(vendor.lengths.outputReportByteLength, c.length) << c.name;
        EXPECT_EQ(vendor.lengths.featureReportByteLength, c.length) << c.name;
        EXPECT_EQ(vendor.ids[2], c.featureIds) << c.name;
        EXPECT_EQ(vendor.ids[1], c.outputIds) << c.name;
        if (c.collections == 2) {
            const CollectionReportSet& keyboard = sets->front();
            EXPECT_EQ(keyboard.lengths.inputReportByteLength, 9) << "report 1: 8 bytes and its ID";
            EXPECT_EQ(keyboard.lengths.featureReportByteLength, 0);
        }
    }
}

TEST(UhidTargetDescriptor, AnInterfaceWithoutOutputReportsDeclaresNone) {
    sim::InterfaceSpec lengths;
    lengths.outputReportLength = 0;
    const auto sets = ReportsByCollection(BuildReportDescriptor(lengths, {}));
    ASSERT_TRUE(sets.has_value());
    EXPECT_EQ(sets->front().lengths.outputReportByteLength, 0);
    EXPECT_TRUE(sets->front().ids[1].empty());
}

TEST(UhidTargetDescriptor, PhysNamesAUsbPortOfAnXhciController) {
    EXPECT_EQ(PhysFor("1.4"), "usb-0000:00:14.0-1.4/input0");
}

}  // namespace
}  // namespace tolvane::uhid
