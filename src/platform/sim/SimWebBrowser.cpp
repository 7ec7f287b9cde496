#include "platform/sim/SimWebBrowser.h"

namespace surfdeck {

namespace {

// Forwards to the page's one document.
class DocumentReference : public HtmlDocument {
  public:
    explicit DocumentReference(std::shared_ptr<SimWebDocument> doc) : doc_(std::move(doc)) {}
    std::string bodyOuterHTML() override { return doc_->bodyOuterHTML(); }
    void setBodyInnerHTML(const std::string& html) override { doc_->setBodyInnerHTML(html); }
    void setBodyLeftMargin(int pixels) override { doc_->setBodyLeftMargin(pixels); }
    void setBodyTopMargin(int pixels) override { doc_->setBodyTopMargin(pixels); }
    Cookie advise(DocumentEvents* sink) override { return doc_->advise(sink); }
    void unadvise(Cookie cookie) override { doc_->unadvise(cookie); }

  private:
    std::shared_ptr<SimWebDocument> doc_;
};

}  // namespace

std::shared_ptr<HtmlDocument> SimWebBrowser::Document() {
    return std::make_shared<DocumentReference>(document_);
}

SimWebBrowser::SimWebBrowser(EmbeddedRole role, SimWeb& web, SimEventLoop& loop,
                             std::vector<std::string>* sinkErrors)
    : role_(role),
      web_(web),
      loop_(loop),
      document_(std::make_shared<SimWebDocument>("<html><body></body></html>", sinkErrors)),
      sinkErrors_(sinkErrors),
      sinks_(sinkErrors) {}

bool SimWebBrowser::askBeforeNavigate(const std::string& url) {
    BeforeNavigateArgs args;
    args.pDisp = this;
    args.url = url;
    sinks_.deliver([&args](BrowserEvents& s) { s.BeforeNavigate2(args); });
    return !args.cancel;
}

void SimWebBrowser::Navigate(const std::string& url) {
    auto keep = shared_from_this();
    navigations_.push_back(url);
    if (!askBeforeNavigate(url)) return;
    if (role_ == EmbeddedRole::Results) {
        pendingLoad_ = 0;
        load(url);
        return;
    }
    // A newer navigation replaces one still loading.
    const std::uint64_t ticket = ++loadSeq_;
    pendingLoad_ = ticket;
    std::weak_ptr<SimWebBrowser> weak = keep;
    loop_.post([weak, ticket, url] {
        auto self = weak.lock();
        if (!self || self->pendingLoad_ != ticket) return;
        self->pendingLoad_ = 0;
        self->load(url);
    });
}

void SimWebBrowser::Stop() {
    ++stops_;
    pendingLoad_ = 0;
}

void SimWebBrowser::load(const std::string& url) {
    auto keep = shared_from_this();
    const std::string markup = web_.fetch(url);
    address_ = url;
    document_ = std::make_shared<SimWebDocument>(markup, sinkErrors_);
    frames_.clear();
    for (const auto& frameUrl : SimWeb::frameAddresses(markup))
        frames_.push_back(std::make_shared<SimFrame>(frameUrl));
    auto frames = frames_;
    sinks_.deliver([&](BrowserEvents& s) { s.NavigateComplete2(this, url); });
    for (const auto& frame : frames)
        sinks_.deliver(
            [&](BrowserEvents& s) { s.NavigateComplete2(frame.get(), frame->address()); });
    sinks_.deliver([](BrowserEvents& s) { s.DownloadBegin(); });
    sinks_.deliver([](BrowserEvents& s) { s.DownloadComplete(); });
    for (const auto& frame : frames)
        sinks_.deliver(
            [&](BrowserEvents& s) { s.DocumentComplete(frame.get(), frame->address()); });
    sinks_.deliver([&](BrowserEvents& s) { s.DocumentComplete(this, url); });
}

bool SimWebBrowser::clickLink(const std::string& url) {
    auto keep = shared_from_this();
    if (!askBeforeNavigate(url)) return false;
    pendingLoad_ = 0;
    load(url);
    return true;
}

void SimWebBrowser::hoverLink(const std::string& url) {
    auto keep = shared_from_this();
    sinks_.deliver([&url](BrowserEvents& s) { s.StatusTextChange(url); });
}

}  // namespace surfdeck
