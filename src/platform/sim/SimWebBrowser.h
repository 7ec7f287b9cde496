#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimClock.h"
#include "platform/sim/SimShellSinks.h"
#include "platform/sim/SimWeb.h"
#include "platform/sim/SimWebDocument.h"
#include "ports/Automation.h"

namespace surfdeck {

// A simulated embedded browser control. Navigate first asks the receivers
// (BeforeNavigate2, inside the call); a cancelled navigation changes nothing.
// The query role loads asynchronously: the page arrives when the event loop next pumps,
// then NavigateComplete2 and DocumentComplete for each frame and the top level follow;
// Stop abandons a load still pending. The results role loads at once, inside Navigate.
// It starts with an empty page.
class SimWebBrowser : public EmbeddedBrowser, public std::enable_shared_from_this<SimWebBrowser> {
  public:
    SimWebBrowser(EmbeddedRole role, SimWeb& web, SimEventLoop& loop,
                  std::vector<std::string>* sinkErrors);

    // EmbeddedBrowser
    void Navigate(const std::string& url) override;
    void Stop() override;
    // A fresh reference object on every call, as a real browser hands out, so a caller
    // that keeps only a raw pointer to it is caught.
    std::shared_ptr<HtmlDocument> Document() override;
    Cookie advise(BrowserEvents* sink) override { return sinks_.advise(sink); }
    void unadvise(Cookie cookie) override { sinks_.unadvise(cookie); }

    EmbeddedRole role() const { return role_; }
    // Every address the program asked for, in order, and how often it stopped the control.
    const std::vector<std::string>& navigations() const { return navigations_; }
    int stopCount() const { return stops_; }
    bool loadPending() const { return pendingLoad_ != 0; }
    // The address of the page shown now.
    const std::string& address() const { return address_; }
    std::shared_ptr<SimWebDocument> document() const { return document_; }
    // The body's content as the page shows it now.
    std::string bodyHTML() const { return document_->bodyInnerHTML(); }
    std::size_t receiverCount() const { return sinks_.size(); }

    // The user clicks a link to url: BeforeNavigate2 with that address, and if nobody
    // cancelled it the control goes there. True when it navigated.
    bool clickLink(const std::string& url);
    // The pointer rests on a link: the control shows its address as status text.
    void hoverLink(const std::string& url);

  private:
    bool askBeforeNavigate(const std::string& url);
    void load(const std::string& url);

    EmbeddedRole role_;
    SimWeb& web_;
    SimEventLoop& loop_;
    std::string address_;
    std::shared_ptr<SimWebDocument> document_;
    std::vector<std::shared_ptr<SimFrame>> frames_;
    std::vector<std::string> navigations_;
    int stops_ = 0;
    std::uint64_t pendingLoad_ = 0;
    std::uint64_t loadSeq_ = 0;
    std::vector<std::string>* sinkErrors_;
    SimSinks<BrowserEvents> sinks_;
};

}  // namespace surfdeck
