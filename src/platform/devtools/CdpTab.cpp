#include "platform/devtools/CdpTab.h"

#include <QJsonArray>
#include <QTimer>
#include <QUrl>

#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/CdpDocument.h"
#include "platform/devtools/PageScript.h"

namespace surfdeck::chromium {

namespace {

// The form in which the network layer reports a document address, for recognising our own
// navigations among the intercepted requests.
QString requestForm(const QString& url) {
    QUrl u(url);
    u = u.adjusted(QUrl::RemoveFragment | QUrl::NormalizePathSegments);
    if (u.path().isEmpty()) u.setPath("/");
    return u.toString(QUrl::FullyEncoded);
}

std::string headerText(const QJsonObject& headers) {
    std::string text;
    for (auto it = headers.begin(); it != headers.end(); ++it)
        text += it.key().toStdString() + ": " + it.value().toString().toStdString() + "\r\n";
    return text;
}

AutomationError closedError() {
    return AutomationError(automation_error::Disconnected, "The browser window has closed");
}

}  // namespace

CdpTab::CdpTab(std::weak_ptr<CdpBrowser> browser, QString targetId, Hwnd handle, QString url)
    : browser_(std::move(browser)),
      targetId_(std::move(targetId)),
      handle_(handle),
      url_(std::move(url)),
      mainFrameId_(targetId_) {}

std::shared_ptr<CdpBrowser> CdpTab::browser() const {
    auto b = browser_.lock();
    if (!b) throw closedError();
    return b;
}

void CdpTab::requireOpen() const {
    if (closed_) throw closedError();
}

QJsonObject CdpTab::call(const QString& method, const QJsonObject& params) {
    requireOpen();
    if (sessionId_.isEmpty()) throw closedError();
    auto self = shared_from_this();
    return browser()->call(method, params, sessionId_);
}

void CdpTab::send(const QString& method, const QJsonObject& params) {
    if (closed_ || sessionId_.isEmpty()) return;
    if (auto b = browser_.lock()) b->send(method, params, sessionId_);
}

// ---- the browser window -------------------------------------------------------------------

Hwnd CdpTab::HWND() {
    requireOpen();
    return handle_;
}

std::shared_ptr<HtmlDocument> CdpTab::Document() {
    requireOpen();
    if (auto doc = document_.lock()) return doc;
    std::weak_ptr<CdpTab> weak = weak_from_this();
    auto doc = std::make_shared<CdpDocument>([weak] { return weak.lock(); });
    document_ = doc;
    return doc;
}

std::string CdpTab::LocationURL() {
    requireOpen();
    return url_.toStdString();
}

CdpTab::History CdpTab::history() {
    const QJsonObject r = call("Page.getNavigationHistory");
    History h;
    h.current = r.value("currentIndex").toInt(-1);
    for (const auto& e : r.value("entries").toArray()) {
        const QJsonObject entry = e.toObject();
        h.entries.emplace_back(entry.value("id").toInt(), entry.value("url").toString());
    }
    return h;
}

void CdpTab::goToEntry(const History& h, int index) {
    const auto& [entryId, url] = h.entries[static_cast<std::size_t>(index)];
    if (!raiseBeforeNavigate(url.toStdString())) return;
    expectOwnNavigation(url);
    call("Page.navigateToHistoryEntry", {{"entryId", entryId}});
}

void CdpTab::GoBack() {
    const History h = history();
    if (h.current <= 0 || h.current >= static_cast<int>(h.entries.size()))
        throw AutomationError(automation_error::Failed, "There is no page to go back to");
    goToEntry(h, h.current - 1);
}

void CdpTab::GoForward() {
    const History h = history();
    if (h.current < 0 || h.current + 1 >= static_cast<int>(h.entries.size()))
        throw AutomationError(automation_error::Failed, "There is no page to go forward to");
    goToEntry(h, h.current + 1);
}

void CdpTab::GoHome() {
    const std::string home = browser()->settings().homePage;
    Navigate(home.empty() ? "about:blank" : home);
}

void CdpTab::Stop() {
    call("Page.stopLoading");
    if (loading_) stopped_ = true;
}

void CdpTab::Refresh2() {
    requireOpen();
    if (!raiseBeforeNavigate(url_.toStdString())) return;
    expectOwnNavigation(url_);
    call("Page.reload");
}

void CdpTab::Navigate(const std::string& url) {
    requireOpen();
    const std::string target = navigableUrl(url);
    std::string refused = refusedScheme(url);
    if (refused.empty()) refused = refusedScheme(target);
    if (!refused.empty()) {
        browser()->log("Navigation refused: " + refused + " address");
        throw AutomationError(automation_error::Refused,
                              "Navigation refused: " + refused + " address");
    }
    if (!QUrl(QString::fromStdString(target)).isValid())
        throw AutomationError(automation_error::Refused, "Not a valid address");
    if (!raiseBeforeNavigate(target)) return;
    navigateChecked(target);
}

void CdpTab::navigateChecked(const std::string& url) {
    requireOpen();
    if (sessionId_.isEmpty()) throw closedError();
    const QString target = QString::fromStdString(url);
    expectOwnNavigation(target);
    // The answer comes only once the server has answered: the navigation goes on without us.
    send("Page.navigate", {{"url", target}});
}

void CdpTab::ExecWB(std::int32_t command, std::int32_t /*option*/) {
    requireOpen();
    if (command != OLECMDID_STOPDOWNLOAD)
        throw AutomationError(automation_error::Failed, "Command not supported");
    Stop();
}

bool CdpTab::FullScreen() {
    requireOpen();
    const QJsonObject w =
        browser()->call("Browser.getWindowForTarget", {{"targetId", targetId_}}, {});
    return w.value("bounds").toObject().value("windowState").toString() == "fullscreen";
}

void CdpTab::setFullScreen(bool on) {
    requireOpen();
    auto b = browser();
    const QJsonObject w = b->call("Browser.getWindowForTarget", {{"targetId", targetId_}}, {});
    const QString state = w.value("bounds").toObject().value("windowState").toString();
    QString wanted;
    if (on && state != "fullscreen") {
        stateBeforeFullScreen_ = state == "maximized" ? state : QStringLiteral("normal");
        wanted = "fullscreen";
    } else if (!on && state == "fullscreen") {
        // Back to where the user had it: a maximized window comes back maximized.
        wanted =
            stateBeforeFullScreen_.isEmpty() ? QStringLiteral("normal") : stateBeforeFullScreen_;
    } else {
        return;
    }
    b->call("Browser.setWindowBounds",
            {{"windowId", w.value("windowId")}, {"bounds", QJsonObject{{"windowState", wanted}}}},
            {});
}

void CdpTab::setToolBar(std::int32_t /*value*/) {
    // The browser keeps its toolbar to itself; full screen already hides it.
    requireOpen();
}

Cookie CdpTab::advise(BrowserEvents* sink) {
    requireOpen();
    const Cookie cookie = sinks_.add(sink);
    setHolding(true);
    reportCommandStateTo(cookie);
    return cookie;
}

void CdpTab::unadvise(Cookie cookie) {
    sinks_.remove(cookie);
    // With nobody left who could cancel, the browser need not wait for us at all.
    if (sinks_.empty()) setHolding(false);
}

void CdpTab::setHolding(bool on) {
    if (on == holding_ || closed_ || sessionId_.isEmpty()) return;
    holding_ = on;
    if (!on) {
        send("Fetch.disable");
        return;
    }
    const QJsonArray patterns{
        QJsonObject{{"resourceType", "Document"}, {"requestStage", "Request"}}};
    // Waited for: a navigation right after advise must already reach the new receiver.
    try {
        call("Fetch.enable", {{"patterns", patterns}});
    } catch (const AutomationError&) {
        holding_ = false;  // tried again at the next advise
    }
}

// ---- navigation bookkeeping ----------------------------------------------------------------

bool CdpTab::raiseBeforeNavigate(const std::string& url, const QJsonObject& request) {
    auto self = shared_from_this();
    BeforeNavigateArgs args;
    args.pDisp = top_;
    args.url = url;
    args.postData = request.value("postData").toString().toStdString();
    args.headers = headerText(request.value("headers").toObject());
    sinks_.forEach([&](BrowserEvents& sink) { sink.BeforeNavigate2(args); });
    return !args.cancel;
}

void CdpTab::expectOwnNavigation(const QString& url) {
    // Kept until its request shows or the next document arrives (addresses that need no
    // request, like about:blank, are never seen as requests).
    if (ownNavigations_.size() >= 8) ownNavigations_.erase(ownNavigations_.begin());
    ownNavigations_.push_back(requestForm(url));
}

bool CdpTab::takeOwnNavigation(const QString& url) {
    const QString form = requestForm(url);
    for (auto it = ownNavigations_.begin(); it != ownNavigations_.end(); ++it) {
        if (*it == form) {
            ownNavigations_.erase(it);
            return true;
        }
    }
    return false;
}

void CdpTab::reportCommandState(const QString& committedUrl, int attemptsLeft) {
    auto b = browser_.lock();
    if (!b || closed_) return;
    std::weak_ptr<CdpTab> weak = weak_from_this();
    b->send(
        "Page.getNavigationHistory", {}, sessionId_,
        [weak, committedUrl, attemptsLeft](const QJsonObject& result, const QJsonObject& error) {
            auto tab = weak.lock();
            if (!tab || tab->closed_) return;
            const int current = result.value("currentIndex").toInt();
            const QJsonArray entries = result.value("entries").toArray();
            // The page reports its new document before the browser has filed the entry
            // (and while the page changes hands the browser may not answer at all):
            // until the history shows it, the answer is from before the navigation.
            const QString shown = entries.at(current).toObject().value("url").toString();
            if (!error.isEmpty() || requestForm(shown) != requestForm(committedUrl)) {
                if (attemptsLeft <= 0) return;
                QTimer::singleShot(30, [weak, committedUrl, attemptsLeft] {
                    if (auto t = weak.lock()) t->reportCommandState(committedUrl, attemptsLeft - 1);
                });
                return;
            }
            const bool back = current > 0;
            const bool forward = current + 1 < static_cast<int>(entries.size());
            tab->sinks_.forEach(
                [&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEBACK, back); });
            tab->sinks_.forEach(
                [&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEFORWARD, forward); });
        });
}

