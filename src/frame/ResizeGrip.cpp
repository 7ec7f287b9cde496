#include "frame/ResizeGrip.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "frame/TopMost.h"

namespace surfdeck {

namespace {

// Pixel positions are kept in 16 bits; a screen beyond that is held at the limit.
std::int16_t clamp16(std::int32_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int32_t>(
        v, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

}  // namespace

void ResizeGrip::press() {
    GripActive = 1;
    GripLastX = clamp16(CursorX(desktop_));
    GripLastY = clamp16(CursorY(desktop_));
}

void ResizeGrip::tick(double minWidth, double minHeight) {
    if (GripActive != 1) return;
    const PixelPoint p = desktop_.cursorPos();
    const std::int32_t dx = p.x - GripLastX;
    if (std::abs(dx) > StepPixels) {
        panel_.setWidth(std::max(minWidth, panel_.width() + desktop_.twipsPerPixelX() * dx));
        GripLastX = clamp16(p.x);
    }
    const std::int32_t dy = p.y - GripLastY;
    if (std::abs(dy) > StepPixels) {
        panel_.setHeight(std::max(minHeight, panel_.height() + desktop_.twipsPerPixelY() * dy));
        GripLastY = clamp16(p.y);
    }
    place();
}

void ResizeGrip::place() {
    grip_.setLeft(panel_.width() - grip_.width() - rightEdge_.width());
    grip_.setTop(panel_.height() - grip_.height() - bottomEdge_.height());
}

}  // namespace surfdeck
