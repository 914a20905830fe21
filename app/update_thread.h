// The update's worker: switch the target to its boot loader, download the image, switch back.
#pragma once

#include <windows.h>

namespace vandrel {

// Thread procedure; `parameter` is the address of the UpdateJob. The exit code is 0 or the code
// of the first engine step that failed.
DWORD WINAPI UpdateThreadProc(LPVOID parameter);

}  // namespace vandrel
