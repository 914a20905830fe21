// The calls into the page's side of the HID bus (web_hid.js), one C++ function each. The
// asynchronous ones suspend the program (Asyncify) until their promise settles; JavaScript's
// events run meanwhile.
#pragma once

#include "sys_error.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace tolvane::web::js {

enum class TransferKind : int { SendFeature = 0, ReceiveFeature = 1, SendOutput = 2 };

// Binds to navigator.hid; false where the browser has no WebHID.
bool Attach();
// The numbers of the devices the page may use now (getDevices). Suspends.
std::vector<std::uint32_t> ListDevices();
// The report layout of one top-level collection (web_hid.js, describe); none for an unknown
// number.
std::optional<std::vector<std::uint32_t>> Describe(std::uint32_t number, std::uint32_t collection);
// Whether the device is still there (numbered and not gone).
bool IsPresent(std::uint32_t number);
// Opens the device for transfers (once for all its handles). Suspends.
SysError Open(std::uint32_t number);
void Close(std::uint32_t number);
// One transfer with the report's identifier apart from its data; a received report is copied to
// `received` (as much as fits) and its length stored. Suspends.
SysError Transfer(TransferKind kind, std::uint32_t number, std::uint8_t reportId,
                  std::span<const std::uint8_t> data, std::span<std::uint8_t> received,
                  std::size_t& receivedLength);
// The arrivals and removals (event type, device number) since the last call, in order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> TakeChanges();
// Returns after `ms` (without limit for a negative value) or at the next arrival or removal.
// Suspends.
void Idle(std::int64_t ms);
// Milliseconds on the page's monotonic clock.
std::uint64_t NowMs();
// What the browser said about the latest failed call ("NotAllowedError: ..."); empty if none.
std::string LastError();
// Sets the transfer limit (5 s unless a test makes it shorter).
void SetTransferLimit(std::uint32_t ms);

}  // namespace tolvane::web::js
