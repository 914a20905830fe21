// Report lengths from hand-written report descriptors, counted as Windows counts them: the longest
// report of each kind plus its report-identifier byte, for each top-level collection on its own.
#include "report_descriptor.h"
#include "usb_phys.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace tolvane::hidraw {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The lengths of a descriptor with one top-level collection (or none).
HidCapabilities Parse(const Bytes& descriptor) {
    const auto lengths = ReportLengthsByCollection(descriptor);
    EXPECT_TRUE(lengths.has_value());
    EXPECT_EQ(lengths.value_or(std::vector<HidCapabilities>{}).size(), 1u);
    return lengths && lengths->size() == 1 ? lengths->front() : HidCapabilities{};
}

// A vendor collection with one 64-byte feature report and no Report ID items.
const Bytes kVendorFeature64 = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

TEST(ReportDescriptor, FeatureReportWithoutReportIdsCountsTheZeroIdentifierByte) {
    const HidCapabilities caps = Parse(kVendorFeature64);
    EXPECT_EQ(caps.featureReportByteLength, 65);
    EXPECT_EQ(caps.inputReportByteLength, 0);
    EXPECT_EQ(caps.outputReportByteLength, 0);
}

TEST(ReportDescriptor, EmptyDescriptorHasNoReports) {
    const HidCapabilities caps = Parse({});
    EXPECT_EQ(caps.featureReportByteLength, 0);
    EXPECT_EQ(caps.inputReportByteLength, 0);
    EXPECT_EQ(caps.outputReportByteLength, 0);
}

TEST(ReportDescriptor, LongestReportOfEachKindWinsAcrossReportIds) {
    const Bytes descriptor = {
        0x06, 0x00, 0xFF,  // Usage Page (Vendor)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x75, 0x08,        //   Report Size (8)
        0x85, 0x01,        //   Report ID (1)
        0x95, 0x07,        //   Report Count (7)
        0x09, 0x01,        //   Usage (1)
        0xB1, 0x02,        //   Feature: report 1 has 7 bytes
        0x85, 0x02,        //   Report ID (2)
        0x95, 0x3F,        //   Report Count (63)
        0x09, 0x01,        //   Usage (1)
        0xB1, 0x02,        //   Feature: report 2 has 63 bytes
        0x85, 0x03,        //   Report ID (3)
        0x95, 0x08,        //   Report Count (8)
        0x09, 0x01,        //   Usage (1)
        0x81, 0x02,        //   Input: report 3 has 8 bytes
        0x85, 0x04,        //   Report ID (4)
        0x95, 0x02,        //   Report Count (2)
        0x09, 0x01,        //   Usage (1)
        0x91, 0x02,        //   Output: report 4 has 2 bytes
        0x85, 0x01,        //   Report ID (1) again
        0x95, 0x01,        //   Report Count (1)
        0x09, 0x01,        //   Usage (1)
        0x81, 0x02,        //   Input: report 1 has 1 byte
        0xC0,              // End Collection
    };
    const HidCapabilities caps = Parse(descriptor);
    EXPECT_EQ(caps.featureReportByteLength, 64);
    EXPECT_EQ(caps.inputReportByteLength, 9);
    EXPECT_EQ(caps.outputReportByteLength, 3);
}

TEST(ReportDescriptor, FieldsOfOneReportAddUpAcrossCollectionsAndRoundUpToBytes) {
    const Bytes descriptor = {
        0x05, 0x01,  // Usage Page (Generic Desktop)
        0x09, 0x02,  // Usage (Mouse)
        0xA1, 0x01,  // Collection (Application)
        0xA1, 0x00,  //   Collection (Physical)
        0x75, 0x01,  //     Report Size (1)
        0x95, 0x03,  //     Report Count (3)
        0x81, 0x02,  //     Input: 3 button bits
        0xC0,        //   End Collection
        0x75, 0x05,  //   Report Size (5)
        0x95, 0x01,  //   Report Count (1)
        0x81, 0x03,  //   Input (Constant): 5 bits of padding
        0x75, 0x0C,  //   Report Size (12)
        0x95, 0x01,  //   Report Count (1)
        0x81, 0x06,  //   Input: one 12-bit field, 20 bits in all
        0xC0,        // End Collection
    };
    // 20 bits make 3 bytes, and the identifier byte.
    EXPECT_EQ(Parse(descriptor).inputReportByteLength, 4);
}

