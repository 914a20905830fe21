// The Update Target button: confirmation, the worker thread, progress in pane 0 while the
// interface thread keeps dispatching messages, and the result box.
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
    if (::MessageBoxW(window, L"Update Firmware ?", L"Confirm File", MB_YESNO | MB_ICONQUESTION) !=
        IDYES) {
        return;
    }

    vandrel::UniqueHandle worker(::CreateThread(nullptr, 0, &vandrel::UpdateThreadProc,
                                                &g_updateJob, CREATE_SUSPENDED, nullptr));
    const DWORD creationError = worker ? 0 : ::GetLastError();
    HWND exitButton = ::GetDlgItem(window, IDC_EXIT);
    if (worker) {
        statusBar_.SetPaneText(0, vandrel::ToWide(vandrel::kSearchingText));
        UpdateRunning.store(1);
        ::EnableWindow(exitButton, FALSE);
        ::ResumeThread(worker.get());
        PollUntilWorkerEnds(worker.get());
    } else {
        UpdateRunning.store(0);
    }

    statusBar_.SetPaneText(
        0, vandrel::ToWide(vandrel::ProgressText(vandrel::ProgramEngine().GetPercentage())));
    DWORD exitCode = 0;
    if (worker) {
        ::WaitForSingleObject(worker.get(), INFINITE);
        statusBar_.SetPaneText(0, L"");
        ::GetExitCodeThread(worker.get(), &exitCode);
        ::EnableWindow(exitButton, TRUE);
        const tolvane::ResultMessage message =
            tolvane::ResultMessageFor(exitCode, g_updateJob.vid, g_updateJob.pid);
        ShowResult(vandrel::ToWide(message.text), message.iconType);
    } else {
        statusBar_.SetPaneText(0, L"");
        const tolvane::ResultMessage message = vandrel::ThreadFailureMessage(creationError);
        ShowResult(vandrel::ToWide(message.text), message.iconType);
    }
}

void CVandrelDlg::PollUntilWorkerEnds(HANDLE worker) {
    vandrel::ProgressDisplay progress;
    while (UpdateRunning.load() == 1) {
        const auto text =
            progress.next(UpdateDownloading.load() == 1, vandrel::ProgramEngine().GetPercentage());
        if (text) statusBar_.SetPaneText(0, vandrel::ToWide(*text));

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
