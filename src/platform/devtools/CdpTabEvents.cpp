// What a tab tells its receivers beyond the browser's own events: the back and forward
// state a new receiver has not heard yet, and DownloadBegin in its place in the order;
// and the requests and page reports that the tab answers itself.
#include <QJsonArray>

#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/CdpDocument.h"
#include "platform/devtools/CdpTab.h"
#include "platform/devtools/PageScript.h"

namespace surfdeck::chromium {

void CdpTab::reportCommandStateTo(Cookie cookie) {
    auto b = browser_.lock();
    if (!b || closed_ || sessionId_.isEmpty()) return;
    std::weak_ptr<CdpTab> weak = weak_from_this();
    // Answered after advise has returned: the receiver is still being set up.
    b->send("Page.getNavigationHistory", {}, sessionId_,
            [weak, cookie](const QJsonObject& result, const QJsonObject& error) {
                auto tab = weak.lock();
                if (!tab || tab->closed_ || !error.isEmpty()) return;
                const int current = result.value("currentIndex").toInt(-1);
                const int count = static_cast<int>(result.value("entries").toArray().size());
                if (current < 0 || current >= count) return;
                const bool back = current > 0;
                const bool forward = current + 1 < count;
                tab->sinks_.forOne(cookie, [&](BrowserEvents& s) {
                    s.CommandStateChange(CSC_NAVIGATEBACK, back);
                });
                tab->sinks_.forOne(cookie, [&](BrowserEvents& s) {
                    s.CommandStateChange(CSC_NAVIGATEFORWARD, forward);
                });
            });
}

// The browser starts loading before it asks whether the page may go: DownloadBegin waits
// until the navigation is allowed (or its document arrives, for one that needs no
// request), so that it follows BeforeNavigate2 and a cancelled one raises neither.
void CdpTab::announceDownload() {
    if (!loading_ || downloadAnnounced_) return;
    downloadAnnounced_ = true;
    sinks_.forEach([](BrowserEvents& s) { s.DownloadBegin(); });
}

void CdpTab::onRequestPaused(const QJsonObject& params) {
    const QString requestId = params.value("requestId").toString();
    const QJsonObject request = params.value("request").toObject();
    const QString url = request.value("url").toString();
    auto proceed = [&] { send("Fetch.continueRequest", {{"requestId", requestId}}); };
    // Let go while it waited in the queue (logged then): too late to ask anyone.
    if (auto b = browser_.lock(); !b || !b->held(requestId)) return;

    // Frames, redirects of a navigation already announced, and our own navigations (their
    // BeforeNavigate2 was raised when we started them) go on unasked.
    if (params.value("resourceType").toString() != "Document" ||
        params.value("frameId").toString() != mainFrameId_) {
        proceed();
        return;
    }
    if (params.contains("redirectedRequestId") || takeOwnNavigation(url)) {
        proceed();
        announceDownload();
        return;
    }
    bool allowed = true;
    try {
        allowed = raiseBeforeNavigate(url.toStdString(), request);
    } catch (...) {
        proceed();  // a paused request left unanswered would hang the tab
        throw;
    }
    if (allowed) {
        proceed();
        announceDownload();
    } else {
        send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}});
    }
}

void CdpTab::onBinding(const QJsonObject& params) {
    if (params.value("name").toString() != kReportBinding) return;
    const QString kind = params.value("payload").toString();
    if (kind == "focus" || kind == "blur" || kind == "nofocus") {
        if (auto b = browser_.lock()) b->reportFocus(handle_, kind == "focus");
        return;
    }
    if (auto doc = document_.lock()) doc->dispatch(kind.toStdString());
}

}  // namespace surfdeck::chromium