TEST(ReportDescriptor, FourByteItemDataIsReadLittleEndian) {
    const Bytes descriptor = {
        0x75, 0x08,                    // Report Size (8)
        0x97, 0x2C, 0x01, 0x00, 0x00,  // Report Count (300), four data bytes
        0xB1, 0x02,                    // Feature: 300 bytes
    };
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 301);
}

TEST(ReportDescriptor, LongItemsAreSkippedWithTheirData) {
    const Bytes descriptor = {
        0x75, 0x08,                    // Report Size (8)
        0xFE, 0x03, 0x10, 0xB1, 0x95,  // Long item: 3 data bytes that look like short items...
        0x40,                          // ...and are skipped
        0x95, 0x08,                    // Report Count (8)
        0xB1, 0x02,                    // Feature: 8 bytes
    };
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 9);
}

TEST(ReportDescriptor, PopRestoresTheGlobalsThatPushSaved) {
    const Bytes descriptor = {
        0x85, 0x01,  // Report ID (1)
        0x75, 0x08,  // Report Size (8)
        0x95, 0x04,  // Report Count (4)
        0xA4,        // Push
        0x85, 0x02,  //   Report ID (2)
        0x95, 0x20,  //   Report Count (32)
        0xB1, 0x02,  //   Feature: report 2 has 32 bytes
        0xB4,        // Pop: report 1, 4 bytes of 8 bits
        0xB1, 0x02,  // Feature: report 1 has 4 bytes
        0x91, 0x02,  // Output: report 1 has 4 bytes
    };
    const HidCapabilities caps = Parse(descriptor);
    EXPECT_EQ(caps.featureReportByteLength, 33);
    EXPECT_EQ(caps.outputReportByteLength, 5);
}

TEST(ReportDescriptor, LocalAndReservedItemsDoNotChangeTheLengths) {
    Bytes descriptor = kVendorFeature64;
    // Usage Minimum and Maximum (local), then a reserved-type item with one data byte.
    descriptor.insert(descriptor.begin(), {0x19, 0x01, 0x29, 0x05, 0x0D, 0x33});
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 65);
}

TEST(ReportDescriptor, LengthBeyondSixteenBitsIsAnsweredAsTheLargestValue) {
    const Bytes descriptor = {
        0x77, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Size (0xFFFFFFFF)
        0x97, 0xFF, 0xFF, 0xFF, 0xFF,  // Report Count (0xFFFFFFFF)
        0x81, 0x02,                    // Input
        0x81, 0x02,                    // Input again: the sum must not wrap
    };
    EXPECT_EQ(Parse(descriptor).inputReportByteLength, 0xFFFF);
}

TEST(ReportDescriptor, DescriptorEndingInsideAnItemIsRefused) {
    EXPECT_FALSE(ReportLengthsByCollection(Bytes{0x75}).has_value());  // Report Size, no data
    EXPECT_FALSE(ReportLengthsByCollection(Bytes{0x97, 0x01, 0x00, 0x00}).has_value());
    EXPECT_FALSE(ReportLengthsByCollection(Bytes{0xFE}).has_value());        // long item, no size
    EXPECT_FALSE(ReportLengthsByCollection(Bytes{0xFE, 0x02}).has_value());  // no tag
    // Long item announcing 4 data bytes with 3 present.
    EXPECT_FALSE(ReportLengthsByCollection(Bytes{0xFE, 0x04, 0x10, 1, 2, 3}).has_value());
}

TEST(ReportDescriptor, PopWithoutPushIsRefused) {
    EXPECT_FALSE(ReportLengthsByCollection(Bytes{0xA4, 0xB4, 0xB4}).has_value());
}

// A keyboard, the vendor collection the updater talks to, and a third collection whose feature
// report has 256 bytes: as one interface the longest feature report would be 257 bytes, which the
// engine stores in one byte as 1 and refuses.
const Bytes kKeyboardVendorAndLargeFeature = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID (1)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x00,        //   Input: report 1 has 8 bytes
    0x75, 0x01,        //   Report Size (1)
    0x95, 0x05,        //   Report Count (5)
    0x91, 0x02,        //   Output: 5 LED bits
    0x95, 0x03,        //   Report Count (3)
    0x91, 0x03,        //   Output (Constant): 3 bits of padding, 1 byte in all
    0xC0,              // End Collection
    0x06, 0x00, 0xFF,  // Usage Page (Vendor)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x02,        //   Report ID (2)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature: report 2 has 64 bytes
    0x95, 0x00,        //   Report Count (0)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input of no bits: no input report
    0xC0,              // End Collection
    0x06, 0x01, 0xFF,  // Usage Page (Vendor 0xFF01)
    0x09, 0x02,        // Usage (2)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x03,        //   Report ID (3)
    0x75, 0x08,        //   Report Size (8)
    0x96, 0x00, 0x01,  //   Report Count (256)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature: report 3 has 256 bytes
    0xC0,              // End Collection
};

