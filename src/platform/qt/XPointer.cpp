#include "platform/qt/XPointer.h"

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/qt/X11Connection.h"

namespace surfdeck {

XPointer::XPointer() {
    const X11Connection x = connectX11();
    connection_ = x.connection;
    root_ = x.root;
}

XPointer::~XPointer() {
    if (connection_) xcb_disconnect(connection_);
}

std::optional<PixelPoint> XPointer::position() {
    if (!connection_ || !root_ || xcb_connection_has_error(connection_)) return std::nullopt;
    xcb_query_pointer_reply_t* reply =
        xcb_query_pointer_reply(connection_, xcb_query_pointer(connection_, root_), nullptr);
    if (!reply) return std::nullopt;
    std::optional<PixelPoint> p;
    if (reply->same_screen) p = PixelPoint{reply->root_x, reply->root_y};
    std::free(reply);
    return p;
}

}  // namespace surfdeck
