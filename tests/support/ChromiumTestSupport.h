#pragma once
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/devtools/BrowserSettings.h"
#include "platform/devtools/CdpConnection.h"
#include "platform/devtools/CdpTab.h"
#include "platform/devtools/ChromiumAutomation.h"
#include "ports/Automation.h"

namespace surfdeck::chromium::test {

// Runs the event loop until pred holds or the deadline passes; true when it held.
bool waitFor(const std::function<bool()>& pred, int ms = 15000);

// A headless Chromium of the test's own, on a free loopback port, with a fresh profile.
class TestBrowser {
  public:
    ~TestBrowser();
    bool start(int port = 0);    // port 0: the browser picks a free one
    void stop();                 // as the user would
    void crash() { end(true); }  // SIGKILL
    void pause();                // SIGSTOP: the browser stops answering
    void resume();               // SIGCONT
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    void end(bool kill);
    void dropProfile();
    std::unique_ptr<QTemporaryDir> profile_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
};

// Pages served over HTTP on 127.0.0.1. "/slow..." is never answered; only pages under
// "/kept/" may be kept in the browser's back-forward cache.
class TestServer {
  public:
    TestServer();
    std::string url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + path;
    }
    void page(const std::string& path, const std::string& html) { pages_[path] = html; }
    int requests(const std::string& path) { return requests_[path]; }

  private:
    void answer(class QTcpSocket* socket);
    QTcpServer server_;
    std::map<std::string, std::string> pages_;
    std::map<std::string, int> requests_;
};

// A DevTools client of the test's own, acting as the user or the page would.
class Driver {
  public:
    explicit Driver(int port) : port_(port) {}
    bool open();
    std::string newTab(const std::string& url);  // the new target's id
    QJsonObject call(const QString& method, const QJsonObject& params,
                     const std::string& targetId = {});
    void closeTab(const std::string& id) { call("Target.closeTarget", {{"targetId", q(id)}}); }
    // Evaluates in the page's own script world; the result's value.
    QJsonValue eval(const std::string& targetId, const std::string& expression);
    void mouse(const std::string& targetId, const char* type, const char* button, int x, int y);
    QJsonObject history(const std::string& id) { return call("Page.getNavigationHistory", {}, id); }
    void closeBrowser();

  private:
    static QString q(const std::string& s) { return QString::fromStdString(s); }
    QString session(const std::string& targetId);
    int port_;
    CdpConnection connection_{10000};
    std::map<std::string, QString> sessions_;
};

// Counts the list's events; onRegistered runs inside the registered event.
struct ListEvents : ShellWindowsEvents {
    void WindowRegistered(std::int32_t) override {
        if (onRegistered) onRegistered();
        ++registered;
    }
    void WindowRevoked(std::int32_t) override { ++revoked; }
    int registered = 0;
    int revoked = 0;
    std::function<void()> onRegistered;
};

// Records a window's events as text lines, and cancels navigations on request.
class Recorder : public BrowserEvents {
  public:
    explicit Recorder(Dispatch* top = nullptr) : top_(top) {}
    void BeforeNavigate2(BeforeNavigateArgs& args) override;
    void NavigateComplete2(Dispatch* pDisp, const std::string& url) override {
        record(pDisp, "navigated " + url);
    }
    void DocumentComplete(Dispatch* pDisp, const std::string& url) override {
        record(pDisp, "complete " + url);
    }
    void DownloadBegin() override { lines.push_back("begin"); }
    void DownloadComplete() override { lines.push_back("end"); }
    void CommandStateChange(std::int32_t command, bool enable) override {
        if (command == CSC_NAVIGATEBACK) back = enable;
        if (command == CSC_NAVIGATEFORWARD) forward = enable;
    }

    bool has(const std::string& line) const { return count(line) > 0; }
    int count(const std::string& line) const {
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    bool hasPrefix(const std::string& prefix) const {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    std::string dump() const;  // for failure messages

    std::vector<std::string> lines;
    std::function<bool(const std::string&)> cancelIf;
    bool cancelPending = false;  // as the core's attach probe sets it: cancels the next one
    int back = -1;               // last reported availability, -1 before any report
    int forward = -1;
    std::vector<Dispatch*> frameDispatches;

  private:
    void record(Dispatch* pDisp, const std::string& what);
    Dispatch* top_;
};

// A test with its own browser, page server and backend, connected; the members end in the
// reverse order of their declaration.
class ChromiumTest : public ::testing::Test {
  protected:
    void SetUp() override;

    virtual BrowserSettings settings();
    std::shared_ptr<BrowserWindow> tabFor(const std::string& targetId);
    std::string targetOf(const std::shared_ptr<BrowserWindow>& window) {
        return std::dynamic_pointer_cast<CdpTab>(window)->targetId().toStdString();
    }
    std::shared_ptr<BrowserWindow> openTab(const std::string& url, std::string* targetId = nullptr);
    // Navigates and waits until the page is complete.
    void load(const std::shared_ptr<BrowserWindow>& window, const std::string& url);
    int logCount(const std::string& text) const {
        return static_cast<int>(std::count(logLines.begin(), logLines.end(), text));
    }

    TestBrowser chrome;
    TestServer server;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<ChromiumAutomation> automation;
    std::shared_ptr<ShellWindows> list;
    std::vector<std::string> logLines;
};

}  // namespace surfdeck::chromium::test