TEST(ReportDescriptor, EachTopLevelCollectionHasItsOwnLengths) {
    const auto lengths = ReportLengthsByCollection(kKeyboardVendorAndLargeFeature);
    ASSERT_TRUE(lengths.has_value());
    ASSERT_EQ(lengths->size(), 3u);
    EXPECT_EQ((*lengths)[0].inputReportByteLength, 9);
    EXPECT_EQ((*lengths)[0].outputReportByteLength, 2);
    EXPECT_EQ((*lengths)[0].featureReportByteLength, 0) << "a keyboard without feature reports";
    EXPECT_EQ((*lengths)[1].featureReportByteLength, 65);
    EXPECT_EQ((*lengths)[1].inputReportByteLength, 0) << "an item of no bits makes no report";
    EXPECT_EQ((*lengths)[1].outputReportByteLength, 0);
    EXPECT_EQ((*lengths)[2].featureReportByteLength, 257);
}

TEST(ReportDescriptor, FeatureItemWithCountZeroAddsNoLength) {
    const Bytes descriptor = {
        0x06, 0x00, 0xFF,  // Usage Page (Vendor)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x85, 0x05,        //   Report ID (5)
        0x75, 0x08,        //   Report Size (8)
        0x95, 0x00,        //   Report Count (0)
        0xB1, 0x02,        //   Feature of no bits
        0x75, 0x00,        //   Report Size (0)
        0x95, 0x10,        //   Report Count (16)
        0xB1, 0x02,        //   Feature of no bits again
        0xC0,              // End Collection
    };
    EXPECT_EQ(Parse(descriptor).featureReportByteLength, 0);
}

TEST(ReportDescriptor, ItemsOutsideCollectionsCountToANeighbouringCollection) {
    const Bytes descriptor = {
        0x75, 0x08,  // Report Size (8)
        0x95, 0x04,  // Report Count (4)
        0xB1, 0x02,  // Feature before any collection: counts to the first
        0xA1, 0x01,  // Collection (Application)
        0x81, 0x02,  //   Input: 4 bytes
        0xC0,        // End Collection
        0xA1, 0x01,  // Collection (Application)
        0x91, 0x02,  //   Output: 4 bytes
        0xC0,        // End Collection
        0x95, 0x02,  // Report Count (2)
        0x91, 0x02,  // Output after the second collection: counts to it
        0xC0,        // An unmatched End Collection is tolerated
    };
    const auto lengths = ReportLengthsByCollection(descriptor);
    ASSERT_TRUE(lengths.has_value());
    ASSERT_EQ(lengths->size(), 2u);
    EXPECT_EQ((*lengths)[0].featureReportByteLength, 5);
    EXPECT_EQ((*lengths)[0].inputReportByteLength, 5);
    EXPECT_EQ((*lengths)[1].outputReportByteLength, 7);
    EXPECT_EQ((*lengths)[1].featureReportByteLength, 0);
}

// Every prefix of a valid descriptor and a deterministic stream of random ones: the parser must
// answer without reading past the end (which the sanitizer build checks) and never crash.
TEST(ReportDescriptor, TruncatedAndRandomDescriptorsAreReadWithinBounds) {
    for (std::size_t length = 0; length <= kVendorFeature64.size(); ++length) {
        // Copied so that the end of the span is the end of the allocation.
        const Bytes prefix(kVendorFeature64.begin(),
                           kVendorFeature64.begin() + static_cast<std::ptrdiff_t>(length));
        (void)ReportLengthsByCollection(prefix);
    }
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> size(0, 64);
    for (int round = 0; round < 2000; ++round) {
        Bytes descriptor(size(random));
        for (auto& b : descriptor) {
            b = static_cast<std::uint8_t>(byte(random));
        }
        (void)ReportLengthsByCollection(descriptor);
    }
}

