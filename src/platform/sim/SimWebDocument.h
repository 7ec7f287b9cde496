#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/SimShellSinks.h"
#include "ports/Automation.h"

namespace surfdeck {

// One frame of a loaded page: an automation object of its own, as events report it.
class SimFrame : public Dispatch {
  public:
    explicit SimFrame(std::string address) : address_(std::move(address)) {}
    const std::string& address() const { return address_; }

  private:
    std::string address_;
};

// The HTML document of one loaded page. The body keeps the page's own opening and
// closing tags as written (a browser keeps the tag's letter case in what it serializes);
// a page without a body element gets "<body>" and "</body>".
class SimWebDocument : public HtmlDocument, public std::enable_shared_from_this<SimWebDocument> {
  public:
    SimWebDocument(const std::string& markup, std::vector<std::string>* sinkErrors);

    // HtmlDocument
    std::string bodyOuterHTML() override;
    void setBodyInnerHTML(const std::string& html) override;
    void setBodyLeftMargin(int pixels) override { leftMargin_ = pixels; }
    void setBodyTopMargin(int pixels) override { topMargin_ = pixels; }
    Cookie advise(DocumentEvents* sink) override { return sinks_.advise(sink); }
    void unadvise(Cookie cookie) override { sinks_.unadvise(cookie); }

    // What the page shows now.
    const std::string& bodyInnerHTML() const { return inner_; }
    std::optional<int> leftMargin() const { return leftMargin_; }
    std::optional<int> topMargin() const { return topMargin_; }
    std::size_t receiverCount() const { return sinks_.size(); }

    // The user's mouse in the page. Button and modifier state are the desktop's.
    void raiseMouseDown();
    void raiseMouseUp();
    // True when the browser shows its own menu: every receiver allowed it.
    bool raiseContextMenu();

  private:
    std::string openTag_;
    std::string inner_;
    std::string closeTag_;
    std::optional<int> leftMargin_;
    std::optional<int> topMargin_;
    SimSinks<DocumentEvents> sinks_;
};

}  // namespace surfdeck
