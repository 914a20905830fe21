#include "worker_attendance.h"

#include <string>

namespace vandrel {
namespace {

// The longest the thread sleeps between two looks at the run flag.
constexpr DWORD kLookPeriodMs = 10;

}  // namespace

WorkerAttendance::~WorkerAttendance() {
    if (worker_ == nullptr) return;
    ::ResumeThread(worker_);
    while (running_.load() == 1) {
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Handed on to the loop outside, as the run's own pump does.
                ::PostQuitMessage(static_cast<int>(message.wParam));
                break;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::MsgWaitForMultipleObjects(1, &worker_, FALSE, kLookPeriodMs, QS_ALLINPUT);
    }
    ::WaitForSingleObject(worker_, INFINITE);
    statusBar_.SetPaneText(0, std::wstring());  // empty: no allocation
    ::EnableWindow(exitButton_, TRUE);
}

}  // namespace vandrel
