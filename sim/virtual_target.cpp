#include "virtual_target.h"

#include <algorithm>

namespace tolvane::sim {

DeviceSpec VirtualTarget::specFor(const VirtualTargetOptions& options) {
    DeviceSpec spec = DeviceSpec::target(kVirtualTargetVendorId, kVirtualTargetProductId);
    spec.bootLoader.productId = options.bootLoaderProductId;
    for (Identity* identity : {&spec.application, &spec.bootLoader}) {
        InterfaceSpec& interface = identity->interfaces.at(0);
        interface.inputReportLength = options.reportLength;
        interface.outputReportLength = options.reportLength;
        interface.featureReportLength = options.reportLength;
    }
    spec.startsIn = options.startsInBootLoader ? Mode::BootLoader : Mode::Application;
    spec.neverEntersBootLoader = options.neverEntersBootLoader;
    spec.wrongChecksum = options.wrongChecksum;
    spec.bootLoaderArrivalMs = options.paced ? options.reenumerationMs : 0;
    spec.applicationArrivalMs = options.paced ? options.reenumerationMs : 0;
    spec.reportPaceMs = options.paced ? options.reportPaceMs : 0;
    if (options.refusedDataReport > 0) {
        spec.bootLoader.interfaces.at(0).refusals.push_back(
            {ReportKind::Data, Fault::always(kErrorGenFailure), options.refusedDataReport});
    }
    if (options.unplugAtDataReport > 0) {
        spec.unplugRules.push_back({ReportKind::Data, options.unplugAtDataReport});
    }
    return spec;
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
