// Windows-style HID interface paths for simulated devices.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvane::sim {

// \\?\hid#vid_5c3b&pid_030b<suffix>#6&<instance>&0&<index>#{4d1e55b2-f16f-11cf-88cb-001111000030}
std::u16string MakeInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                                 std::u16string_view collectionSuffix, std::uint32_t instance,
                                 std::uint32_t index);

// Equal without regard to ASCII case, as the system compares device paths.
bool SamePath(std::u16string_view a, std::u16string_view b);
// The path with ASCII letters in lower case: a key under which SamePath's equal paths meet.
std::u16string LowerCasePath(std::u16string_view path);

}  // namespace tolvane::sim
