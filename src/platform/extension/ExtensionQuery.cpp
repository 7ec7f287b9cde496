#include "platform/extension/ExtensionQuery.h"

#include <fstream>

namespace surfdeck::extension {

namespace {

// A saved answer page larger than this is no answer page.
constexpr std::size_t kLocalPageLimit = 4u << 20;

// The saved answer page that the debug box shows is a file of ours, by path or file: URL;
// a browser's extension may not read local files, so it is read here. Empty when the
// address is no local file.
std::string localPath(const std::string& url) {
    if (url.rfind("file://", 0) == 0) return url.substr(7);
    if (!url.empty() && url.front() == '/') return url;
    return {};
}

bool readLocalPage(const std::string& path, std::string& body) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    body.assign(kLocalPageLimit + 1, '\0');
    in.read(body.data(), static_cast<std::streamsize>(body.size()));
    body.resize(static_cast<std::size_t>(in.gcount()));
    return !in.bad() && body.size() <= kLocalPageLimit;
}

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
    if (const std::string path = localPath(url); !path.empty()) {
        std::string body;
        if (!readLocalPage(path, body)) {
            hub->log("Related lookup failed: cannot read " + path +
                     " (missing, unreadable or over " + std::to_string(kLocalPageLimit) +
                     " bytes)");
            return;
        }
        body_ = std::move(body);
        sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(this, url); });
        return;
    }
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
