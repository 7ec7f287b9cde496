#pragma once
#include <cstdint>
#include <memory>

#include "browser/ForwardIEEvent.h"
#include "browser/TrackingContext.h"
#include "ports/Automation.h"

namespace surfdeck {

class cIEWindows;

// The wrapper of one shell window: the browser object, the document it showed when
// attached, its handle and whether back and forward are available. It forwards every
// browser and document event it hears, tagged with a kind number, to the list.
class IE_Class : public std::enable_shared_from_this<IE_Class>,
                 private BrowserEvents,
                 private DocumentEvents {
  public:
    explicit IE_Class(TrackingContext& ctx) : ctx_(ctx) {}
    ~IE_Class() override;
    IE_Class(const IE_Class&) = delete;
    IE_Class& operator=(const IE_Class&) = delete;

    bool EnableForward() const { return EnableForward_; }
    bool EnableBack() const { return EnableBack_; }
    // Attaches browser window B; written once, by the list, right after creation.
    void setIEctl(std::shared_ptr<BrowserWindow> B);
    std::shared_ptr<BrowserWindow> IEctl() const { return IE; }
    std::int32_t IEHandle() const { return IEHandle_; }

  private:
    friend class cIEWindows;
    friend void ForwardIEEvent(TrackingContext&, const IE_Class&, std::int32_t, const std::int32_t&,
                               std::span<const IEEventArg>);

    // Handlers, one per browser or document event.
    void IE_BeforeNavigate2(BeforeNavigateArgs& args);
    void IE_CommandStateChange(std::int32_t Command, bool Enable);
    void IE_DocumentComplete(Dispatch* pDisp, const std::string& URL);
    void IE_DownloadBegin();
    void IE_DownloadComplete();
    void IE_NavigateComplete2(Dispatch* pDisp, const std::string& URL);
    bool IEDoc_oncontextmenu();
    void IEDoc_onmousedown();
    void IEDoc_onmouseup();

    // BrowserEvents
    void BeforeNavigate2(BeforeNavigateArgs& args) override { IE_BeforeNavigate2(args); }
    void NavigateComplete2(Dispatch* pDisp, const std::string& url) override {
        IE_NavigateComplete2(pDisp, url);
    }
    void DocumentComplete(Dispatch* pDisp, const std::string& url) override {
        IE_DocumentComplete(pDisp, url);
    }
    void DownloadBegin() override { IE_DownloadBegin(); }
    void DownloadComplete() override { IE_DownloadComplete(); }
    void CommandStateChange(std::int32_t command, bool enable) override {
        IE_CommandStateChange(command, enable);
    }
    // DocumentEvents
    void onmousedown() override { IEDoc_onmousedown(); }
    void onmouseup() override { IEDoc_onmouseup(); }
    bool oncontextmenu() override { return IEDoc_oncontextmenu(); }

    void forward(std::int32_t kind, std::span<const IEEventArg> args);
    std::int16_t readShift();
    PixelPoint clientCursor();
    // Stops the events of browser and document; the references stay readable.
    void disconnect();
    // Taken out of its list: no more events, nothing forwarded.
    void detach();

    TrackingContext& ctx_;
    std::shared_ptr<BrowserWindow> IE;
    std::shared_ptr<HtmlDocument> IEDoc;
    Cookie ieCookie_ = 0;
    Cookie docCookie_ = 0;
    std::int32_t IEHandle_ = 0;
    bool EnableBack_ = false;
    bool EnableForward_ = false;
    bool LeftDown = false;
    bool RightDown = false;
    // The list that made this wrapper, while it keeps it.
    cIEWindows* owner_ = nullptr;
};

}  // namespace surfdeck
