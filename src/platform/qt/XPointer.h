#pragma once
#include <optional>

#include "ports/Desktop.h"

struct xcb_connection_t;

namespace surfdeck {

// The pointer's place asked of the X server over a connection of our own. Qt's own
// connection hands replies over through its reader thread, which wakes two threads per
// question; the roll-up asks ten times a second, idle or not.
class XPointer {
  public:
    XPointer();
    ~XPointer();
    XPointer(const XPointer&) = delete;
    XPointer& operator=(const XPointer&) = delete;

    // Root-window pixels, or nothing where this connection cannot answer (not X11,
    // the pointer on another X screen, the connection lost).
    std::optional<PixelPoint> position();

  private:
    xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
};

}  // namespace surfdeck