CdpTab::Frame& CdpTab::frame(const QString& id) {
    Frame& f = frames_[id];
    if (!f.dispatch) f.dispatch = std::make_shared<FrameDispatch>(id);
    return f;
}

// ---- session life --------------------------------------------------------------------------

void CdpTab::attach(const QString& sessionId, std::function<void()> ready) {
    sessionId_ = sessionId;
    auto b = browser_.lock();
    if (!b) return;
    b->send("Page.enable", {}, sessionId_);
    b->send("Runtime.enable", {}, sessionId_);
    b->send("Runtime.addBinding",
            {{"name", kReportBinding}, {"executionContextName", kScriptWorld}}, sessionId_);
    b->send("Page.addScriptToEvaluateOnNewDocument",
            {{"source", kPageScript}, {"worldName", kScriptWorld}, {"runImmediately", true}},
            sessionId_);
    // Only the top frame's documents: that is where navigations are announced.
    const QJsonArray patterns{
        QJsonObject{{"resourceType", "Document"}, {"requestStage", "Request"}}};
    b->send("Fetch.enable", {{"patterns", patterns}}, sessionId_);
    // Commands on one session run in order: once this one is answered the rest are in place.
    b->send("Runtime.runIfWaitingForDebugger", {}, sessionId_,
            [ready = std::move(ready)](const QJsonObject&, const QJsonObject&) { ready(); });
}

