#include "platform/extension/ExtensionQuery.h"

namespace surfdeck::extension {

namespace {

// The body fetched last, as the document of the lookup browser.
class FetchedDocument : public HtmlDocument {
  public:
    explicit FetchedDocument(std::string body) : body_(std::move(body)) {}
    std::string bodyOuterHTML() override { return body_; }
    void setBodyInnerHTML(const std::string&) override {}
    void setBodyLeftMargin(int) override {}
    void setBodyTopMargin(int) override {}
    Cookie advise(DocumentEvents* sink) override { return sinks_.add(sink); }
    void unadvise(Cookie cookie) override { sinks_.remove(cookie); }

  private:
    std::string body_;
    chromium::SinkList<DocumentEvents> sinks_;
};

}  // namespace

void ExtensionQueryBrowser::Navigate(const std::string& url) {
    auto hub = hub_.lock();
    if (!hub) throw AutomationError(automation_error::Disconnected, "The browser is not connected");
    auto self = shared_from_this();
    BeforeNavigateArgs args;
    args.pDisp = this;
    args.url = url;
    sinks_.forEach([&](BrowserEvents& s) { s.BeforeNavigate2(args); });
    if (args.cancel) return;
    const std::uint64_t load = ++load_;
    // The wait for the page runs from the queue, so that Navigate itself returns at once.
    hub->post([weak = weak_from_this(), load, url] {
        if (auto query = weak.lock()) query->fetch(load, url);
    });
}

void ExtensionQueryBrowser::fetch(std::uint64_t load, const std::string& url) {
    auto hub = hub_.lock();
    if (!hub || load != load_) return;
    auto self = shared_from_this();
    const PeerId peer = hub->anyPeer();
    if (peer == 0) {
        hub->log("Related lookup not made: no browser is connected");
        return;
    }
    Json result;
    try {
        result = hub->call(peer, "fetchPage", Json{{"url", url}});
    } catch (const AutomationError& e) {
        hub->log("Related lookup failed: " + e.description());
        return;
    }
    if (load != load_) return;  // stopped, or another lookup began meanwhile
    body_ = textField(result, "html");
    sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(this, url); });
}

std::shared_ptr<HtmlDocument> ExtensionQueryBrowser::Document() {
    return std::make_shared<FetchedDocument>(body_);
}

}  // namespace surfdeck::extension
