// Every system error number this system passes around, named once. The numbers are Windows'
// (GetLastError): the Windows backend answers its calls' own numbers, the Linux, POSIX and
// simulated backends translate into them, the library returns them to its callers and the tool
// prints them, so a number means the same on every platform. 0 means success.
#pragma once

#include <cstdint>

namespace tolvane {

// A system error number; 0 means no error.
using SysError = std::uint32_t;

// The backend or the device cannot do this: no serial number or port known, no output report.
inline constexpr SysError kErrorInvalidFunction = 1;
// The path names no device interface, or a file the tool was asked to read does not exist.
inline constexpr SysError kErrorFileNotFound = 2;
// A file's folder does not exist (the tool's files).
inline constexpr SysError kErrorPathNotFound = 3;
// The process has no descriptor left to open a file with (the tool's files).
inline constexpr SysError kErrorTooManyOpenFiles = 4;
// No right to the device or file; also a notify window destroyed from a thread not its owner.
inline constexpr SysError kErrorAccessDenied = 5;
// A call on an event that was closed.
inline constexpr SysError kErrorInvalidHandle = 6;
// The tool's file calls ran out of memory.
inline constexpr SysError kErrorNotEnoughMemory = 8;
// An image whose content the tool refuses (bad Intel HEX, too large, past the last address).
inline constexpr SysError kErrorInvalidData = 13;
// A device call ran out of memory.
inline constexpr SysError kErrorOutOfMemory = 14;
// A line the tool had to write could not be written.
inline constexpr SysError kErrorWriteFault = 29;
// A call failed without a closer number (also what a failure without any number answers, so
// that it never reads as success); a device that stalls a report.
inline constexpr SysError kErrorGenFailure = 31;
// A report of the wrong length or an unknown report identifier, an empty buffer; the tool's bad
// usage and unreadable recordings.
inline constexpr SysError kErrorInvalidParameter = 87;
// The disk is full (the tool's files).
inline constexpr SysError kErrorDiskFull = 112;
// A wait for the device ran out (a transfer the driver ended at its own limit).
inline constexpr SysError kErrorSemTimeout = 121;
// A buffer too small for what the system had to give.
inline constexpr SysError kErrorInsufficientBuffer = 122;
// Another process holds the device's lock.
inline constexpr SysError kErrorBusy = 170;
// A transfer cancelled at its time limit; the tool's code for an interrupted run.
inline constexpr SysError kErrorOperationAborted = 995;
// A read or write error of the medium under a file (the tool's files).
inline constexpr SysError kErrorIoDevice = 1117;
// The device is gone: unplugged, or left to re-enumerate; every later call on its handles too.
inline constexpr SysError kErrorDeviceNotConnected = 1167;
// A transfer the system itself ended at its time limit (Linux's 5 s limit for a control request).
inline constexpr SysError kErrorTimeout = 1460;
// An output report longer than the device's.
inline constexpr SysError kErrorInvalidUserBuffer = 1784;

}  // namespace tolvane
