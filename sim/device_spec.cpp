#include "device_spec.h"

namespace tolvane::sim {

const char* ReportKindName(ReportKind kind) {
    switch (kind) {
        case ReportKind::Any:
            return "Any";
        case ReportKind::ResetFeature00:
            return "ResetFeature00";
        case ReportKind::ResetFeature40:
            return "ResetFeature40";
        case ReportKind::ResetOutput0C:
            return "ResetOutput0C";
        case ReportKind::StartQuery:
            return "StartQuery";
        case ReportKind::StartAnswer:
            return "StartAnswer";
        case ReportKind::Setup:
            return "Setup";
        case ReportKind::Data:
            return "Data";
        case ReportKind::FinishQuery:
            return "FinishQuery";
        case ReportKind::ChecksumAnswer:
            return "ChecksumAnswer";
        case ReportKind::OtherFeatureSet:
            return "OtherFeatureSet";
        case ReportKind::OtherFeatureGet:
            return "OtherFeatureGet";
        case ReportKind::OtherOutput:
            return "OtherOutput";
    }
    return "?";
}

DeviceSpec DeviceSpec::target(std::uint16_t vendorId, std::uint16_t productId) {
    DeviceSpec config;
    config.application.vendorId = vendorId;
    config.application.productId = productId;
    return config;
}

DeviceSpec DeviceSpec::plainDevice(std::uint16_t vendorId, std::uint16_t productId,
                                   std::uint16_t featureReportLength) {
    DeviceSpec config = target(vendorId, productId);
    config.plain = true;
    config.application.interfaces.at(0).featureReportLength = featureReportLength;
    return config;
}

DeviceSpec DeviceSpec::bootLoaderOnly(std::uint16_t productId) {
    DeviceSpec config;
    config.bootLoader.productId = productId;
    config.startsIn = Mode::BootLoader;
    return config;
}

}  // namespace tolvane::sim
