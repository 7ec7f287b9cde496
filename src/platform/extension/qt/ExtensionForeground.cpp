#include <xcb/xcb.h>

#include <cstring>

#include "platform/extension/ExtensionTab.h"
#include "platform/extension/qt/ExtensionAutomation.h"
#include "platform/qt/X11Connection.h"

namespace surfdeck::extension {

namespace {

enum Atom { ActiveWindow, WmPid, WmName, Utf8String, ClientList };

// Replies freed on every path.
template <class Reply>
struct Freed {
    Reply* reply;
    ~Freed() { std::free(reply); }
};

}  // namespace

X11ActiveWindow::X11ActiveWindow() {
    const X11Connection x = connectX11();
    connection_ = x.connection;
    root_ = x.root;
    if (!connection_) return;
    const char* names[] = {"_NET_ACTIVE_WINDOW", "_NET_WM_PID", "_NET_WM_NAME", "UTF8_STRING",
                           "_NET_CLIENT_LIST"};
    constexpr int kAtoms = sizeof names / sizeof names[0];
    xcb_intern_atom_cookie_t cookies[kAtoms];
    for (int i = 0; i < kAtoms; ++i)
        cookies[i] = xcb_intern_atom(connection_, 1,
                                     static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    for (int i = 0; i < kAtoms; ++i) {
        Freed<xcb_intern_atom_reply_t> r{xcb_intern_atom_reply(connection_, cookies[i], nullptr)};
        atoms_[i] = r.reply ? r.reply->atom : 0;
    }
    // Told of changes rather than asking on every look: the answer is kept until the active
    // window, or its name or process, changes.
    if (root_) watch(root_);
}

void X11ActiveWindow::watch(unsigned window, bool on) {
    const std::uint32_t mask = on ? XCB_EVENT_MASK_PROPERTY_CHANGE : XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(connection_, window, XCB_CW_EVENT_MASK, &mask);
}

bool X11ActiveWindow::changed() {
    bool any = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        // Errors (a watched window that went away) come this way too: nothing to learn.
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(event);
            if ((p->window == root_ && p->atom == atoms_[ActiveWindow]) ||
                (p->window == watched_ && (p->atom == atoms_[WmName] || p->atom == atoms_[WmPid])))
                any = true;
        }
        std::free(event);
    }
    return any;
}

X11ActiveWindow::~X11ActiveWindow() {
    if (connection_) xcb_disconnect(connection_);
}

std::optional<X11ActiveWindow::Info> X11ActiveWindow::active() {
    if (!connection_ || xcb_connection_has_error(connection_) || !root_ || !atoms_[ActiveWindow])
        return std::nullopt;
    if (!changed() && known_) return known_;
    known_ = read();
    return known_;
}

std::optional<X11ActiveWindow::Info> X11ActiveWindow::read() {
    Freed<xcb_get_property_reply_t> active{xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, root_, atoms_[ActiveWindow], XCB_ATOM_WINDOW, 0, 1),
        nullptr)};
    // A window manager that does not keep the property cannot tell us anything.
    if (!active.reply || active.reply->type != XCB_ATOM_WINDOW ||
        xcb_get_property_value_length(active.reply) < 4)
        return std::nullopt;
    const unsigned window = *static_cast<std::uint32_t*>(xcb_get_property_value(active.reply));
    if (window == 0) return Info{};
    // Watched before its properties are read, so that no change after the read goes unseen.
    if (window != watched_) {
        // The one before may be gone already: the error that brings is passed over.
        if (watched_) watch(watched_, false);
        watch(window);
        watched_ = window;
    }
    return describe(window);
}

X11ActiveWindow::Info X11ActiveWindow::describe(unsigned window) {
    Info info;
    info.window = window;
    // Both questions go out before either answer is read: one round trip.
    const auto pidCookie =
        xcb_get_property(connection_, 0, window, atoms_[WmPid], XCB_ATOM_CARDINAL, 0, 1);
    const auto nameCookie =
        xcb_get_property(connection_, 0, window, atoms_[WmName], atoms_[Utf8String], 0, 256);
    Freed<xcb_get_property_reply_t> pid{xcb_get_property_reply(connection_, pidCookie, nullptr)};
    Freed<xcb_get_property_reply_t> name{xcb_get_property_reply(connection_, nameCookie, nullptr)};
    if (pid.reply && pid.reply->type == XCB_ATOM_CARDINAL &&
        xcb_get_property_value_length(pid.reply) >= 4)
        info.pid = *static_cast<std::uint32_t*>(xcb_get_property_value(pid.reply));
    if (name.reply && name.reply->type == atoms_[Utf8String])
        info.title.assign(static_cast<const char*>(xcb_get_property_value(name.reply)),
                          static_cast<std::size_t>(xcb_get_property_value_length(name.reply)));
    return info;
}

