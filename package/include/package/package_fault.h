// One check of a package that did not hold: which check, what it expected, what it found.
#pragma once

#include <string>

namespace tolvane::package {

struct PackageFault {
    std::string check;     // "zip", "entry", "manifest", "format", "sha256", "signature", "key"...
    std::string expected;  // what the check wanted, when it can be said
    std::string found;     // what it found instead
    std::string message;   // one sentence for the user
};

}  // namespace tolvane::package