// What Windows' class driver refuses before a report leaves the host, and Linux now refuses too.
TEST(ReportDescriptor, ReportsTheCollectionHasNoneOfAreRefusedAsWindowsRefusesThem) {
    const std::vector<std::uint8_t> numbered = {
        0x06, 0x00, 0xFF,  // Usage Page (Vendor)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x75, 0x08,        //   Report Size (8)
        0x85, 0x0C,        //   Report ID (0x0C)
        0x95, 0x40,        //   Report Count (64)
        0x09, 0x01,        //   Usage (1)
        0x91, 0x02,        //   Output: report 0x0C has 64 bytes
        0x85, 0x40,        //   Report ID (0x40)
        0x09, 0x01,        //   Usage (1)
        0xB1, 0x02,        //   Feature: report 0x40 has 64 bytes
        0xC0,              // End Collection
    };
    const auto sets = ReportsByCollection(numbered);
    ASSERT_TRUE(sets.has_value());
    ASSERT_EQ(sets->size(), 1u);
    const CollectionReportSet& vendor = sets->front();
    EXPECT_EQ(vendor.ids[2], std::vector<std::uint32_t>{0x40});
    const auto plain = ReportsByCollection(kVendorFeature64);
    ASSERT_TRUE(plain.has_value());
    const CollectionReportSet& unnumbered = plain->front();

    struct Case {
        const char* name;
        const CollectionReportSet* collection;
        ReportType type;
        std::uint8_t id;
        std::size_t size;
        SysError expected;
    };
    const Case cases[] = {
        {"feature of a declared ID", &vendor, ReportType::Feature, 0x40, 65, 0},
        {"feature ID 0 to numbered firmware", &vendor, ReportType::Feature, 0x00, 65, 87},
        {"feature of an output ID", &vendor, ReportType::Feature, 0x0C, 65, 87},
        {"feature too short", &vendor, ReportType::Feature, 0x40, 64, 87},
        {"feature too long", &vendor, ReportType::Feature, 0x40, 66, 87},
        {"output of a declared ID", &vendor, ReportType::Output, 0x0C, 65, 0},
        {"output of a feature ID", &vendor, ReportType::Output, 0x40, 65, 87},
        {"output too short", &vendor, ReportType::Output, 0x0C, 9, 87},
        {"output too long", &vendor, ReportType::Output, 0x0C, 66, 1784},
        {"unnumbered feature ID 0", &unnumbered, ReportType::Feature, 0x00, 65, 0},
        {"unnumbered feature ID 0x40", &unnumbered, ReportType::Feature, 0x40, 65, 87},
        {"output where there are none", &unnumbered, ReportType::Output, 0x00, 65, 1},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> report(c.size, 0);
        report[0] = c.id;
        report[1] = 0x44;
        EXPECT_EQ(RefusalOf(*c.collection, c.type, report), c.expected) << c.name;
    }
}

TEST(UsbPhys, NamesTheControllerAndThePortChain) {
    struct Case {
        const char* phys;
        const char* controller;  // null: not a USB place
        const char* chain;
    };
    const Case cases[] = {
        {"usb-0000:00:14.0-1.4/input0", "0000:00:14.0", "1.4"},
        {"usb-0000:00:14.0-1/input1", "0000:00:14.0", "1"},
        {"usb-xhci-hcd.0.auto-2.1.3/input0", "xhci-hcd.0.auto", "2.1.3"},
        {"usb-0000:00:14.0-1.4", "0000:00:14.0", "1.4"},
        {"aa:bb:cc:dd:ee:ff", nullptr, nullptr},
        {"usb-0000:00:14.0-/input0", nullptr, nullptr},
        {"usb-0000:00:14.0-1..4/input0", nullptr, nullptr},
        {"usb-1.4/input0", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseUsbPhys(c.phys);
        ASSERT_EQ(parsed.has_value(), c.controller != nullptr) << c.phys;
        if (!parsed) continue;
        EXPECT_EQ(parsed->controller, c.controller) << c.phys;
        EXPECT_EQ(parsed->portChain, c.chain) << c.phys;
        EXPECT_EQ(UsbPortName(2, *parsed), std::string("2-") + c.chain);
    }
}

}  // namespace
}  // namespace tolvane::hidraw
