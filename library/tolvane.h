/*
 * Tolvane: firmware updates for USB HID devices through their boot loader.
 *
 * Six functions. On 32-bit Windows they use the stdcall convention (the callee removes its
 * arguments) and are exported from Tolvane.dll under their plain names; every parameter and
 * every result is a 32-bit value, the image pointer of DFU_Download aside.
 *
 * One update, in order:
 *   1. DFU_Initialize() once: it creates the hidden window that learns of the boot loader's
 *      arrival and removal. The window belongs to the calling thread.
 *   2. DFU_ResetToISP(vid, pid); go on if it returns DFU_SUCCESS or DFU_ALREADY_IN_DFU.
 *   3. DFU_Download(image, address, size, checksum); meanwhile any thread may poll
 *      DFU_GetPercentage().
 *   4. DFU_ResetToAP() if the download returned DFU_SUCCESS.
 *   5. DFU_Deinitialize() on the thread that called DFU_Initialize.
 * DFU_ResetToISP, DFU_Download and DFU_ResetToAP must not overlap.
 *
 * Threads (Windows; on Linux no message loop is needed). The hidden window's notifications are
 * handled only when the thread that called DFU_Initialize retrieves its window messages. Either
 *   - call everything on that one thread: while DFU_ResetToISP or DFU_ResetToAP waits there, it
 *     dispatches what a modal wait of the system dispatches: messages sent to the thread from
 *     other threads (device notifications are such messages) and the messages posted to the
 *     library's hidden window. Messages posted to the program's own windows (a click, a timer)
 *     and WM_QUIT stay queued for the program's loop, so none of its handlers runs inside a
 *     reset. A handler that runs there all the same (one reached by a message another thread
 *     sends) must not call the library: a nested reset or a DFU_Deinitialize ends the waiting
 *     reset with its time-out code; or
 *   - call DFU_Initialize and DFU_Deinitialize on a thread that keeps dispatching its messages
 *     (a dialog or window loop) for as long as the library is used, and the resets and the
 *     download on another thread, so that the interface stays responsive.
 * DFU_Initialize and DFU_Deinitialize may be called from several threads at once: each call
 * returns a result code, no device arrival is lost meanwhile, and the library stays usable, but
 * only the owning thread can destroy the window (see DFU_Deinitialize). Unloading the library
 * while its window exists does not unload its code: the module stays loaded until a
 * DFU_Deinitialize on the owning thread.
 *
 * Device transfers. Each feature or output report has a time limit; a transfer that outlasts it is
 * cancelled and fails with 995 (ERROR_OPERATION_ABORTED). DFU_Download gives its setup report,
 * each data report and the checksum answer 30 seconds (a boot loader may hold them while it
 * erases, writes or checks its memory), every other report 5 seconds. On Linux usbhid's own 5 s
 * limit for a control transfer applies first (1460, ERROR_TIMEOUT; over uhid 31 after the wait),
 * so there no report waits longer than 5 seconds.
 * A report is never sent twice after a transfer that may have reached the device: the boot loader
 * counts the bytes it takes, and a second copy would shift everything after it. A time-out, or any
 * failure that comes after a wait, ends the download with its error. Only a data report the
 * device refused at once is tried again, 8 ms apart, up to 2000 times, and never for more than
 * 30 seconds for that one report in all; a device that is gone (1167) is not tried again.
 */
#ifndef TOLVANE_H
#define TOLVANE_H

#include <stdint.h>

#if defined(_WIN32)
#define TOLVANE_CALL __stdcall
#if defined(TOLVANE_BUILDING_LIBRARY)
#define TOLVANE_API
#else
#define TOLVANE_API __declspec(dllimport)
#endif
#else
#define TOLVANE_CALL
#define TOLVANE_API __attribute__((visibility("default")))
#endif

/*
 * Result codes. Every function but DFU_GetPercentage returns one. 0 is success; the library's
 * own codes are 0xE0000100 to 0xE0000107; 14 (ERROR_OUTOFMEMORY) means the download's report
 * buffer could not be allocated; any other value is the operating system's error number of the
 * call that failed, passed on unchanged.
 */