namespace {

// The tab whose title begins the window system's title ("Page - Chromium"). The longest
// such title wins; among equal ones a window's active tab, then the focused window's. Two
// tabs that cannot be told apart give 0: the browser's own report decides then.
Hwnd tabByTitle(const BrowserView& browser, const std::string& title) {
    Hwnd best = 0;
    std::size_t length = 0;
    int rank = -1;
    bool tied = false;
    for (const auto& w : browser.windows) {
        for (const auto& t : w.tabs) {
            if (t.title.empty() || title.compare(0, t.title.size(), t.title) != 0) continue;
            const int r = (t.tab == w.activeTab ? 2 : 0) + (w.focused ? 1 : 0);
            if (t.title.size() > length || (t.title.size() == length && r > rank)) {
                best = t.tab;
                length = t.title.size();
                rank = r;
                tied = false;
            } else if (t.title.size() == length && r == rank) {
                tied = true;
            }
        }
    }
    return tied ? 0 : best;
}

// What the browsers' own reports put in front: the active tab of the browser's only
// window, of the window whose active tab the title names, or of its focused window.
Hwnd reportedTab(const std::vector<BrowserView>& browsers, long long pid,
                 const std::string& title) {
    auto byTitle = [&title](const BrowserView& b) -> const WindowView* {
        const WindowView* best = nullptr;
        for (const auto& w : b.windows)
            if (!w.title.empty() && title.compare(0, w.title.size(), w.title) == 0 &&
                (!best || w.title.size() > best->title.size()))
                best = &w;
        return best;
    };
    for (const auto& b : browsers) {
        if (pid == 0 || b.pid != pid) continue;
        if (b.windows.size() == 1) return b.windows.front().activeTab;
        if (const WindowView* w = byTitle(b)) return w->activeTab;
        for (const auto& w : b.windows)
            if (w.focused) return w.activeTab;
        return 0;
    }
    // A browser whose windows belong to another process than the one that started its
    // bridge (a sandboxed package): its title still names it.
    for (const auto& b : browsers)
        if (const WindowView* w = byTitle(b)) return w->activeTab;
    return 0;
}

// The tab the window system's title names, in the active window's browser when known.
Hwnd namedTab(const std::vector<BrowserView>& browsers, long long pid, const std::string& title) {
    for (const auto& b : browsers)
        if (pid != 0 && b.pid == pid) return tabByTitle(b, title);
    for (const auto& b : browsers)
        if (const Hwnd tab = tabByTitle(b, title)) return tab;
    return 0;
}

}  // namespace

Hwnd pickForegroundTab(const std::vector<BrowserView>& browsers, long long pid,
                       const std::string& title) {
    const Hwnd named = namedTab(browsers, pid, title);
    return named ? named : reportedTab(browsers, pid, title);
}

Hwnd ForegroundChoice::choose(const std::vector<BrowserView>& browsers, long long pid,
                              const std::string& title) {
    const Hwnd reported = reportedTab(browsers, pid, title);
    const Hwnd named = namedTab(browsers, pid, title);
    const bool reportMoved = !started_ || reported != reported_;
    const bool titleMoved = !started_ || pid != pid_ || title != title_;
    started_ = true;
    reported_ = reported;
    pid_ = pid;
    title_ = title;
    if (reportMoved && !titleMoved)
        chosen_ = reported;
    else if (titleMoved)
        chosen_ = named ? named : reported;
    // Neither moved: the last choice stands while one of the two still names it; a tab
    // that has gone is named by neither.
    else if (chosen_ != reported && chosen_ != named)
        chosen_ = named ? named : reported;
    return chosen_;
}

Hwnd ExtensionForeground::foregroundWindow() {
    auto hub = hub_.lock();
    if (!hub) return 0;
    if (x11_) {
        if (auto info = x11_->active()) {
            // Another program, or none, has the input: no tab is in front, whatever the
            // browsers last said (they do not always report losing the focus).
            if (info->window == 0) return 0;
            return choice_.choose(hub->browsers(), info->pid, info->title);
        }
    }
    return hub->focusedTab();
}

bool ExtensionForeground::setForegroundWindow(Hwnd window) {
    auto hub = hub_.lock();
    if (!hub) return false;
    auto tab = hub->tabByHandle(window);
    if (!tab) return false;
    // The titles its window may be shown under: its tab in front until now, or this one.
    const long long pid = hub->browserPid(tab->peer());
    std::vector<std::string> titles{tab->title()};
    for (const auto& b : hub->browsers())
        for (const auto& w : b.windows)
            if (b.pid == pid && w.id == tab->windowId() && !w.title.empty())
                titles.push_back(w.title);
    if (!hub->activate(window)) return false;
    if (x11_) raiseBrowserWindow(*x11_, pid, titles);
    return true;
}

}  // namespace surfdeck::extension
