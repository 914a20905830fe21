#include "window_placement.h"

namespace vandrel {
namespace {

// One axis: centred over [overStart, overEnd), then inside [areaStart, areaEnd).
int CentredStart(int size, int overStart, int overEnd, int areaStart, int areaEnd) noexcept {
    // 64-bit intermediate: screen coordinates near the int limits must not overflow.
    long long start = (static_cast<long long>(overStart) + overEnd - size) / 2;
    if (start + size > areaEnd) start = static_cast<long long>(areaEnd) - size;
    if (start < areaStart) start = areaStart;
    return static_cast<int>(start);
}

}  // namespace

ScreenPoint CentredOrigin(const ScreenRect& window, const ScreenRect& over,
                          const ScreenRect& workArea) noexcept {
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    return {CentredStart(width, over.left, over.right, workArea.left, workArea.right),
            CentredStart(height, over.top, over.bottom, workArea.top, workArea.bottom)};
}

}  // namespace vandrel
