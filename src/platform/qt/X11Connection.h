#pragma once

struct xcb_connection_t;

namespace surfdeck {

// A connection of our own to the X server that $DISPLAY names, apart from Qt's: its
// replies are read by the thread that asks, and it carries only the events it asks for.
struct X11Connection {
    xcb_connection_t* connection = nullptr;  // null: no X server to be had
    unsigned root = 0;                       // the root window of the display's screen
};

X11Connection connectX11();

}  // namespace surfdeck
