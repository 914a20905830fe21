// The Update Target button: confirmation, the worker thread, progress in pane 0 while the
// interface thread keeps dispatching messages, and the result box.
#include "image_limit.h"
#include "program_engine.h"
#include "progress_text.h"
#include "resource.h"
#include "result_message.h"
#include "thread_failure_message.h"
#include "update_job.h"
#include "update_thread.h"
#include "vandrel_app.h"
#include "vandrel_dlg.h"
#include "wide_text.h"
#include "win_handles.h"
#include "worker_attendance.h"

using vandrel::g_updateJob;
using vandrel::UpdateDownloading;
using vandrel::UpdateRunning;

namespace {

// The longest the interface thread sleeps between two looks at the progress value.
constexpr DWORD kPollPeriodMs = 10;

}  // namespace

void CVandrelDlg::OnUpdateTarget() {
    // A click that arrives while a run is in progress (through the run's own message pump).
    if (UpdateRunning.load() == 1) return;

    HWND window = GetSafeHwnd();
    if (g_updateJob.size == 0) {
        ::MessageBoxW(window, L"Buffer size is zero !", theApp.ApplicationName().c_str(), MB_OK);
        return;
    }
    // The setup report cannot announce such an image: refuse it before the target is switched
    // into its boot loader, where the download would fail and leave it.
    if (const auto refusal = vandrel::OversizedImageMessage(g_updateJob.size)) {
        ShowResult(tolvane::win32::ToWide(refusal->text), refusal->iconType);
        return;
    }
    if (::MessageBoxW(window, L"Update Firmware ?", L"Confirm File", MB_YESNO | MB_ICONQUESTION) !=
        IDYES) {
        return;
    }

    vandrel::UniqueHandle worker(::CreateThread(nullptr, 0, &vandrel::UpdateThreadProc,
                                                &g_updateJob, CREATE_SUSPENDED, nullptr));
    if (!worker) {
        const DWORD creationError = ::GetLastError();
        UpdateRunning.store(0);
        statusBar_.SetPaneText(0, tolvane::win32::ToWide(vandrel::ProgressText(
                                      vandrel::ProgramEngine().GetPercentage())));
        statusBar_.SetPaneText(0, L"");
        const tolvane::ResultMessage message = vandrel::ThreadFailureMessage(creationError);
        ShowResult(tolvane::win32::ToWide(message.text), message.iconType);
        return;
    }

    HWND exitButton = ::GetDlgItem(window, IDC_EXIT);
    // Declared after the handle, so it has waited for the worker before the handle is closed.
    vandrel::WorkerAttendance attendance(worker.get(), UpdateRunning, exitButton, statusBar_);
    statusBar_.SetPaneText(0, tolvane::win32::ToWide(vandrel::kSearchingText));
    UpdateRunning.store(1);
    ::EnableWindow(exitButton, FALSE);
    ::ResumeThread(worker.get());
    PollUntilWorkerEnds(worker.get());

    statusBar_.SetPaneText(
        0, tolvane::win32::ToWide(vandrel::ProgressText(vandrel::ProgramEngine().GetPercentage())));
    ::WaitForSingleObject(worker.get(), INFINITE);
    statusBar_.SetPaneText(0, L"");
    DWORD exitCode = 0;
    ::GetExitCodeThread(worker.get(), &exitCode);
    ::EnableWindow(exitButton, TRUE);
    attendance.Dismiss();
    const tolvane::ResultMessage message =
        tolvane::ResultMessageFor(exitCode, g_updateJob.vid, g_updateJob.pid);
    ShowResult(tolvane::win32::ToWide(message.text), message.iconType);
}

void CVandrelDlg::PollUntilWorkerEnds(HANDLE worker) {
    vandrel::ProgressDisplay progress;
    while (UpdateRunning.load() == 1) {
        // The flag first, then the value: a value read before the flag could be an older figure
        // that the pane would keep while the target switches back.
        const bool downloading = UpdateDownloading.load() == 1;
        const std::uint32_t percentage = vandrel::ProgramEngine().GetPercentage();
        const auto text = progress.next(downloading, percentage);
        if (text) statusBar_.SetPaneText(0, tolvane::win32::ToWide(*text));

        bool quitPending = false;
        MSG peeked{};
        while (::PeekMessageW(&peeked, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!theApp.PumpMessage()) {
                // The run goes on to its result; the quit is handed on to the outer loop.
                ::PostQuitMessage(0);
                quitPending = true;
                break;
            }
        }
        if (UpdateRunning.load() != 1) break;
        // Sleep until a message comes, the worker ends, or the period is over. A reposted quit
        // would wake the message wait at once, so then only the worker's end is awaited.
        if (quitPending) {
            ::WaitForSingleObject(worker, kPollPeriodMs);
        } else {
            ::MsgWaitForMultipleObjects(1, &worker, FALSE, kPollPeriodMs, QS_ALLINPUT);
        }
    }
}

void CVandrelDlg::ShowResult(const std::wstring& text, UINT type) {
    ::MessageBoxW(GetSafeHwnd(), text.c_str(), L"Update Firmware", MB_OK | type);
}
