#include "platform/qt/X11Connection.h"

#include <xcb/xcb.h>

namespace surfdeck {

X11Connection connectX11() {
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return {};
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    return {c, screens.rem > 0 && screens.data ? screens.data->root : 0u};
}

}  // namespace surfdeck
