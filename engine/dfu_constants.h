// Result codes and protocol constants of the DFU engine.
#pragma once

#include <cstdint>
#include <string_view>

namespace tolvane {

// Unsigned 32-bit result of every engine operation: 0 is success, 0xE0000100 to 0xE0000107 are
// the engine's own, any other value is a system error number passed on unchanged.
using ResultCode = std::uint32_t;

inline constexpr ResultCode DFU_SUCCESS = 0;
inline constexpr ResultCode DFU_ALREADY_IN_DFU = 0xE0000100;
inline constexpr ResultCode DFU_ERR_NOT_FOUND = 0xE0000102;
inline constexpr ResultCode DFU_ERR_ENTER_DFU = 0xE0000103;
inline constexpr ResultCode DFU_ERR_RESET_TO_AP = 0xE0000104;
inline constexpr ResultCode DFU_ERR_AP_TIMEOUT = 0xE0000105;
inline constexpr ResultCode DFU_ERR_DFU_TIMEOUT = 0xE0000106;
inline constexpr ResultCode DFU_ERR_VERIFY = 0xE0000107;

// The name of a result code ("DFU_ERR_VERIFY"), or null for a system error number.
const char* ResultCodeName(ResultCode code) noexcept;

// Boot-loader identity.
inline constexpr std::uint16_t DFU_VENDOR_ID = 0x5C3B;
inline constexpr std::uint16_t DFU_PRODUCT_ID_1 = 0x030B;
inline constexpr std::uint16_t DFU_PRODUCT_ID_2 = 0x0332;

// Interface-path prefixes of the two boot-loader identities; the '#' belongs to the prefix, and
// IsBootLoaderPath also takes an '&' in its place (an interface or collection suffix).
inline constexpr std::u16string_view DFU_PATH_PREFIX_1 = u"\\\\?\\HID#Vid_5c3b&Pid_030b#";
inline constexpr std::u16string_view DFU_PATH_PREFIX_2 = u"\\\\?\\HID#Vid_5c3b&Pid_0332#";
static_assert(DFU_PATH_PREFIX_1.size() == 26 && DFU_PATH_PREFIX_2.size() == 26);

// Device paths hold at most 259 UTF-16 units and a terminator.
inline constexpr std::size_t DEVICE_PATH_CAPACITY = 260;

// Command bytes.
inline constexpr std::uint8_t DFU_CMD_RESET = 0x44;
inline constexpr std::uint8_t DFU_CMD_QUERY = 0x22;
inline constexpr std::uint8_t DFU_CMD_SETUP = 0x33;

// The progress of a download that has sent no data yet (at load, and from the start of a reset
// to the boot loader or of a download).
inline constexpr std::uint32_t PERCENTAGE_NONE = 255;

// Mode switching.
inline constexpr std::size_t RESET_REPORT_CAPACITY = 65;
inline constexpr std::uint8_t RESET_MIN_REPORT_LENGTH = 8;
inline constexpr std::uint8_t RESET_FALLBACK_REPORT_ID = 0x40;
inline constexpr std::uint8_t RESET_OUTPUT_REPORT_ID = 0x0C;
inline constexpr std::uint16_t VENDOR_SEQUENCE_PRODUCTS[] = {0x0325, 0x0331, 0x0326};
inline constexpr std::uint8_t VENDOR_RESET_SEQUENCE[] = {0x55, 0x23, 0x01, 0x09, 0x00, 0x86};
inline constexpr std::uint32_t CHANGE_TIMEOUT_MS = 30000;

// Download.
inline constexpr std::uint32_t DOWNLOAD_SEARCH_PASSES = 30;
inline constexpr std::uint32_t DOWNLOAD_SEARCH_PAUSE_MS = 1000;
inline constexpr std::uint32_t DOWNLOAD_INSTALL_PAUSE_MS = 2000;
inline constexpr std::uint32_t DOWNLOAD_INSTALL_WAITS = 3;
inline constexpr std::uint32_t DOWNLOAD_DATA_RETRIES = 2000;
inline constexpr std::uint32_t DOWNLOAD_RETRY_PAUSE_MS = 8;
// The time limit of the setup report, of each data report (all its attempts together) and of the
// checksum answer: a boot loader may hold them while it erases, writes or checks its memory. The
// other reports of the download get the handle's default, kDefaultTransferLimitMs.
inline constexpr std::uint32_t DOWNLOAD_LONG_TRANSFER_LIMIT_MS = 30000;
// A refusal (a stall) comes at once. A failure that took this long came after a wait: the device
// may have taken the report, so it is not sent again.
inline constexpr std::uint32_t DOWNLOAD_REFUSAL_ANSWER_MS = 1000;
inline constexpr std::uint32_t DOWNLOAD_FINAL_INSTALL_WAIT_MS = 10000;
inline constexpr std::uint8_t DOWNLOAD_MIN_FEATURE_REPORT_LENGTH = 9;
// The setup report carries the load address and the image size in 24 bits each: the largest
// image, and the boot loader's last address.
inline constexpr std::uint32_t DOWNLOAD_MAX_IMAGE_SIZE = 0xFFFFFF;
inline constexpr std::uint32_t BOOT_LOADER_LAST_ADDRESS = DOWNLOAD_MAX_IMAGE_SIZE;

// The pause after the setup report: 24 ms for each whole 512 bytes, plus 48 ms.
constexpr std::uint32_t SetupPauseMs(std::uint32_t size) noexcept {
    return (size >> 9) * 24 + 48;
}

}  // namespace tolvane