/* Done. Also DFU_Initialize when already initialised, DFU_Deinitialize when not initialised,
 * and DFU_Download with size 0. */
#define DFU_SUCCESS 0x00000000u
/* DFU_ResetToISP: the device is already in its boot loader (the named device is absent but a
 * boot loader is present, or the arguments name a present boot loader). Nothing was sent. Treat
 * it as success and go on to the download. */
#define DFU_ALREADY_IN_DFU 0xE0000100u
/* DFU_ResetToISP: neither the named device nor a boot loader is present. DFU_ResetToAP: no boot
 * loader is present. DFU_Download: no boot loader appeared within the search period, or its
 * feature reports are 8 bytes or shorter. */
#define DFU_ERR_NOT_FOUND 0xE0000102u
/* DFU_ResetToISP: sending the reset command to the named device failed. */
#define DFU_ERR_ENTER_DFU 0xE0000103u
/* DFU_ResetToAP: sending the reset command to the boot loader failed. */
#define DFU_ERR_RESET_TO_AP 0xE0000104u
/* DFU_ResetToAP: the boot loader's removal was not seen within 30 seconds, or no watcher was
 * started (DFU_Initialize). */
#define DFU_ERR_AP_TIMEOUT 0xE0000105u
/* DFU_ResetToISP: the boot loader's arrival was not seen within 30 seconds, or no watcher was
 * started (DFU_Initialize). */
#define DFU_ERR_DFU_TIMEOUT 0xE0000106u
/* DFU_Download: the checksum the boot loader reports differs from the low 16 bits of
 * `checksum`. */
#define DFU_ERR_VERIFY 0xE0000107u

/* DFU_GetPercentage before any data has been sent. */
#define DFU_PERCENTAGE_NONE 255u

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the device-change watcher: a hidden window registered for HID interface arrivals and
 * removals, owned by the calling thread (see "Threads" above). A second call returns DFU_SUCCESS
 * and creates nothing. An event or registration that fails without an error number answers 31
 * (ERROR_GEN_FAILURE). When the window cannot be created, a message box says so; it is shown
 * after the library has let go of its lock, so calls on other threads go on meanwhile. */
TOLVANE_API uint32_t TOLVANE_CALL DFU_Initialize(void);

/* Restarts the device with the given vendor and product identifiers (low 16 bits compared) into
 * its boot loader and waits up to 30 seconds for the boot loader to appear. */
TOLVANE_API uint32_t TOLVANE_CALL DFU_ResetToISP(uint32_t vid, uint32_t pid);

/* Finds the boot loader and writes `size` bytes of `image` to it; the low 24 bits of `address`
 * are the load address; the low 16 bits of `checksum` must equal the boot loader's sum of what
 * it received (the sum of all image bytes). */
TOLVANE_API uint32_t TOLVANE_CALL DFU_Download(const uint8_t* image, uint32_t address,
                                               uint32_t size, uint32_t checksum);

/* Progress of the download in whole percent: 255 (DFU_PERCENTAGE_NONE) before any data has been
 * sent, 100 once all has been sent. Callable from any thread at any time. */
TOLVANE_API uint32_t TOLVANE_CALL DFU_GetPercentage(void);

/* Restarts the boot loader into the application and waits up to 30 seconds for the boot loader
 * to disappear. */
TOLVANE_API uint32_t TOLVANE_CALL DFU_ResetToAP(void);

/* Stops the watcher and releases its window, event and registration. Call it on the thread that
 * called DFU_Initialize: from another thread the window cannot be destroyed and 5
 * (ERROR_ACCESS_DENIED) is returned, while the watcher still returns to its idle state; the
 * window then stays, inert, until its thread ends, and a call of its procedure in progress on
 * that thread is waited for. A reset waiting meanwhile ends with its time-out code. */
TOLVANE_API uint32_t TOLVANE_CALL DFU_Deinitialize(void);

#ifdef __cplusplus
}
#endif

#endif /* TOLVANE_H */
