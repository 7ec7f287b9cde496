#pragma once
#include <memory>
#include <string>

#include "platform/devtools/SinkList.h"
#include "platform/extension/ExtensionHub.h"
#include "ports/Automation.h"

namespace surfdeck::extension {

// The related-sites panel's lookup browser, out of sight: a connected browser fetches the
// page (with the user's own session, as a page of theirs would) and hands back its body.
// No browser of our own is started. Navigate returns at once; DocumentComplete follows
// once the body is here, and never for a load that Stop abandoned or that failed (logged).
class ExtensionQueryBrowser : public EmbeddedBrowser,
                              public std::enable_shared_from_this<ExtensionQueryBrowser> {
  public:
    explicit ExtensionQueryBrowser(std::weak_ptr<ExtensionHub> hub) : hub_(std::move(hub)) {}
    void Navigate(const std::string& url) override;
    void Stop() override { ++load_; }
    std::shared_ptr<HtmlDocument> Document() override;
    Cookie advise(BrowserEvents* sink) override { return sinks_.add(sink); }
    void unadvise(Cookie cookie) override { sinks_.remove(cookie); }

  private:
    void fetch(std::uint64_t load, const std::string& url);

    std::weak_ptr<ExtensionHub> hub_;
    chromium::SinkList<BrowserEvents> sinks_;
    std::uint64_t load_ = 0;  // the load in progress; an answer for an older one is dropped
    std::string body_;
};

}  // namespace surfdeck::extension
