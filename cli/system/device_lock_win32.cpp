#include "system/device_lock.h"

#include <windows.h>

#include <string>

namespace tolvane::cli {
namespace {

// A name the same in every session; a backslash may not follow the prefix. Instance identifiers
// and ports are ASCII; letters are taken in lower case, as Windows compares them either way.
std::wstring MutexName(std::wstring_view prefix, std::string_view what) {
    std::wstring name(prefix);
    for (char c : what) {
        if (c == '\\') c = '#';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        name += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return name;
}

// Tries the mutex `name` in the global namespace, which every session shares, and in the
// session's own where the global one is refused (a process without the right to it).
std::unique_ptr<DeviceLock> TakeMutex(std::string_view name, std::wstring_view kind,
                                      DeviceLock::Outcome& outcome) {
    outcome = DeviceLock::Outcome::Unavailable;
    if (name.empty()) return nullptr;
    HANDLE mutex = CreateMutexW(nullptr, FALSE,
                                MutexName(L"Global\\tolvane-" + std::wstring(kind), name).c_str());
    if (mutex == nullptr && GetLastError() == ERROR_ACCESS_DENIED) {
        mutex = CreateMutexW(nullptr, FALSE,
                             MutexName(L"Local\\tolvane-" + std::wstring(kind), name).c_str());
    }
    if (mutex == nullptr) return nullptr;
    auto lock = std::make_unique<DeviceLock>(reinterpret_cast<std::intptr_t>(mutex));
    // A mutex whose holder ended without releasing it is free: its update is over.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        outcome = DeviceLock::Outcome::Taken;
        return lock;
    }
    if (waited == WAIT_TIMEOUT) outcome = DeviceLock::Outcome::Busy;
    return nullptr;
}

}  // namespace

std::unique_ptr<DeviceLock> DeviceLock::take(std::string_view node, Outcome& outcome) {
    return TakeMutex(node, L"device-", outcome);
}

std::unique_ptr<DeviceLock> DeviceLock::takePort(std::string_view port, Outcome& outcome) {
    return TakeMutex(port, L"port-", outcome);
}

// Closing the last handle frees the mutex for the next process even when it is released on a
// thread other than the one that took it (it is then abandoned, which the next taker accepts).
DeviceLock::~DeviceLock() {
    HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace tolvane::cli
