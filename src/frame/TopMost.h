#pragma once
#include <cstdint>

#include "ports/Desktop.h"

namespace surfdeck {

// Puts the window into the always-on-top band (true) or out of it (false), leaving its
// place, size and looks alone. True when the window system accepted; callers may ignore it.
bool SetTopMost(Desktop& desktop, Hwnd window, bool topMost);

// The pointer's position on the screen, in pixels. Throws what the desktop throws.
std::int32_t CursorX(Desktop& desktop);
std::int32_t CursorY(Desktop& desktop);

}  // namespace surfdeck
