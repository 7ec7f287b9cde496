#pragma once
#include <QObject>
#include <memory>
#include <string>

#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/SinkList.h"
#include "ports/Automation.h"

class QTimer;

namespace surfdeck::chromium {

class CdpBrowser;
class CdpTab;
class ChromiumShellWindows;

// The related-sites panel's query browser: a page in a headless browser of our own, started
// on first use with a temporary profile, so no window appears and the user's tabs are never
// touched. A navigation asked for before that browser is up is made once it is.
class QueryBrowser : public EmbeddedBrowser,
                     public ShellWindowsEvents,
                     public BrowserEvents,
                     public std::enable_shared_from_this<QueryBrowser> {
  public:
    QueryBrowser(std::string executable, std::string flags, int callTimeoutMs, LogFn log);
    ~QueryBrowser() override;

    void Navigate(const std::string& url) override;
    void Stop() override;
    std::shared_ptr<HtmlDocument> Document() override;
    Cookie advise(BrowserEvents* sink) override { return sinks_.add(sink); }
    void unadvise(Cookie cookie) override { sinks_.remove(cookie); }

    // True once its page is up (for tests and diagnostics).
    bool ready() const { return tab_ != nullptr; }

  private:
    void ensureStarted();
    void pollPort();
    void adoptTab();

    // Events of the page, passed on as this browser's own.
    void WindowRegistered(std::int32_t cookie) override;
    void WindowRevoked(std::int32_t cookie) override;
    void BeforeNavigate2(BeforeNavigateArgs& args) override;
    void NavigateComplete2(Dispatch* pDisp, const std::string& url) override;
    void DocumentComplete(Dispatch* pDisp, const std::string& url) override;
    void DownloadBegin() override;
    void DownloadComplete() override;
    void StatusTextChange(const std::string& text) override;

    std::string executable_;
    std::string flags_;
    int callTimeoutMs_;
    LogFn log_;
    PrivateBrowserProcess process_;
    std::unique_ptr<QObject> context_;
    QTimer* poll_ = nullptr;
    int pollsLeft_ = 0;
    std::shared_ptr<CdpBrowser> browser_;
    std::shared_ptr<ChromiumShellWindows> list_;
    Cookie listCookie_ = 0;
    std::shared_ptr<CdpTab> tab_;
    Cookie tabCookie_ = 0;
    std::string pending_;
    SinkList<BrowserEvents> sinks_;
};

}  // namespace surfdeck::chromium
