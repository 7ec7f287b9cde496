#include "platform/extension/ExtensionTab.h"

namespace surfdeck::extension {

namespace {

AutomationError closedError() {
    return AutomationError(automation_error::Disconnected, "The browser window has closed");
}

}  // namespace

ExtensionTab::ExtensionTab(std::weak_ptr<ExtensionHub> hub, PeerId peer, std::int64_t tabId,
                           Hwnd handle)
    : hub_(std::move(hub)), peer_(peer), tabId_(tabId), handle_(handle) {}

std::shared_ptr<ExtensionHub> ExtensionTab::hub() const {
    auto h = hub_.lock();
    if (!h) throw closedError();
    return h;
}

void ExtensionTab::requireOpen() const {
    if (closed_) throw closedError();
}

Json ExtensionTab::call(const std::string& method, Json args) {
    requireOpen();
    auto self = shared_from_this();
    args["tabId"] = tabId_;
    return hub()->call(peer_, method, std::move(args));
}

// ---- the browser window -------------------------------------------------------------------

Hwnd ExtensionTab::HWND() {
    requireOpen();
    return handle_;
}

std::shared_ptr<HtmlDocument> ExtensionTab::Document() {
    requireOpen();
    if (auto doc = document_.lock()) return doc;
    auto doc = std::make_shared<ExtensionDocument>(weak_from_this());
    document_ = doc;
    return doc;
}

std::string ExtensionTab::LocationURL() {
    requireOpen();
    return url_;
}

bool ExtensionTab::raiseBeforeNavigate(const std::string& url) {
    auto self = shared_from_this();
    BeforeNavigateArgs args;
    args.pDisp = this;
    args.url = url;
    sinks_.forEach([&](BrowserEvents& sink) { sink.BeforeNavigate2(args); });
    lastCancelled_ = args.cancel;
    return !args.cancel;
}

void ExtensionTab::startOwn(const std::string& method, Json args) {
    // Its announcement from the page is ours: BeforeNavigate2 has been raised already.
    ownNavigations_ = std::min(ownNavigations_ + 1, 4);
    try {
        call(method, std::move(args));
    } catch (...) {
        ownNavigations_ = std::max(ownNavigations_ - 1, 0);
        throw;
    }
}

void ExtensionTab::GoBack() {
    requireOpen();
    if (!canGoBack_)
        throw AutomationError(automation_error::Failed, "There is no page to go back to");
    if (raiseBeforeNavigate({})) startOwn("goBack");
}

void ExtensionTab::GoForward() {
    requireOpen();
    if (!canGoForward_)
        throw AutomationError(automation_error::Failed, "There is no page to go forward to");
    if (raiseBeforeNavigate({})) startOwn("goForward");
}

void ExtensionTab::GoHome() {
    requireOpen();
    if (raiseBeforeNavigate(hub()->options().homePage)) startOwn("home");
}

void ExtensionTab::Stop() {
    lastCancelled_ = false;
    call("stop");
    if (loading_) stopped_ = true;
}

void ExtensionTab::Refresh2() {
    requireOpen();
    if (raiseBeforeNavigate(url_)) startOwn("reload");
}

void ExtensionTab::Navigate(const std::string& url) {
    requireOpen();
    auto h = hub();
    std::string target = url;
    if (h->options().prepareUrl) {
        std::string refused;
        target = h->options().prepareUrl(url, &refused);
        if (!refused.empty()) {
            h->log("Navigation refused: " + refused + " address");
            throw AutomationError(automation_error::Refused,
                                  "Navigation refused: " + refused + " address");
        }
    }
    if (raiseBeforeNavigate(target)) startOwn("navigate", Json{{"url", target}});
}

void ExtensionTab::ExecWB(std::int32_t command, std::int32_t /*option*/) {
    requireOpen();
    if (command != OLECMDID_STOPDOWNLOAD)
        throw AutomationError(automation_error::Failed, "Command not supported");
    // Right after a navigation of ours that a receiver cancelled there is nothing of ours
    // to stop; the user's own load in this tab goes on.
    if (lastCancelled_) {
        lastCancelled_ = false;
        return;
    }
    Stop();
}

bool ExtensionTab::FullScreen() {
    requireOpen();
    return hub()->windowState(peer_, windowId_) == "fullscreen";
}

void ExtensionTab::setFullScreen(bool on) {
    requireOpen();
    hub()->call(peer_, "setFullScreen", Json{{"windowId", windowId_}, {"on", on}});
}

void ExtensionTab::setToolBar(std::int32_t /*value*/) {
    // The browser keeps its toolbar to itself; full screen already hides it.
    requireOpen();
}

Cookie ExtensionTab::advise(BrowserEvents* sink) {
    requireOpen();
    const Cookie cookie = sinks_.add(sink);
    // A new receiver learns the history at once, not at the next navigation.
    postCommandState();
    return cookie;
}

void ExtensionTab::unadvise(Cookie cookie) {
    sinks_.remove(cookie);
}

// ---- what the extension pushes -------------------------------------------------------------

void ExtensionTab::postCommandState() {
    if (statePosted_) return;
    auto h = hub_.lock();
    if (!h) return;
    statePosted_ = true;
    h->post([weak = weak_from_this()] {
        auto tab = weak.lock();
        if (!tab) return;
        tab->statePosted_ = false;
        if (!tab->closed_) tab->reportCommandState();
    });
}

void ExtensionTab::reportCommandState() {
    auto self = shared_from_this();
    const bool back = canGoBack_, forward = canGoForward_;
    sinks_.forEach([&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEBACK, back); });
    sinks_.forEach([&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEFORWARD, forward); });
}

