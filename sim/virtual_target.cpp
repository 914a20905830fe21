#include "virtual_target.h"

#include <algorithm>

namespace tolvane::sim {

DeviceSpec VirtualTarget::specFor(const VirtualTargetOptions& options) {
    DeviceSpec config = DeviceSpec::target(kVirtualTargetVendorId, kVirtualTargetProductId);
    config.bootLoader.productId = options.bootLoaderProductId;
    for (Identity* identity : {&config.application, &config.bootLoader}) {
        InterfaceSpec& interface = identity->interfaces.at(0);
        interface.inputReportLength = options.reportLength;
        interface.outputReportLength = options.reportLength;
        interface.featureReportLength = options.reportLength;
    }
    config.startsIn = options.startsInBootLoader ? Mode::BootLoader : Mode::Application;
    config.neverEntersBootLoader = options.neverEntersBootLoader;
    config.neverReturnsToApplication = options.neverReturnsToApplication;
    config.wrongChecksum = options.wrongChecksum;
    config.bootLoaderArrivalMs = options.paced ? options.reenumerationMs : 0;
    config.applicationArrivalMs = options.paced ? options.reenumerationMs : 0;
    config.reportPaceMs = options.paced ? options.reportPaceMs : 0;
    if (options.refusedDataReport > 0) {
        config.bootLoader.interfaces.at(0).refusals.push_back(
            {ReportKind::Data, Fault::always(kErrorGenFailure), options.refusedDataReport});
    }
    if (options.unplugAtDataReport > 0) {
        config.unplugRules.push_back(
            {ReportKind::Data, options.unplugAtDataReport, options.unplugAcknowledged});
    }
    if (options.heldDataReport > 0) {
        config.holdRules.push_back({ReportKind::Data, options.heldDataReport, options.holdMs});
    }
    return config;
}

VirtualTarget::VirtualTarget(const VirtualTargetOptions& options)
    : ownTimeline_(std::make_unique<RealTimeline>()),
      ownTranscript_(std::make_unique<Transcript>()),
      transcript_(*ownTranscript_),
      bus_(*ownTimeline_, *ownTranscript_),
      device_(bus_.addDevice(specFor(options))) {}

VirtualTarget::VirtualTarget(Timeline& timeline, Transcript& transcript,
                             const VirtualTargetOptions& options)
    : transcript_(transcript),
      bus_(timeline, transcript),
      device_(bus_.addDevice(specFor(options))) {}

bool VirtualTarget::received(std::span<const std::uint8_t> image) const {
    const DeviceMemory memory = device_.memory();
    return std::equal(memory.image.begin(), memory.image.end(), image.begin(), image.end());
}

}  // namespace tolvane::sim
