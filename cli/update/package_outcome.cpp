#include "update/package_outcome.h"

#include "packages/version_rule.h"

namespace tolvane::cli {

void AddPackageOutcome(RunReport& report, const CommandOutcome& outcome, const Options& options,
                       std::ostream& err) {
    if (outcome.versionRefused) {
        AddVersionRefusalFields(report.extra, *outcome.versionRefused, options);
        return;
    }
    if (outcome.code != DFU_SUCCESS && outcome.code != DFU_ALREADY_IN_DFU) return;
    if (auto warning = VersionUncheckedWarning(options, outcome.versionBefore)) {
        err << "tolvane: warning: " << *warning << '\n';
        report.warnings.push_back(*warning);
    }
}

}  // namespace tolvane::cli
