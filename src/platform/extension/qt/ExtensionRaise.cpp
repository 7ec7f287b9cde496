// Bringing a browser window forward through the window system, for browsers whose own
// focus call does not get past the window manager.
#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/extension/qt/ExtensionAutomation.h"

namespace surfdeck::extension {

namespace {

enum Atom { ActiveWindow, ClientList = 4 };

// How well a window system title shows a tab title: 0 not at all; longer tab titles score
// higher, and one followed by the browser's name after a dash ("Page - Chromium", "Page —
// Mozilla Firefox") beats one that only begins a longer title ("Page two - ...").
std::size_t titleScore(const std::string& shown, const std::string& tab) {
    if (tab.empty() || shown.compare(0, tab.size(), tab) != 0) return 0;
    const std::string rest = shown.substr(tab.size());
    const bool whole = rest.empty() || rest.rfind(" - ", 0) == 0 ||
                       rest.rfind(" \xe2\x80\x94 ", 0) == 0 || rest.rfind(" \xe2\x80\x93 ", 0) == 0;
    return tab.size() * 2 + (whole ? 1 : 0);
}

}  // namespace

std::vector<X11ActiveWindow::Info> X11ActiveWindow::clients() {
    std::vector<Info> all;
    if (!connection_ || xcb_connection_has_error(connection_) || !root_ || !atoms_[ClientList])
        return all;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, root_, atoms_[ClientList], XCB_ATOM_WINDOW, 0,
                         static_cast<std::uint32_t>(kMaxClients)),
        nullptr);
    if (!reply) return all;
    if (reply->type == XCB_ATOM_WINDOW && reply->format == 32) {
        const auto* windows = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
        const auto count = static_cast<std::size_t>(xcb_get_property_value_length(reply)) / 4;
        for (std::size_t i = 0; i < count && i < kMaxClients; ++i)
            all.push_back(describe(windows[i]));
    }
    std::free(reply);
    return all;
}

bool X11ActiveWindow::requestActive(unsigned window) {
    if (!connection_ || xcb_connection_has_error(connection_) || !root_ || !window ||
        !atoms_[ActiveWindow])
        return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atoms_[ActiveWindow];
    event.data.data32[0] = 2;  // from a pager: the window manager takes it as the user's wish
    event.data.data32[1] = XCB_CURRENT_TIME;
    event.data.data32[2] = 0;
    xcb_send_event(connection_, 0, root_,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                   reinterpret_cast<const char*>(&event));
    return xcb_flush(connection_) > 0;
}

unsigned pickBrowserXWindow(const std::vector<X11ActiveWindow::Info>& clients, long long pid,
                            const std::vector<std::string>& titles) {
    auto byTitle = [&titles](const std::vector<const X11ActiveWindow::Info*>& among) {
        unsigned best = 0;
        std::size_t bestScore = 0;
        for (const auto* c : among)
            for (const auto& t : titles)
                if (const std::size_t score = titleScore(c->title, t); score > bestScore) {
                    best = c->window;
                    bestScore = score;
                }
        return best;
    };
    std::vector<const X11ActiveWindow::Info*> own, all;
    for (const auto& c : clients) {
        if (c.window == 0) continue;
        all.push_back(&c);
        if (pid != 0 && c.pid == pid) own.push_back(&c);
    }
    if (own.size() == 1) return own.front()->window;
    if (!own.empty()) return byTitle(own);
    return byTitle(all);
}

void raiseBrowserWindow(X11ActiveWindow& x11, long long pid,
                        const std::vector<std::string>& titles) {
    const unsigned target = pickBrowserXWindow(x11.clients(), pid, titles);
    if (target == 0) return;
    const auto active = x11.active();
    if (active && active->window == target) return;
    x11.requestActive(target);
}

}  // namespace surfdeck::extension