void CdpTab::setClosed() {
    closed_ = true;
    ready_ = false;
}

void CdpTab::targetInfoChanged(const QJsonObject& info) {
    // Until the page reports its own navigations (a page loaded before we came), the
    // target's report is the address.
    if (!pageReported_) url_ = info.value("url").toString(url_);
}

QJsonObject CdpTab::evaluate(const QString& expression) {
    QJsonObject params{{"expression", expression}, {"returnByValue", true}};
    for (int attempt = 0;; ++attempt) {
        if (worldContext_ == 0) {
            const QJsonObject world =
                call("Page.createIsolatedWorld",
                     {{"frameId", mainFrameId_}, {"worldName", kScriptWorld}});
            worldContext_ = world.value("executionContextId").toInt();
        }
        params["contextId"] = worldContext_;
        try {
            const QJsonObject r = call("Runtime.evaluate", params);
            if (r.contains("exceptionDetails"))
                throw AutomationError(
                    automation_error::Failed,
                    r.value("exceptionDetails").toObject().value("text").toString().toStdString());
            return r.value("result").toObject();
        } catch (const AutomationError& e) {
            // Our world went with its document; the new one's report may still be on its way.
            if (attempt > 0 || e.number() != automation_error::Failed || closed_) throw;
            worldContext_ = 0;
        }
    }
}

