// The hub's picture of every browser: windows and tabs from the pushed messages, the
// focus, and the list's registered and revoked announcements.
#include <algorithm>

#include "platform/extension/ExtensionHub.h"
#include "platform/extension/ExtensionTab.h"

namespace surfdeck::extension {

void ExtensionHub::handle(const std::shared_ptr<Peer>& pp, const Json& message) {
    Peer& p = *pp;
    if (p.closed) return;
    const std::string type = wire::messageType(message);
    std::vector<Hwnd> added, removed;
    if (type == "hello") {
        p.browser = textField(message, "browser", "browser").substr(0, 40);
        p.browserPid = intField(message, "browserPid", 0);
        log("Browser connected: " + p.browser + " " + textField(message, "product").substr(0, 80));
        if (onStatus) onStatus({BrowserStatus::State::Connected, p.browser, "extension"});
        sendSettings(p);
    } else if (type == "state") {
        onState(p, message, added, removed);
    } else if (type == "window") {
        upsertWindow(p, message.value("window", Json::object()));
        sortTabs(p);
    } else if (type == "windowRemoved") {
        removeWindow(p, intField(message, "windowId"), removed);
    } else if (type == "tab") {
        if (auto tab = upsertTab(p, message.value("tab", Json::object()), added)) sortTabs(p);
    } else if (type == "tabRemoved") {
        removeTab(p, intField(message, "tabId"), removed);
    } else if (type == "focus") {
        noteFocus(p, intField(message, "windowId"), intField(message, "tabId"));
    } else if (type == "beforeNavigate" || type == "committed" || type == "completed" ||
               type == "navError" || type == "page") {
        auto tab = tabById(p, intField(message, "tabId"));
        if (!tab) return;
        if (type == "beforeNavigate") {
            const bool cancel = tab->onBeforeNavigate(message);
            if (boolField(message, "cancellable") && !p.closed)
                send(p, Json{{"type", "decision"},
                             {"id", message.value("id", Json())},
                             {"cancel", cancel}});
        } else if (type == "committed") {
            tab->onCommitted(message);
        } else if (type == "completed") {
            tab->onCompleted(message);
        } else if (type == "navError") {
            tab->onNavError(message);
        } else {
            if (textField(message, "event") == "focus") noteFocus(p, tab->windowId(), tab->tabId());
            tab->onPage(message);
        }
    } else if (type == "saveText") {
        const auto text = message.find("text");
        if (text == message.end() || !text->is_string())
            log("Text not saved: the browser sent no text");
        else if (onSaveText)
            onSaveText(text->get<std::string>());
    } else if (type == "launch") {
        if (onLaunch) onLaunch();
    } else if (type == "openFolder") {
        if (onOpenFolder) onOpenFolder();
    }
    // Any other type is from a newer extension: ignored.
    announce(added, removed);
}

void ExtensionHub::onState(Peer& p, const Json& message, std::vector<Hwnd>& added,
                           std::vector<Hwnd>& removed) {
    const auto windows = message.find("windows");
    if (windows == message.end() || !windows->is_array()) {
        log("Browser message dropped: a state without windows");
        return;
    }
    // The whole picture replaces what we knew: tabs seen again keep their handles.
    std::vector<std::int64_t> seenTabs, seenWindows;
    p.focusedWindow = -1;
    for (const Json& window : *windows) {
        upsertWindow(p, window);
        seenWindows.push_back(intField(window, "id"));
        const auto tabs = window.find("tabs");
        if (!window.is_object() || tabs == window.end() || !tabs->is_array()) continue;
        for (const Json& tab : *tabs)
            if (upsertTab(p, tab, added)) seenTabs.push_back(intField(tab, "id"));
    }
    std::vector<std::int64_t> goneTabs;
    for (const auto& tab : p.tabs)
        if (std::find(seenTabs.begin(), seenTabs.end(), tab->tabId()) == seenTabs.end())
            goneTabs.push_back(tab->tabId());
    for (auto id : goneTabs) removeTab(p, id, removed);
    std::erase_if(p.windowOrder, [&](std::int64_t id) {
        const bool gone =
            std::find(seenWindows.begin(), seenWindows.end(), id) == seenWindows.end();
        if (gone) p.windows.erase(id);
        return gone;
    });
    sortTabs(p);
}

void ExtensionHub::upsertWindow(Peer& p, const Json& window) {
    const auto id = intField(window, "id");
    if (id < 0) return;
    if (!p.windows.count(id)) {
        if (p.windows.size() >= kMaxTabs) return;
        p.windowOrder.push_back(id);
    }
    Window& w = p.windows[id];
    w.title = textField(window, "title", w.title).substr(0, 1000);
    w.state = textField(window, "state", w.state).substr(0, 20);
    if (window.contains("focused")) {
        w.focused = boolField(window, "focused");
        if (w.focused)
            noteFocus(p, id, -1);
        else if (p.focusedWindow == id)
            p.focusedWindow = -1;
    }
}

std::shared_ptr<ExtensionTab> ExtensionHub::upsertTab(Peer& p, const Json& tab,
                                                      std::vector<Hwnd>& added) {
    const auto id = intField(tab, "id");
    if (id < 0) return nullptr;
    auto existing = tabById(p, id);
    if (!existing) {
        if (p.tabs.size() >= kMaxTabs) {
            if (p.tabs.size() == kMaxTabs)
                log("Browser tabs beyond " + std::to_string(kMaxTabs) + " are not tracked");
            return nullptr;
        }
        existing = std::make_shared<ExtensionTab>(weak_from_this(), p.id, id, nextHandle_);
        nextHandle_ = nextHandle_ == 0x7fffffff ? kFirstHandle : nextHandle_ + 1;
        p.tabs.push_back(existing);
        existing->setLoadsAnnounced(p.browser == "firefox");
        existing->update(tab, false);
        added.push_back(existing->handle());
    } else {
        existing->update(tab, true);
    }
    if (existing->active()) {
        // One active tab per window.
        for (auto& other : p.tabs)
            if (other != existing && other->windowId() == existing->windowId())
                other->setActive(false);
    }
    return existing;
}

void ExtensionHub::removeTab(Peer& p, std::int64_t tabId, std::vector<Hwnd>& removed) {
    auto it = std::find_if(p.tabs.begin(), p.tabs.end(),
                           [&](const auto& t) { return t->tabId() == tabId; });
    if (it == p.tabs.end()) return;
    auto tab = *it;
    p.tabs.erase(it);
    tab->setClosed();
    removed.push_back(tab->handle());
}

void ExtensionHub::removeWindow(Peer& p, std::int64_t windowId, std::vector<Hwnd>& removed) {
    std::vector<std::int64_t> ids;
    for (const auto& tab : p.tabs)
        if (tab->windowId() == windowId) ids.push_back(tab->tabId());
    for (auto id : ids) removeTab(p, id, removed);
    p.windows.erase(windowId);
    std::erase(p.windowOrder, windowId);
    if (p.focusedWindow == windowId) p.focusedWindow = -1;
}

void ExtensionHub::noteFocus(Peer& p, std::int64_t windowId, std::int64_t tabId) {
    if (windowId < 0) {
        // The browser lost the focus to another program.
        p.focusedWindow = -1;
        p.focusSerial = 0;
        return;
    }
    p.focusedWindow = windowId;
    p.focusSerial = ++focusSerial_;
    for (auto& [id, w] : p.windows) w.focused = id == windowId;
    if (tabId < 0) return;
    for (auto& tab : p.tabs)
        if (tab->windowId() == windowId) tab->setActive(tab->tabId() == tabId);
}

void ExtensionHub::sortTabs(Peer& p) {
    auto windowRank = [&p](std::int64_t windowId) {
        const auto it = std::find(p.windowOrder.begin(), p.windowOrder.end(), windowId);
        return it - p.windowOrder.begin();
    };
    std::stable_sort(p.tabs.begin(), p.tabs.end(), [&](const auto& a, const auto& b) {
        const auto ra = windowRank(a->windowId()), rb = windowRank(b->windowId());
        return ra != rb ? ra < rb : a->index() < b->index();
    });
}

std::shared_ptr<ExtensionTab> ExtensionHub::tabById(const Peer& p, std::int64_t tabId) const {
    for (const auto& tab : p.tabs)
        if (tab->tabId() == tabId) return tab;
    return nullptr;
}

std::vector<std::shared_ptr<ExtensionTab>> ExtensionHub::tabs() const {
    std::vector<std::shared_ptr<ExtensionTab>> all;
    for (const auto& [id, p] : peers_)
        if (!p->closed) all.insert(all.end(), p->tabs.begin(), p->tabs.end());
    return all;
}

std::shared_ptr<ExtensionTab> ExtensionHub::tabByHandle(Hwnd handle) const {
    for (const auto& [id, p] : peers_)
        for (const auto& tab : p->tabs)
            if (tab->handle() == handle && !tab->closed()) return tab;
    return nullptr;
}

void ExtensionHub::addListener(std::weak_ptr<TabListListener> listener) {
    std::erase_if(listeners_, [](const auto& l) { return l.expired(); });
    listeners_.push_back(std::move(listener));
}

void ExtensionHub::announce(const std::vector<Hwnd>& added, const std::vector<Hwnd>& removed) {
    if (added.empty() && removed.empty()) return;
    auto self = shared_from_this();
    const auto listeners = listeners_;
    for (const auto& weak : listeners) {
        auto listener = weak.lock();
        if (!listener) continue;
        for (Hwnd h : removed) listener->tabRevoked(h);
        for (Hwnd h : added) listener->tabRegistered(h);
    }
}

std::vector<BrowserView> ExtensionHub::browsers() const {
    std::vector<BrowserView> all;
    for (const auto& [id, p] : peers_) {
        if (p->closed || !p->hello) continue;
        BrowserView view{p->browserPid, p->focusedWindow >= 0 ? p->focusSerial : 0, {}};
        for (auto windowId : p->windowOrder) {
            const Window& w = p->windows.at(windowId);
            WindowView wv{windowId, w.title, windowId == p->focusedWindow, 0};
            for (const auto& tab : p->tabs) {
                if (tab->windowId() != windowId) continue;
                wv.tabs.push_back({tab->handle(), tab->title()});
                if (tab->active()) {
                    wv.activeTab = tab->handle();
                    // The window system names a window after its active tab.
                    if (!tab->title().empty()) wv.title = tab->title();
                }
            }
            view.windows.push_back(std::move(wv));
        }
        all.push_back(std::move(view));
    }
    return all;
}

Hwnd ExtensionHub::focusedTab() const {
    const BrowserView* latest = nullptr;
    const auto all = browsers();
    for (const auto& b : all)
        if (b.focusSerial > 0 && (!latest || b.focusSerial > latest->focusSerial)) latest = &b;
    if (!latest) return 0;
    for (const auto& w : latest->windows)
        if (w.focused) return w.activeTab;
    return 0;
}

long long ExtensionHub::browserPid(PeerId id) const {
    auto p = peer(id);
    return p ? p->browserPid : 0;
}

PeerId ExtensionHub::anyPeer() const {
    for (const auto& [id, p] : peers_)
        if (p->hello && !p->closed) return id;
    return 0;
}

std::string ExtensionHub::windowState(PeerId id, std::int64_t windowId) const {
    auto p = peer(id);
    if (!p) return {};
    const auto it = p->windows.find(windowId);
    return it == p->windows.end() ? std::string() : it->second.state;
}

bool ExtensionHub::activate(Hwnd handle) {
    auto tab = tabByHandle(handle);
    if (!tab) return false;
    try {
        call(tab->peer(), "activate", Json{{"tabId", tab->tabId()}});
    } catch (const AutomationError&) {
        return false;
    }
    // The browser's own focus report may come late, or never (another program keeps the
    // input): the tab we were asked to bring up is in front.
    if (auto p = peer(tab->peer())) noteFocus(*p, tab->windowId(), tab->tabId());
    return true;
}

}  // namespace surfdeck::extension
