#include "system/device_lock.h"

#include <windows.h>

#include <string>

namespace tolvane::cli {
namespace {

// One name per device instance, the same in every session; a backslash may not follow the
// prefix. Instance identifiers are ASCII.
std::wstring MutexName(std::string_view instance) {
    std::wstring name = L"Global\\tolvane-device-";
    for (char c : instance) {
        if (c == '\\') c = '#';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        name += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return name;
}

}  // namespace

std::unique_ptr<DeviceLock> DeviceLock::take(std::string_view node, Outcome& outcome) {
    outcome = Outcome::Unavailable;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(node).c_str());
    if (mutex == nullptr) return nullptr;
    auto lock = std::make_unique<DeviceLock>(reinterpret_cast<std::intptr_t>(mutex));
    // A mutex whose holder ended without releasing it is free: its update is over.
    const DWORD waited = WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) {
        outcome = Outcome::Taken;
        return lock;
    }
    if (waited == WAIT_TIMEOUT) outcome = Outcome::Busy;
    return nullptr;
}

// Closing the last handle frees the mutex for the next process even when it is released on a
// thread other than the one that took it (it is then abandoned, which the next taker accepts).
DeviceLock::~DeviceLock() {
    HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace tolvane::cli
