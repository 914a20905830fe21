// The search's rule for taking an interface, written once: its identity is one sought and it has
// feature reports. The engine's search, the candidate count before an update and the tool's
// listing all judge an interface by it.
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <optional>

namespace tolvane {

// The identities a search takes.
struct SoughtIdentity {
    bool application = true;  // the identity below
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool bootLoaders = false;  // either of the boot loader's identities

    bool matches(const HidAttributes& attributes) const noexcept;
};

// Either of the boot loader's identities.
bool IsBootLoaderIdentity(const HidAttributes& attributes) noexcept;
inline constexpr SoughtIdentity kBootLoaderIdentities{.application = false, .bootLoaders = true};

// The rule on what was read of an interface.
bool SearchAccepts(const SoughtIdentity& sought, const HidAttributes& attributes,
                   const HidCapabilities& capabilities) noexcept;

struct AcceptedInterface {
    HidAttributes attributes;
    HidCapabilities capabilities;
};

// Reads an opened interface as the search does (its attributes, then its capabilities only when
// the identity is sought) and answers what was read when the rule takes it.
std::optional<AcceptedInterface> ReadIfAccepted(HidDevice& device, const SoughtIdentity& sought);

}  // namespace tolvane
