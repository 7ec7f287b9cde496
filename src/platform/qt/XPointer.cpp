#include "platform/qt/XPointer.h"

#include <xcb/xcb.h>

#include <cstdlib>

namespace surfdeck {

XPointer::XPointer() {
    int screenNumber = 0;
    connection_ = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection_)) {
        xcb_disconnect(connection_);
        connection_ = nullptr;
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    root_ = screens.rem > 0 && screens.data ? screens.data->root : 0;
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
