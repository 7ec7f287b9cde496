#include "platform/devtools/QueryBrowser.h"

#include <QTimer>

#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/CdpDocument.h"
#include "platform/devtools/CdpTab.h"
#include "platform/devtools/ChromiumShellWindows.h"

namespace surfdeck::chromium {

QueryBrowser::QueryBrowser(std::string executable, std::string flags, int callTimeoutMs, LogFn log)
    : executable_(std::move(executable)),
      flags_(std::move(flags)),
      callTimeoutMs_(callTimeoutMs),
      log_(std::move(log)),
      context_(std::make_unique<QObject>()) {
    poll_ = new QTimer(context_.get());
    poll_->setInterval(100);
    QObject::connect(poll_, &QTimer::timeout, context_.get(), [this] { pollPort(); });
}

QueryBrowser::~QueryBrowser() {
    if (tab_) tab_->unadvise(tabCookie_);
    if (list_) list_->unadvise(listCookie_);
    tab_.reset();
    list_.reset();
    browser_.reset();
    process_.stop();
}

void QueryBrowser::Navigate(const std::string& url) {
    std::string refused = refusedScheme(url);
    if (refused.empty()) refused = refusedScheme(navigableUrl(url));
    if (!refused.empty()) {
        if (log_) log_("Navigation refused: " + refused + " address");
        throw AutomationError(automation_error::Refused,
                              "Navigation refused: " + refused + " address");
    }
    auto self = shared_from_this();
    BeforeNavigateArgs args;
    args.pDisp = this;
    args.url = navigableUrl(url);
    sinks_.forEach([&](BrowserEvents& s) { s.BeforeNavigate2(args); });
    if (args.cancel) return;

    if (tab_ && !tab_->closed()) {
        pending_.clear();
        tab_->navigateChecked(args.url);
        return;
    }
    pending_ = args.url;
    ensureStarted();
}

void QueryBrowser::Stop() {
    pending_.clear();
    if (tab_ && !tab_->closed()) tab_->Stop();
}

std::shared_ptr<HtmlDocument> QueryBrowser::Document() {
    std::weak_ptr<QueryBrowser> weak = weak_from_this();
    return std::make_shared<CdpDocument>([weak]() -> std::shared_ptr<CdpTab> {
        auto query = weak.lock();
        return query ? query->tab_ : nullptr;
    });
}

void QueryBrowser::ensureStarted() {
    if (process_.running()) return;  // still coming up, or up and its page on its way
    // It went away (or never was): start afresh.
    if (tab_) tab_->unadvise(tabCookie_);
    tab_.reset();
    list_.reset();
    browser_.reset();
    const std::string exe = findBrowserExecutable(executable_);
    if (exe.empty() || !process_.start(exe, flags_)) {
        if (log_) log_("Query browser could not be started");
        throw AutomationError(automation_error::Failed, "The query browser could not be started");
    }
    pollsLeft_ = 200;
    poll_->start();
}

void QueryBrowser::pollPort() {
    const int port = process_.port();
    if (port == 0) {
        if (--pollsLeft_ <= 0 || !process_.running()) {
            poll_->stop();
            process_.stop();
            if (log_) log_("Query browser did not start");
        }
        return;
    }
    poll_->stop();
    BrowserSettings settings;
    settings.address = "127.0.0.1:" + std::to_string(port);
    settings.startBrowser = false;
    settings.reconnectMs = 0;
    settings.callTimeoutMs = callTimeoutMs_;
    LogFn log;
    if (log_) log = [log = log_](const std::string& line) { log("Query browser: " + line); };
    browser_ = std::make_shared<CdpBrowser>(settings, std::move(log));
    list_ = ChromiumShellWindows::create(browser_);
    listCookie_ = list_->advise(this);
    browser_->start();
}

void QueryBrowser::adoptTab() {
    if ((tab_ && !tab_->closed()) || !browser_) return;
    const auto tabs = browser_->tabs();
    if (tabs.empty()) return;
    tab_ = tabs.front();
    tab_->setTopDispatch(this);
    tabCookie_ = tab_->advise(this);
    if (!pending_.empty()) {
        const std::string url = std::move(pending_);
        pending_.clear();
        tab_->navigateChecked(url);
    }
}

void QueryBrowser::WindowRegistered(std::int32_t) {
    auto self = shared_from_this();
    adoptTab();
}

void QueryBrowser::WindowRevoked(std::int32_t) {
    if (tab_ && tab_->closed()) tab_.reset();
}

void QueryBrowser::BeforeNavigate2(BeforeNavigateArgs& args) {
    auto self = shared_from_this();
    sinks_.forEach([&](BrowserEvents& s) { s.BeforeNavigate2(args); });
}

void QueryBrowser::NavigateComplete2(Dispatch* pDisp, const std::string& url) {
    auto self = shared_from_this();
    sinks_.forEach([&](BrowserEvents& s) { s.NavigateComplete2(pDisp, url); });
}

void QueryBrowser::DocumentComplete(Dispatch* pDisp, const std::string& url) {
    auto self = shared_from_this();
    sinks_.forEach([&](BrowserEvents& s) { s.DocumentComplete(pDisp, url); });
}

void QueryBrowser::DownloadBegin() {
    auto self = shared_from_this();
    sinks_.forEach([](BrowserEvents& s) { s.DownloadBegin(); });
}

void QueryBrowser::DownloadComplete() {
    auto self = shared_from_this();
    sinks_.forEach([](BrowserEvents& s) { s.DownloadComplete(); });
}

void QueryBrowser::StatusTextChange(const std::string& text) {
    auto self = shared_from_this();
    sinks_.forEach([&](BrowserEvents& s) { s.StatusTextChange(text); });
}

}  // namespace surfdeck::chromium