// ---- events --------------------------------------------------------------------------------

void CdpTab::onEvent(const QString& method, const QJsonObject& params) {
    auto self = shared_from_this();
    if (method == "Page.frameStartedLoading") {
        const QString id = params.value("frameId").toString();
        if (id == mainFrameId_) {
            topCommitted_ = false;
            if (!loading_) {
                loading_ = true;
                stopped_ = false;
                downloadAnnounced_ = false;
            }
        } else {
            frame(id).committed = false;
        }
    } else if (method == "Page.frameNavigated") {
        onFrameNavigated(params.value("frame").toObject());
        if (params.value("type").toString() == "BackForwardCacheRestore" && !loading_ &&
            params.value("frame").toObject().value("parentId").isUndefined()) {
            // A page kept whole in the cache comes back without loading.
            topCommitted_ = false;
            sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(top_, url_.toStdString()); });
        }
    } else if (method == "Page.navigatedWithinDocument") {
        if (params.value("frameId").toString() == mainFrameId_) {
            pageReported_ = true;
            url_ = params.value("url").toString();
            const std::string url = url_.toStdString();
            sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(top_, url); });
            reportCommandState(url_);
        }
    } else if (method == "Page.frameStoppedLoading") {
        onStoppedLoading(params.value("frameId").toString());
    } else if (method == "Page.frameAttached") {
        frame(params.value("frameId").toString());
    } else if (method == "Page.frameDetached") {
        if (params.value("reason").toString() != "swap")
            frames_.erase(params.value("frameId").toString());
    } else if (method == "Fetch.requestPaused") {
        onRequestPaused(params);
    } else if (method == "Runtime.bindingCalled") {
        onBinding(params);
    } else if (method == "Runtime.executionContextCreated") {
        const QJsonObject context = params.value("context").toObject();
        if (context.value("name").toString() == kScriptWorld &&
            context.value("auxData").toObject().value("frameId").toString() == mainFrameId_)
            worldContext_ = context.value("id").toInt();
    } else if (method == "Runtime.executionContextDestroyed") {
        if (params.value("executionContextId").toInt() == worldContext_) worldContext_ = 0;
    } else if (method == "Runtime.executionContextsCleared") {
        worldContext_ = 0;
    }
}

void CdpTab::onFrameNavigated(const QJsonObject& info) {
    const QString id = info.value("id").toString();
    // An error page stands for the address that could not be reached.
    const QString unreachable = info.value("unreachableUrl").toString();
    const QString url = !unreachable.isEmpty()
                            ? unreachable
                            : info.value("url").toString() + info.value("urlFragment").toString();
    if (info.value("parentId").isUndefined()) {
        announceDownload();
        pageReported_ = true;
        mainFrameId_ = id;
        url_ = url;
        topCommitted_ = true;
        ownNavigations_.clear();
        const std::string text = url.toStdString();
        sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(top_, text); });
        reportCommandState(url);
        return;
    }
    Frame& f = frame(id);
    f.url = url;
    f.committed = true;
    auto dispatch = f.dispatch;  // the frame may go while receivers run
    const std::string text = url.toStdString();
    sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(dispatch.get(), text); });
}

void CdpTab::onStoppedLoading(const QString& id) {
    if (id == mainFrameId_) {
        const bool wasLoading = loading_ && downloadAnnounced_;
        const bool complete = topCommitted_ && !stopped_;
        loading_ = false;
        downloadAnnounced_ = false;
        topCommitted_ = false;
        stopped_ = false;
        if (wasLoading) sinks_.forEach([](BrowserEvents& s) { s.DownloadComplete(); });
        if (complete) {
            const std::string url = url_.toStdString();
            sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(top_, url); });
        }
        return;
    }
    auto it = frames_.find(id);
    if (it == frames_.end() || !it->second.committed) return;
    it->second.committed = false;
    auto dispatch = it->second.dispatch;
    const std::string url = it->second.url.toStdString();
    sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(dispatch.get(), url); });
}

}  // namespace surfdeck::chromium
