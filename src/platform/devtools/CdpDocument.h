#pragma once
#include <functional>
#include <memory>

#include "platform/devtools/SinkList.h"
#include "ports/Automation.h"

namespace surfdeck::chromium {

class CdpTab;

// The document shown in a tab, whatever page that is now: reads and writes go to the
// current page, and the mouse and context-menu reports of every page the tab shows reach
// the receivers advised here.
class CdpDocument : public HtmlDocument {
  public:
    using TabFn = std::function<std::shared_ptr<CdpTab>()>;
    explicit CdpDocument(TabFn tab) : tab_(std::move(tab)) {}

    std::string bodyOuterHTML() override;
    void setBodyInnerHTML(const std::string& html) override;
    void setBodyLeftMargin(int pixels) override;
    void setBodyTopMargin(int pixels) override;
    Cookie advise(DocumentEvents* sink) override;
    void unadvise(Cookie cookie) override;

    // A report from the page script: "mousedown", "mouseup" or "contextmenu".
    void dispatch(const std::string& kind);

  private:
    std::shared_ptr<CdpTab> tab();
    void setBodyStyle(const char* property, int pixels);

    TabFn tab_;
    SinkList<DocumentEvents> sinks_;
};

}  // namespace surfdeck::chromium
