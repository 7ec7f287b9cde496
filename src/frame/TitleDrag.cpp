#include "frame/TitleDrag.h"

#include "settings/Settings.h"

namespace surfdeck {

std::optional<float> TitleDrag::snap(float pos, float size, float screen, float d) {
    // Where the far snap zone begins. On a screen too small for both zones they
    // overlap, and the near-edge rules, tried first, win.
    const float farZone = screen - size - SnapMargin;
    if (pos <= SnapMargin && d <= 0) return 0.0f;
    if (pos < SnapMargin && d > SnapMargin) return BreakAway;
    if (pos > SnapMargin && pos < farZone) return pos + d;
    if (pos > farZone && d >= 0) return screen - size;
    if (pos > farZone && d < -SnapMargin) return screen - size - BreakAway;
    // Between the snap and the pull that frees it: hold still.
    return std::nullopt;
}

std::optional<float> TitleDrag::settle(float pos, float size, float screen) {
    // The near zone first, as the move rules do on a screen where the zones overlap.
    if (pos > 0 && pos <= SnapMargin) return 0.0f;
    const float edge = screen - size;
    if (pos > edge - SnapMargin && pos < edge) return edge;
    return std::nullopt;
}

void TitleDrag::press(float x, float y) {
    DragStartX = RoundHalfEven16(x);
    DragStartY = RoundHalfEven16(y);
}

void TitleDrag::move(forms::Form& window, Desktop& desktop, int button, float x, float y) const {
    if (button != forms::LeftButton) return;
    const float screenHeight =
        static_cast<float>(desktop.screenHeightPixels() * desktop.twipsPerPixelY());
    if (auto top = snap(static_cast<float>(window.top()), static_cast<float>(window.height()),
                        screenHeight, y - DragStartY)) {
        window.setTop(*top);
    }
    // Read afresh: the vertical rules may have moved the window.
    const float screenWidth =
        static_cast<float>(desktop.screenWidthPixels() * desktop.twipsPerPixelX());
    if (auto left = snap(static_cast<float>(window.left()), static_cast<float>(window.width()),
                         screenWidth, x - DragStartX)) {
        window.setLeft(*left);
    }
}

void TitleDrag::release(forms::Form& window, Desktop& desktop, int button) const {
    if (button != forms::LeftButton) return;
    const float screenHeight =
        static_cast<float>(desktop.screenHeightPixels() * desktop.twipsPerPixelY());
    if (auto top = settle(static_cast<float>(window.top()), static_cast<float>(window.height()),
                          screenHeight)) {
        window.setTop(*top);
    }
    const float screenWidth =
        static_cast<float>(desktop.screenWidthPixels() * desktop.twipsPerPixelX());
    if (auto left = settle(static_cast<float>(window.left()), static_cast<float>(window.width()),
                           screenWidth)) {
        window.setLeft(*left);
    }
}

}  // namespace surfdeck