void ExtensionTab::update(const Json& tab, bool announce) {
    auto self = shared_from_this();
    windowId_ = intField(tab, "windowId", windowId_);
    index_ = static_cast<int>(std::clamp<std::int64_t>(intField(tab, "index", index_), 0, 1 << 20));
    active_ = boolField(tab, "active", active_);
    title_ = textField(tab, "title", title_).substr(0, 1000);
    // The address stays ours between commit and completion: the pushed one may lag.
    if (!loading_ || url_.empty()) url_ = textField(tab, "url", url_);
    const bool back = boolField(tab, "canGoBack", canGoBack_);
    const bool forward = boolField(tab, "canGoForward", canGoForward_);
    const bool changed = back != canGoBack_ || forward != canGoForward_;
    canGoBack_ = back;
    canGoForward_ = forward;
    if (!announce) return;
    if (changed) reportCommandState();
    if (textField(tab, "status") == "loading" && !loading_ && !loadsAnnounced_) beginLoad();
}

void ExtensionTab::beginLoad() {
    loading_ = true;
    stopped_ = false;
    topCommitted_ = false;
    sinks_.forEach([](BrowserEvents& s) { s.DownloadBegin(); });
}

void ExtensionTab::finishLoad(bool complete) {
    const bool wasLoading = loading_;
    complete = complete && topCommitted_ && !stopped_;
    loading_ = topCommitted_ = stopped_ = false;
    if (wasLoading) sinks_.forEach([](BrowserEvents& s) { s.DownloadComplete(); });
    if (complete) {
        const std::string url = url_;
        sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(this, url); });
    }
}

std::shared_ptr<FrameDispatch> ExtensionTab::frame(std::int64_t frameId) {
    if (auto it = frames_.find(frameId); it != frames_.end()) return it->second;
    if (frames_.size() >= 256) frames_.clear();  // a page that makes frames without end
    auto f = std::make_shared<FrameDispatch>();
    frames_[frameId] = f;
    return f;
}

bool ExtensionTab::onBeforeNavigate(const Json& message) {
    auto self = shared_from_this();
    if (intField(message, "frameId", 0) != 0) return false;
    if (ownNavigations_ > 0) {
        --ownNavigations_;
        if (loadsAnnounced_ && !loading_) beginLoad();
        return false;
    }
    const bool go = raiseBeforeNavigate(textField(message, "url"));
    lastCancelled_ = false;
    // A navigation that cannot be cancelled goes ahead whatever the receivers said.
    if (!go && boolField(message, "cancellable")) return true;
    if (!loading_) beginLoad();
    return false;
}

void ExtensionTab::onCommitted(const Json& message) {
    auto self = shared_from_this();
    const auto frameId = intField(message, "frameId", 0);
    const std::string url = textField(message, "url");
    if (frameId != 0) {
        auto f = frame(frameId);  // kept while receivers run
        sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(f.get(), url); });
        return;
    }
    ownNavigations_ = 0;
    const std::string transition = textField(message, "transition");
    // A change within the document (fragment, history state) loads nothing.
    const bool sameDocument =
        transition == "sameDocument" || transition == "fragment" || transition == "historyState";
    if (!loading_ && !sameDocument) beginLoad();
    if (!sameDocument) topCommitted_ = true;
    url_ = url;
    sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(this, url); });
    reportCommandState();
}

void ExtensionTab::onCompleted(const Json& message) {
    auto self = shared_from_this();
    const auto frameId = intField(message, "frameId", 0);
    if (frameId != 0) {
        const auto it = frames_.find(frameId);
        if (it == frames_.end()) return;
        auto keep = it->second;
        const std::string url = textField(message, "url");
        sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(keep.get(), url); });
        return;
    }
    finishLoad(true);
}

void ExtensionTab::onNavError(const Json& message) {
    auto self = shared_from_this();
    if (intField(message, "frameId", 0) != 0) return;
    // A stopped load ends without a document; any other failure shows an error page,
    // which counts as loaded at the address that failed.
    if (textField(message, "error") == "net::ERR_ABORTED") {
        stopped_ = true;
        finishLoad(false);
        return;
    }
    if (!topCommitted_) {
        if (!loading_) beginLoad();
        url_ = textField(message, "url", url_);
        topCommitted_ = true;
        const std::string url = url_;
        sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(this, url); });
    }
    finishLoad(true);
}

void ExtensionTab::onPage(const Json& message) {
    if (auto doc = document_.lock()) doc->dispatch(textField(message, "event"));
}

// ---- the document ---------------------------------------------------------------------------

std::shared_ptr<ExtensionTab> ExtensionDocument::tab() const {
    auto t = tab_.lock();
    if (!t || t->closed())
        throw AutomationError(automation_error::Disconnected, "The document has gone");
    return t;
}

std::string ExtensionDocument::bodyOuterHTML() {
    const Json r = tab()->call("getBody");
    if (!r.is_object() || !r.contains("html") || !r["html"].is_string())
        throw AutomationError(automation_error::Failed, "The page has no body");
    return r["html"].get<std::string>();
}

void ExtensionDocument::setBodyInnerHTML(const std::string& html) {
    tab()->call("setBody", Json{{"html", html}});
}

void ExtensionDocument::setBodyLeftMargin(int pixels) {
    tab()->call("setMargins", Json{{"left", pixels}});
}

void ExtensionDocument::setBodyTopMargin(int pixels) {
    tab()->call("setMargins", Json{{"top", pixels}});
}

void ExtensionDocument::dispatch(const std::string& kind) {
    raisePageEvent(sinks_, kind);
}

}  // namespace surfdeck::extension
