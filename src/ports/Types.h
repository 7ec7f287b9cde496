#pragma once
#include <cstdint>

namespace surfdeck {

// A top-level window handle: our own forms and the tracked browser windows share one
// number space, as they do in the window system. 0 is "no window".
using Hwnd = std::int32_t;

// A position on the screen or in a window's client area, in whole pixels.
struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

}  // namespace surfdeck
