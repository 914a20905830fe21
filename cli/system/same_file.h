// Whether two names lead to one file (the same device and inode, or volume and file index), so
// that an output the tool writes is never one of the files it reads, whatever links or spellings
// the names use.
#pragma once

#include <string>

namespace tolvane::cli {

// False when either name leads to no file that can be examined (an output not made yet).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace tolvane::cli
