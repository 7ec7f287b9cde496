#pragma once
#include <QJsonObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/devtools/SinkList.h"
#include "ports/Automation.h"

namespace surfdeck::chromium {

class CdpBrowser;
class CdpDocument;

// One frame inside a page, as the identity its events carry.
class FrameDispatch : public Dispatch {
  public:
    explicit FrameDispatch(QString id) : id_(std::move(id)) {}
    const QString& id() const { return id_; }

  private:
    QString id_;
};

// One page target (a tab) over its flattened session: the browser window the core sees.
class CdpTab : public BrowserWindow, public std::enable_shared_from_this<CdpTab> {
  public:
    CdpTab(std::weak_ptr<CdpBrowser> browser, QString targetId, Hwnd handle, QString url);

    // BrowserWindow
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

    // For CdpBrowser and the objects built over a tab.
    const QString& targetId() const { return targetId_; }
    const QString& sessionId() const { return sessionId_; }
    Hwnd handle() const { return handle_; }
    bool ready() const { return ready_; }
    bool closed() const { return closed_; }
    // The object that events name as the top-level document (this tab, or the embedded
    // browser that shows it). Must outlive the tab's events.
    void setTopDispatch(Dispatch* top) { top_ = top; }
    // Navigates after the caller has raised BeforeNavigate2 itself.
    void navigateChecked(const std::string& url);
    // The top frame's document, read through the script world of our own.
    QJsonObject evaluate(const QString& expression);

    // Sets the session up; ready runs once the page may go on.
    void attach(const QString& sessionId, std::function<void()> ready);
    void setReady() { ready_ = true; }
    void setClosed();
    void targetInfoChanged(const QJsonObject& info);
    void onEvent(const QString& method, const QJsonObject& params);

  private:
    struct Frame {
        std::shared_ptr<FrameDispatch> dispatch;
        QString url;
        bool committed = false;
    };
    struct History {
        int current = -1;
        std::vector<std::pair<int, QString>> entries;  // entry id, address
    };

    std::shared_ptr<CdpBrowser> browser() const;
    void requireOpen() const;
    QJsonObject call(const QString& method, const QJsonObject& params = {});
    void send(const QString& method, const QJsonObject& params = {});
    History history();
    void goToEntry(const History& h, int index);
    bool raiseBeforeNavigate(const std::string& url, const QJsonObject& request = {});
    void expectOwnNavigation(const QString& url);
    bool takeOwnNavigation(const QString& url);
    // Once the history shows the new current entry, tells whether back and forward can go.
    void reportCommandState(const QString& committedUrl, int attemptsLeft = 40);
    // Tells one new receiver what back and forward can do now: the core attaches fresh
    // receivers whenever any tab opens or closes, and they know nothing until told.
    void reportCommandStateTo(Cookie cookie);
    Frame& frame(const QString& id);

    void onRequestPaused(const QJsonObject& params);
    // Fetch.enable while some receiver could cancel a navigation, Fetch.disable otherwise.
    void setHolding(bool on);
    void onFrameNavigated(const QJsonObject& frameInfo);
    void onStoppedLoading(const QString& frameId);
    void onBinding(const QJsonObject& params);
    void announceDownload();

    std::weak_ptr<CdpBrowser> browser_;
    QString targetId_;
    QString sessionId_;
    Hwnd handle_;
    QString url_;
    QString mainFrameId_;
    Dispatch* top_ = this;
    bool ready_ = false;
    bool closed_ = false;
    bool loading_ = false;
    bool downloadAnnounced_ = false;  // DownloadBegin raised for the load in progress
    bool pageReported_ = false;       // the page has told us its address itself
    bool topCommitted_ = false;       // the top frame took a new document during this load
    bool stopped_ = false;  // Stop abandoned the load in progress: no DocumentComplete for it
    bool holding_ = true;   // top-level document requests are paused for our receivers
    int worldContext_ = 0;  // our script world in the top frame; 0 while unknown
    QString stateBeforeFullScreen_;
    std::vector<QString> ownNavigations_;
    std::map<QString, Frame> frames_;
    SinkList<BrowserEvents> sinks_;
    std::weak_ptr<CdpDocument> document_;
};

}  // namespace surfdeck::chromium
