#pragma once
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Automation.h"
#include "platform/chromium/BrowserSettings.h"
#include "platform/chromium/CdpConnection.h"
#include "platform/chromium/ChromiumAutomation.h"

namespace surfdeck::chromium::test {

// Runs the event loop until pred holds or the deadline passes; true when it held.
bool waitFor(const std::function<bool()>& pred, int ms = 15000);

// A headless Chromium of the test's own, on a free loopback port, with a fresh profile.
class TestBrowser {
  public:
    ~TestBrowser();
    // port 0: the browser picks a free one.
    bool start(int port = 0);
    // Ends the browser as the user would.
    void stop();
    // Ends it as a crash would (SIGKILL).
    void crash();
    void pause();   // SIGSTOP: the browser stops answering
    void resume();  // SIGCONT
    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
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
    std::string url(const std::string& path) const;
    void page(const std::string& path, const std::string& html) { pages_[path] = html; }
    int requests(const std::string& path) const;

  private:
    void answer(class QTcpSocket* socket);
    QTcpServer server_;
    std::map<std::string, std::string> pages_;
    std::map<std::string, int> requests_;
};

// A DevTools client of the test's own, acting as the user or the page would.
class Driver {
  public:
    explicit Driver(int port);
    bool open();
    std::string newTab(const std::string& url);  // the new target's id
    void closeTab(const std::string& targetId);
    // Evaluates in the page's own script world; the result's value.
    QJsonObject eval(const std::string& targetId, const std::string& expression);
    void mouse(const std::string& targetId, const char* type, const char* button, int x, int y);
    QJsonObject history(const std::string& targetId);
    void closeBrowser();

  private:
    QString session(const std::string& targetId);
    int port_;
    CdpConnection connection_{10000};
    std::map<std::string, QString> sessions_;
};

// Records a window's events as text lines, and cancels navigations on request.
class Recorder : public BrowserEvents {
  public:
    explicit Recorder(Dispatch* top = nullptr) : top_(top) {}
    void BeforeNavigate2(BeforeNavigateArgs& args) override;
    void NavigateComplete2(Dispatch* pDisp, const std::string& url) override;
    void DocumentComplete(Dispatch* pDisp, const std::string& url) override;
    void DownloadBegin() override { lines.push_back("begin"); }
    void DownloadComplete() override { lines.push_back("end"); }
    void CommandStateChange(std::int32_t command, bool enable) override;

    bool has(const std::string& line) const;
    int count(const std::string& line) const;
    // A line that starts with prefix.
    bool hasPrefix(const std::string& prefix) const;
    // All lines, for failure messages.
    std::string dump() const;

    std::vector<std::string> lines;
    std::function<bool(const std::string&)> cancelIf;
    bool cancelPending = false;  // as the core's attach probe sets it: cancels the next one
    int back = -1;               // last reported availability, -1 before any report
    int forward = -1;
    std::vector<Dispatch*> frameDispatches;
    std::vector<std::string> states;  // command-state reports, "2+" back on, "1-" forward off

  private:
    Dispatch* top_;
};

// A test with its own browser, page server and backend.
class ChromiumTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    virtual BrowserSettings settings();
    void connectBackend();
    // The tracked tab showing the target.
    std::shared_ptr<BrowserWindow> tabFor(const std::string& targetId);
    std::string targetOf(const std::shared_ptr<BrowserWindow>& window);
    std::shared_ptr<BrowserWindow> openTab(const std::string& url, std::string* targetId = nullptr);
    // Navigates and waits until the page is complete.
    void load(const std::shared_ptr<BrowserWindow>& window, const std::string& url);
    int logCount(const std::string& text) const;

    TestBrowser chrome;
    TestServer server;
    std::unique_ptr<Driver> driver;
    std::unique_ptr<ChromiumAutomation> automation;
    std::shared_ptr<ShellWindows> list;
    std::vector<std::string> logLines;
};

}  // namespace surfdeck::chromium::test
