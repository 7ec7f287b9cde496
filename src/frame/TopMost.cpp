#include "frame/TopMost.h"

namespace surfdeck {

bool SetTopMost(Desktop& desktop, Hwnd window, bool topMost) {
    return desktop.setTopMost(window, topMost);
}

std::int32_t CursorX(Desktop& desktop) {
    return desktop.cursorPos().x;
}

std::int32_t CursorY(Desktop& desktop) {
    return desktop.cursorPos().y;
}

}  // namespace surfdeck
