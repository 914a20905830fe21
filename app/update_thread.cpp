#include "update_thread.h"

#include "program_engine.h"
#include "update_job.h"

namespace vandrel {

UpdateJob g_updateJob;
std::atomic<std::uint32_t> UpdateRunning{0};
std::atomic<std::uint32_t> UpdateDownloading{0};

DWORD WINAPI UpdateThreadProc(LPVOID parameter) {
    if (UpdateRunning.load() == 0) return 0;
    const auto& job = *static_cast<const UpdateJob*>(parameter);
    tolvane::DfuEngine& engine = ProgramEngine();

    tolvane::ResultCode result = engine.ResetToIsp(job.vid, job.pid);
    if (result == tolvane::DFU_SUCCESS || result == tolvane::DFU_ALREADY_IN_DFU) {
        UpdateDownloading.store(1);
        // The program always loads at address 0.
        result = engine.Download(job.image, 0, job.size, job.checksum);
        UpdateDownloading.store(0);
        if (result == tolvane::DFU_SUCCESS) result = engine.ResetToAp();
    }
    UpdateRunning.store(0);  // the worker's last store
    return result;
}

}  // namespace vandrel
