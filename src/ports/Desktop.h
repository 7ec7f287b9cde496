#pragma once
#include <cstdint>

#include "ports/Types.h"

namespace surfdeck {

// Virtual-key codes that the program asks about.
enum VirtualKey : int {
    VK_LBUTTON = 1,
    VK_RBUTTON = 2,
    VK_MBUTTON = 4,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,  // Alt
};

// Which window is in front, and bringing one there. Split from Desktop because on the
// real machine our own windows and the browser's tabs answer from different backends.
class Foreground {
  public:
    virtual ~Foreground() = default;
    // The window that has the user's input now; 0 when none.
    virtual Hwnd foregroundWindow() = 0;
    // Asks that the window become the foreground window. False when refused or unknown.
    virtual bool setForegroundWindow(Hwnd window) = 0;
};

// The window system as the core sees it.
class Desktop : public Foreground {
  public:
    // Puts the window into (true) or out of (false) the always-on-top band without
    // moving, sizing or redrawing it. True when the request was accepted.
    virtual bool setTopMost(Hwnd window, bool topMost) = 0;

    // The pointer's position on the screen, in pixels. May throw std::runtime_error.
    virtual PixelPoint cursorPos() = 0;
    // A screen position converted to the client area of the window, in pixels.
    virtual PixelPoint screenToClient(Hwnd window, PixelPoint screen) = 0;
    // As GetAsyncKeyState: the top bit (negative value) is set while the key or button
    // is down; 0 when it is up.
    virtual std::int16_t asyncKeyState(int virtualKey) = 0;

    // The whole screen, in pixels (not the work area).
    virtual int screenWidthPixels() = 0;
    virtual int screenHeightPixels() = 0;
    // Twips per pixel on each axis: 1440 divided by the logical dots per inch.
    virtual double twipsPerPixelX() = 0;
    virtual double twipsPerPixelY() = 0;
};

}  // namespace surfdeck
