#include "system/device_lock.h"

#include <windows.h>

#include <sddl.h>

#include <memory>
#include <string>
#include <type_traits>

namespace tolvane::cli {
namespace {

// A named semaphore with one token: unlike a mutex no thread owns it, so the engine thread that
// took it may end (as each device's thread does under --all) and the run's last thread gives it
// back, without it ever being "abandoned" and taken by another process in between.
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, decltype(&CloseHandle)>;
using UniqueLocalMemory = std::unique_ptr<void, decltype(&LocalFree)>;

// Only what a taker needs: wait for the token and give it back.
constexpr DWORD kLockAccess = SYNCHRONIZE | SEMAPHORE_MODIFY_STATE;

// A name the same in every session; a backslash may not follow the prefix. Instance identifiers
// and ports are ASCII; letters are taken in lower case, as Windows compares them either way.
std::wstring LockName(std::wstring_view prefix, std::string_view what) {
    std::wstring name(prefix);
    for (char c : what) {
        if (c == '\\') c = '#';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        name += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return name;
}

// Every user may wait on and release the semaphore, whoever made it: with the maker's default
// rights a run of another user, or one without elevation after an elevated one, would be refused
// the global name and lock nothing that the maker's run sees.
UniqueLocalMemory OpenToEveryone() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:(A;;0x00100002;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
        descriptor = nullptr;  // the maker's default rights, then
    }
    return UniqueLocalMemory(descriptor, &LocalFree);
}

// Makes or opens the semaphore `name` with its one token free at first.
UniqueHandle MakeOrOpenSemaphore(const std::wstring& name) {
    const UniqueLocalMemory descriptor = OpenToEveryone();
    SECURITY_ATTRIBUTES security{sizeof(security), descriptor.get(), FALSE};
    return UniqueHandle(
        CreateSemaphoreExW(descriptor ? &security : nullptr, 1, 1, name.c_str(), 0, kLockAccess),
        &CloseHandle);
}

// Tries the semaphore `name` in the global namespace, which every session shares, and in the
// session's own where the global one is refused (a process without the right to it).
std::unique_ptr<DeviceLock> TakeSemaphore(std::string_view name, std::wstring_view kind,
                                          DeviceLock::Outcome& outcome) {
    outcome = DeviceLock::Outcome::Unavailable;
    if (name.empty()) return nullptr;
    UniqueHandle semaphore =
        MakeOrOpenSemaphore(LockName(L"Global\\tolvane-" + std::wstring(kind), name));
    if (!semaphore && GetLastError() == ERROR_ACCESS_DENIED) {
        semaphore = MakeOrOpenSemaphore(LockName(L"Local\\tolvane-" + std::wstring(kind), name));
    }
    if (!semaphore) {
        // Another kind of object under the name: an earlier build's mutex, which exists only
        // while that build's run holds it.
        if (GetLastError() == ERROR_INVALID_HANDLE) outcome = DeviceLock::Outcome::Busy;
        return nullptr;
    }
    const DWORD waited = WaitForSingleObject(semaphore.get(), 0);
    if (waited == WAIT_TIMEOUT) outcome = DeviceLock::Outcome::Busy;
    if (waited != WAIT_OBJECT_0) return nullptr;  // closing the handle gives nothing back
    std::unique_ptr<DeviceLock> lock;
    try {
        lock = std::make_unique<DeviceLock>(reinterpret_cast<std::intptr_t>(semaphore.get()));
    } catch (...) {
        ReleaseSemaphore(semaphore.get(), 1, nullptr);
        throw;
    }
    (void)semaphore.release();  // the lock owns the handle and its token now
    outcome = DeviceLock::Outcome::Taken;
    return lock;
}

}  // namespace

std::unique_ptr<DeviceLock> DeviceLock::take(std::string_view node, Outcome& outcome) {
    return TakeSemaphore(node, L"device-", outcome);
}

std::unique_ptr<DeviceLock> DeviceLock::takePort(std::string_view port, Outcome& outcome) {
    return TakeSemaphore(port, L"port-", outcome);
}

// Gives the token back, from whatever thread the run ends on, then closes the handle.
DeviceLock::~DeviceLock() {
    HANDLE semaphore = reinterpret_cast<HANDLE>(handle_);
    ReleaseSemaphore(semaphore, 1, nullptr);
    CloseHandle(semaphore);
}

}  // namespace tolvane::cli
