// libFuzzer entry: any byte string as a report descriptor. The parser must answer without reading
// outside the input; the sanitizers catch any such read.
#include "report_descriptor.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)tolvane::hidraw::ReportLengthsByCollection(std::span<const std::uint8_t>(data, size));
    return 0;
}
