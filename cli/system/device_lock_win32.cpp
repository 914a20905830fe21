#include "device_lock.h"

#include <windows.h>

#include <string>

namespace tolvane::cli {
namespace {

// One name per device path, the same in every session; a backslash may not follow the prefix.
std::wstring MutexName(std::u16string_view path) {
    std::wstring name = L"Global\\tolvane-device-";
    for (char16_t c : path) {
        if (c == u'\\') c = u'#';
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        name += static_cast<wchar_t>(c);
    }
    return name;
}

}  // namespace

std::unique_ptr<DeviceLock> DeviceLock::take(std::u16string_view path, Outcome& outcome) {
    outcome = Outcome::Unavailable;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(path).c_str());
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
