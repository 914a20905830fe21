#include "update_steps.h"

#include <iterator>

namespace tolvane {
namespace {

struct StepNames {
    UpdateStep step;
    std::string_view name;
    std::string_view title;
};

constexpr StepNames kSteps[] = {
    {UpdateStep::Finding, "finding", "finding the device"},
    {UpdateStep::EnterBootLoader, "entering_boot_loader", "entering the boot loader"},
    {UpdateStep::Waiting, "waiting", "waiting for the boot loader"},
    {UpdateStep::Download, "download", "download"},
    {UpdateStep::Verification, "verification", "verification"},
    {UpdateStep::ResetToApplication, "return", "return to the application"},
};

const StepNames& NamesOf(UpdateStep step) {
    for (const StepNames& names : kSteps) {
        if (names.step == step) return names;
    }
    return kSteps[std::size(kSteps) - 1];
}

}  // namespace

std::string_view StepName(UpdateStep step) {
    return NamesOf(step).name;
}

std::string_view StepTitle(UpdateStep step) {
    return NamesOf(step).title;
}

}  // namespace tolvane
