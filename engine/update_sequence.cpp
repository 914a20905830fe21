#include "update_sequence.h"

namespace tolvane {
namespace {

// Tells the observer of a step around its run.
template <typename Run>
ResultCode Step(UpdateStep step, const UpdateObserver& observer, Run run) {
    if (observer.stepStarts) observer.stepStarts(step);
    const ResultCode code = run();
    if (observer.stepEnds) observer.stepEnds(step, code);
    return code;
}

}  // namespace

ResultCode RunUpdate(DfuEngine& engine, const UpdateRequest& request,
                     const UpdateObserver& observer) {
    ResultCode code = DFU_SUCCESS;
    if (request.steps.enterBootLoader) {
        code = Step(UpdateStep::EnterBootLoader, observer, [&] {
            const ResultCode reset = engine.ResetToIsp(request.vid, request.pid);
            if (reset == DFU_ERR_DFU_TIMEOUT && request.lateInstallWaitMs != 0 &&
                engine.LookOnceMoreForBootLoader(request.lateInstallWaitMs)) {
                return DFU_SUCCESS;
            }
            return reset;
        });
        if (code != DFU_SUCCESS && code != DFU_ALREADY_IN_DFU) return code;
    }
    if (request.steps.download) {
        code = Step(UpdateStep::Download, observer, [&] {
            return engine.Download(request.image, request.address, request.size, request.checksum);
        });
        if (code != DFU_SUCCESS) return code;
    }
    if (request.steps.resetToApplication) {
        code = Step(UpdateStep::ResetToApplication, observer, [&] { return engine.ResetToAp(); });
    }
    return code;
}

}  // namespace tolvane
