// Where a dialog opens: centred over the area it belongs to and kept inside the work area of its
// monitor, as the dialog framework places its modal dialogs whatever position the template gives.
#pragma once

namespace vandrel {

struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct ScreenPoint {
    int x = 0;
    int y = 0;
};

// The top-left corner that centres `window` (its size is what counts) over `over`, moved as little
// as needed to lie inside `workArea`; a window larger than the work area keeps its top-left
// corner inside it, so its caption stays reachable.
ScreenPoint CentredOrigin(const ScreenRect& window, const ScreenRect& over,
                          const ScreenRect& workArea) noexcept;

}  // namespace vandrel
