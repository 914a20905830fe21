// Attends an update's worker thread on every way out of the Update Target handler, an exception
// included (a failed text allocation): the worker is resumed if it is still suspended (it then
// finds the run flag at 0 and ends at once), messages are dispatched until the run flag drops, so
// that the worker's waits for the watcher's notifications still end, then the handler waits for
// the thread, empties pane 0 and re-enables Exit. The normal path does these steps itself and
// dismisses the guard.
#pragma once

#include "status_bar.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace vandrel {

class WorkerAttendance {
public:
    WorkerAttendance(HANDLE worker, const std::atomic<std::uint32_t>& running, HWND exitButton,
                     StatusBar& statusBar) noexcept
        : worker_(worker), running_(running), exitButton_(exitButton), statusBar_(statusBar) {}
    ~WorkerAttendance();
    WorkerAttendance(const WorkerAttendance&) = delete;
    WorkerAttendance& operator=(const WorkerAttendance&) = delete;

    void Dismiss() noexcept { worker_ = nullptr; }

private:
    HANDLE worker_;
    const std::atomic<std::uint32_t>& running_;
    HWND exitButton_;
    StatusBar& statusBar_;
};

}  // namespace vandrel
