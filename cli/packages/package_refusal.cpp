#include "packages/package_refusal.h"

#include "output/exit_codes.h"

namespace tolvane::cli {

void AddRefusalFields(Json& object, const PackageRefusal& refusal) {
    object["check"] = refusal.fault.check;
    object["expected"] = refusal.fault.expected;
    object["found"] = refusal.fault.found;
    object["key_id"] = refusal.keyId ? Json(*refusal.keyId) : Json();
}

PackageRefusal TrustRefusal(const package::TrustOutcome& outcome) {
    PackageRefusal refusal;
    refusal.exitCode = kExitSignature;
    refusal.result = outcome.trust == package::Trust::UntrustedKey ? kUntrustedKeyResult
                                                                   : kSignatureInvalidResult;
    refusal.fault = outcome.fault;
    if (outcome.keyId) refusal.keyId = package::KeyIdText(*outcome.keyId);
    return refusal;
}

}  // namespace tolvane::cli
