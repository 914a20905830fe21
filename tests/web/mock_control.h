// The C++ tests' hold on the mock WebHID (mock_hid.js) and the mock target (mock_target.js).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::web::testing {

struct MockSpec {
    std::uint16_t vendorId = 0x5C3B;
    std::uint16_t productId = 0x030B;
    std::uint16_t featureBytes = 64;  // without the identifier byte
    std::uint16_t outputBytes = 8;
    std::uint16_t inputBytes = 8;
    std::uint8_t reportId = 0;  // 0: the device numbers no reports
    std::uint32_t collections = 1;
    bool refusesOpen = false;
};

// How a plugged device answers: `Answer` sets nothing and answers 9, 8, 7, ... to a Get;
// `Refuse` fails every transfer; `Hang` never answers.
enum class MockBehaviour { Answer, Refuse, Hang };

// Takes every device away and forgets queued changes; the transfer limit back to 5 s.
void MockReset();
// Plugs in a new device, permitted; answers its index.
int MockPlug(const MockSpec& spec, MockBehaviour behaviour = MockBehaviour::Answer);
void MockUnplug(int device);
// Takes the device away `ms` from now, on JavaScript's event loop.
void MockUnplugAfter(int device, std::uint32_t ms);

struct MockCall {
    std::string what;  // onSetFeature, onGetFeature, onOutput
    int id = -1;
    std::vector<std::uint8_t> bytes;
};
std::vector<MockCall> MockCalls(int device);

// The mock target with the given re-enumeration time, in its application or already in its boot
// loader; MockTargetHolds compares its memory.
void MockTargetPlug(std::uint32_t reenumerationMs, bool inBootLoader = false);
bool MockTargetHolds(const std::vector<std::uint8_t>& image);

}  // namespace tolvane::web::testing
