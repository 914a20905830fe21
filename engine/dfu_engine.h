// The DFU engine: state, device discovery, the device-change watcher, mode switching and the
// firmware download, written once over the HID-bus and system-services seams.
#pragma once

#include "dfu_constants.h"
#include "engine_state.h"
#include "hid_bus.h"
#include "port_scope.h"
#include "system_services.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolvane {

// One engine owns one EngineState. Each deliverable keeps exactly one process-wide instance bound
// to its platform; tests build their own. No exception leaves a public operation: every failure
// becomes a result code on the spot. The resets and the download share `target` and must not
// overlap; percentage() may be read from any thread at any time.
class DfuEngine final : private DeviceChangeHandler {
public:
    DfuEngine(HidBus& bus, SystemServices& services) noexcept;
    ~DfuEngine() override;
    DfuEngine(const DfuEngine&) = delete;
    DfuEngine& operator=(const DfuEngine&) = delete;

    // The library's watcher: DFU_Initialize and DFU_Deinitialize.
    ResultCode StartDeviceChangeWatcher() noexcept;
    ResultCode StopDeviceChangeWatcher() noexcept;
    // The program's variants: a larger button, `initialized` set only once the window exists,
    // other failure texts, failures ignored.
    void StartProgramDeviceChangeWatcher() noexcept;
    void StopProgramDeviceChangeWatcher() noexcept;

    ResultCode ResetToIsp(std::uint32_t vid, std::uint32_t pid) noexcept;
    ResultCode ResetToAp() noexcept;
    // `image` must hold `size` readable bytes for the whole call; only the low 24 bits of
    // `address` are sent, only the low 16 bits of `checksum` are compared.
    ResultCode Download(const std::uint8_t* image, std::uint32_t address, std::uint32_t size,
                        std::uint32_t checksum) noexcept;
    std::uint32_t GetPercentage() const noexcept;
    // The image bytes whose data reports went through in the current or latest download.
    std::uint32_t BytesSent() const noexcept;
    // One more look for a boot loader at the port of the device that the last reset went to
    // (or within the port scope) after that reset timed out:
    // waits up to `installWaitMs` for pending device installations, then searches once. True
    // when one is present; the awaited arrival then counts as seen. Nothing stays open. Not part
    // of the resets themselves: a front end that gives a slow first installation more time
    // calls it.
    bool LookOnceMoreForBootLoader(std::uint32_t installWaitMs) noexcept;

    // Confines this engine to the device at `port` (as HidBus::portOf names it): every search
    // skips interfaces elsewhere and the watcher hears only of changes there, so the resets and
    // the download follow that one device through both its identities. Call it before a reset or
    // download, not during one. Without it the engine takes the first device that matches.
    void ScopeToPort(std::string port);
    std::optional<std::string> ScopedPort() const { return scope_.port(); }

    // Internal steps, public so that tests can drive them one at a time.
    bool FindHidDevice(std::uint16_t vendorId, std::uint16_t productId) noexcept;
    bool SendResetCommand() noexcept;
    // Closes the device a search left open.
    void CloseTarget() noexcept;
    // The checks of the hidden window's procedure for WM_DEVICECHANGE; always answers false.
    bool DeviceChangeProc(const DeviceChangeMessage& message) noexcept;

    const EngineState& state() const noexcept { return state_; }

private:
    void onDeviceChange(const DeviceChangeMessage& message) override;

    bool findBootLoader() noexcept;
    bool awaitBootLoader();
    ResultCode downloadFound(const std::uint8_t* image, std::uint32_t address, std::uint32_t size,
                             std::uint32_t checksum);
    ResultCode awaitChange(ResultCode timeoutResult) noexcept;
    // Caller holds watcherMutex. The message box of a failed window is left to the caller, which
    // shows it once the lock is released.
    ResultCode startLibraryWatcherLocked(bool& windowFailed) noexcept;
    void startProgramWatcherLocked(bool& windowFailed, SysError& windowError) noexcept;
    SysError releaseWatcher() noexcept;
    // The event of the running watcher, or none; a wait keeps it alive while it lasts.
    std::shared_ptr<AutoResetEvent> changeEvent() noexcept;
    // Puts `event` in place of the current event and answers the one it replaced.
    std::shared_ptr<AutoResetEvent> exchangeChangeEvent(
        std::shared_ptr<AutoResetEvent> event) noexcept;

    HidBus& bus_;
    SystemServices& services_;
    EngineState state_;
    PortScope scope_;
    // The port of the device the last reset to boot loader was sent to; empty when unknown.
    std::string resetPort_;
};

// The sum of all image bytes modulo 2^32; its low 16 bits are what a boot loader reports.
std::uint32_t ImageChecksum(const std::uint8_t* image, std::size_t size) noexcept;

// Whether the beginning of `name` is one of the boot loader's two interface-path prefixes,
// compared over exactly the prefix's length without regard to ASCII case.
bool IsBootLoaderPath(std::u16string_view name) noexcept;

}  // namespace tolvane
