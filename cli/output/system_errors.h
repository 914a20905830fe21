// The system error number the tool reports for a failure of the C library's file calls, in the
// numbering of sys_error.h as everywhere else in the tool.
#pragma once

#include "sys_error.h"

namespace tolvane::cli {

// The number for an errno value; kErrorGenFailure for those without a closer one.
SysError SysErrorFromErrno(int error);

}  // namespace tolvane::cli
