#include "update_thread.h"

#include "program_engine.h"
#include "update_job.h"
#include "update_sequence.h"

namespace vandrel {

UpdateJob g_updateJob;
std::atomic<std::uint32_t> UpdateRunning{0};
std::atomic<std::uint32_t> UpdateDownloading{0};

DWORD WINAPI UpdateThreadProc(LPVOID parameter) {
    if (UpdateRunning.load() == 0) return 0;
    const auto& job = *static_cast<const UpdateJob*>(parameter);

    tolvane::UpdateRequest request;
    request.vid = job.vid;
    request.pid = job.pid;
    request.image = job.image;
    request.size = job.size;
    request.address = 0;  // the program always loads at address 0
    request.checksum = job.checksum;
    // The interface thread shows the percentage only while the download runs.
    tolvane::UpdateObserver observer;
    observer.stepStarts = [](tolvane::UpdateStep step) {
        if (step == tolvane::UpdateStep::Download) UpdateDownloading.store(1);
    };
    observer.stepEnds = [](tolvane::UpdateStep step, tolvane::ResultCode) {
        if (step == tolvane::UpdateStep::Download) UpdateDownloading.store(0);
    };
    const tolvane::ResultCode result = tolvane::RunUpdate(ProgramEngine(), request, observer);
    UpdateRunning.store(0);  // the worker's last store
    return result;
}

}  // namespace vandrel
