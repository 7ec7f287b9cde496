#pragma once
#include <map>
#include <memory>
#include <string>

#include "platform/devtools/SinkList.h"
#include "platform/extension/ExtensionHub.h"
#include "ports/Automation.h"

namespace surfdeck::extension {

using chromium::SinkList;
class ExtensionDocument;

// One frame inside a page, as the identity its events carry.
class FrameDispatch : public Dispatch {};

// One tab of a connected browser: the browser window the core sees. Its address, busy
// state and history come from what the extension pushes; commands go out as calls.
class ExtensionTab : public BrowserWindow, public std::enable_shared_from_this<ExtensionTab> {
  public:
    ExtensionTab(std::weak_ptr<ExtensionHub> hub, PeerId peer, std::int64_t tabId, Hwnd handle);

    Hwnd HWND() override;
    std::shared_ptr<HtmlDocument> Document() override;
    std::string LocationURL() override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void Stop() override;
    void Refresh2() override;
    void Navigate(const std::string& url) override;
    void ExecWB(std::int32_t command, std::int32_t option) override;
    bool FullScreen() override;
    void setFullScreen(bool on) override;
    void setToolBar(std::int32_t value) override;
    Cookie advise(BrowserEvents* sink) override;
    void unadvise(Cookie cookie) override;

    // ---- for the hub
    PeerId peer() const { return peer_; }
    std::int64_t tabId() const { return tabId_; }
    std::int64_t windowId() const { return windowId_; }
    int index() const { return index_; }
    bool active() const { return active_; }
    const std::string& title() const { return title_; }
    void setActive(bool on) { active_ = on; }
    // The browser announces every load of the tab before it reports the tab loading
    // (Firefox): a load then begins with its announcement, never with that report.
    void setLoadsAnnounced(bool on) { loadsAnnounced_ = on; }
    Hwnd handle() const { return handle_; }
    bool closed() const { return closed_; }
    void setClosed() { closed_ = true; }
    // A Tab object of the protocol; raises what its changes mean.
    void update(const Json& tab, bool announce);
    // True when the navigation should be cancelled.
    bool onBeforeNavigate(const Json& message);
    void onCommitted(const Json& message);
    void onCompleted(const Json& message);
    void onNavError(const Json& message);
    void onPage(const Json& message);
    // The document calls through its tab.
    Json call(const std::string& method, Json args = Json::object());

  private:
    std::shared_ptr<ExtensionHub> hub() const;
    void requireOpen() const;
    bool raiseBeforeNavigate(const std::string& url);
    void startOwn(const std::string& method, Json args = Json::object());
    void beginLoad();
    void finishLoad(bool complete);
    void reportCommandState();
    void postCommandState();
    std::shared_ptr<FrameDispatch> frame(std::int64_t frameId);

    std::weak_ptr<ExtensionHub> hub_;
    PeerId peer_;
    std::int64_t tabId_;
    Hwnd handle_;
    std::int64_t windowId_ = -1;
    int index_ = 0;
    bool active_ = false;
    bool closed_ = false;
    std::string url_;
    std::string title_;
    bool canGoBack_ = false;
    bool canGoForward_ = false;
    bool loading_ = false;  // between DownloadBegin and DownloadComplete
    bool loadsAnnounced_ = false;
    bool topCommitted_ = false;   // the top frame took a new document during this load
    bool stopped_ = false;        // Stop abandoned the load: no DocumentComplete for it
    bool lastCancelled_ = false;  // our last navigation was cancelled by a receiver
    bool statePosted_ = false;
    int ownNavigations_ = 0;  // our own navigations whose announcement is still to come
    std::map<std::int64_t, std::shared_ptr<FrameDispatch>> frames_;
    SinkList<BrowserEvents> sinks_;
    std::weak_ptr<ExtensionDocument> document_;
};

// The document shown in a tab, whatever page that is now.
class ExtensionDocument : public HtmlDocument {
  public:
    explicit ExtensionDocument(std::weak_ptr<ExtensionTab> tab) : tab_(std::move(tab)) {}
    std::string bodyOuterHTML() override;
    void setBodyInnerHTML(const std::string& html) override;
    void setBodyLeftMargin(int pixels) override;
    void setBodyTopMargin(int pixels) override;
    Cookie advise(DocumentEvents* sink) override { return sinks_.add(sink); }
    void unadvise(Cookie cookie) override { sinks_.remove(cookie); }
    // "mousedown", "mouseup" or "contextmenu" from the page.
    void dispatch(const std::string& kind);

  private:
    std::shared_ptr<ExtensionTab> tab() const;
    std::weak_ptr<ExtensionTab> tab_;
    SinkList<DocumentEvents> sinks_;
};

}  // namespace surfdeck::extension
