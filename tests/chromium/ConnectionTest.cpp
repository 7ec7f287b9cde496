#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>

#include "ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

struct ListEvents : ShellWindowsEvents {
    void WindowRegistered(std::int32_t) override { ++registered; }
    void WindowRevoked(std::int32_t) override { ++revoked; }
    int registered = 0;
    int revoked = 0;
};

using Connection = ChromiumTest;

TEST_F(Connection, ABrowserThatDiesEmptiesTheListOnceAndIsFoundAgainWhenItComesBack) {
    connectBackend();
    openTab(server.url("/a.htm"));
    ASSERT_EQ(list->Count(), 2);
    auto old = list->Item(1);
    const Hwnd oldHandle = old->HWND();
    ListEvents events;
    list->advise(&events);
    const int port = chrome.port();

    chrome.crash();
    ASSERT_TRUE(waitFor([&] { return events.revoked > 0; }));
    EXPECT_EQ(events.revoked, 1) << "one event for the whole list";
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(logCount("Browser connection lost"), 1);
    EXPECT_THROW(old->GoBack(), AutomationError);
    EXPECT_THROW(old->LocationURL(), AutomationError);
    EXPECT_FALSE(automation->connected());

    ASSERT_TRUE(chrome.start(port));
    ASSERT_TRUE(waitFor([&] { return list->Count() == 1; }));
    EXPECT_GE(events.registered, 1);
    EXPECT_TRUE(automation->connected());
    EXPECT_NE(list->Item(0)->HWND(), oldHandle) << "a handle is never given twice";
    EXPECT_EQ(logCount("Browser connection lost"), 1);
    load(list->Item(0), server.url("/b.htm"));
}

TEST_F(Connection, ACallInFlightWhenTheBrowserDiesFailsAtOnce) {
    connectBackend();
    auto tab = list->Item(0);
    struct Killer : BrowserEvents {
        void BeforeNavigate2(BeforeNavigateArgs&) override {
            chrome->crash();
            EXPECT_THROW(tab->FullScreen(), AutomationError);
            done = true;
        }
        TestBrowser* chrome = nullptr;
        BrowserWindow* tab = nullptr;
        bool done = false;
    } killer;
    killer.chrome = &chrome;
    killer.tab = tab.get();
    tab->advise(&killer);
    QElapsedTimer clock;
    clock.start();
    EXPECT_ANY_THROW(tab->Refresh2());
    EXPECT_TRUE(killer.done);
    EXPECT_LT(clock.elapsed(), 9000) << "failed by the end of the connection, not a time-out";
}

class HungBrowser : public ChromiumTest {
  protected:
    BrowserSettings settings() override {
        BrowserSettings s = ChromiumTest::settings();
        s.callTimeoutMs = 1000;
        return s;
    }
};

TEST_F(HungBrowser, ACallThatGetsNoAnswerTimesOut) {
    connectBackend();
    auto tab = list->Item(0);
    chrome.pause();
    try {
        tab->GoBack();
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), automation_error::Timeout);
    }
    chrome.resume();
    EXPECT_EQ(tab->LocationURL(), "about:blank");
}

class RemoteAddress : public ChromiumTest {
  protected:
    BrowserSettings settings() override {
        BrowserSettings s = ChromiumTest::settings();
        s.address = "192.0.2.7:" + std::to_string(chrome.port());
        s.startBrowser = true;
        return s;
    }
};

TEST_F(RemoteAddress, IsRefusedWithALogLineAndNothingStarted) {
    automation = std::make_unique<ChromiumAutomation>(
        settings(), [this](const std::string& line) { logLines.push_back(line); });
    list = automation->createShellWindows();
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0], "Browser address refused, not a loopback address: 192.0.2.7:" +
                               std::to_string(chrome.port()));
    EXPECT_FALSE(automation->connected());
    EXPECT_EQ(list->Count(), 0);
}

// Starting the browser when none answers, on a port nothing listens on.
TEST(Launch, StartsTheBrowserWhenNoneAnswers) {
    int port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    QTemporaryDir profile;
    BrowserSettings s;
    s.address = "127.0.0.1:" + std::to_string(port);
    s.executable = "/usr/bin/chromium";
    s.profile = profile.filePath("profile").toStdString();
    s.flags =
        "--headless=new --disable-gpu --disable-background-networking "
        "--disable-component-update --disable-sync about:blank";
    s.callTimeoutMs = 10000;
    s.reconnectMs = 200;
    std::vector<std::string> log;
    ChromiumAutomation automation(s, [&](const std::string& line) { log.push_back(line); });
    auto list = automation.createShellWindows();
    ASSERT_TRUE(waitFor([&] { return list->Count() == 1; }, 30000));
    EXPECT_EQ(log, std::vector<std::string>{"Browser started: /usr/bin/chromium"});
    EXPECT_TRUE(QDir(profile.filePath("profile")).exists());

    // It was started detached and would outlive the test: close it, as the user would.
    struct Revoked : ShellWindowsEvents {
        void WindowRevoked(std::int32_t) override { gone = true; }
        bool gone = false;
    } revoked;
    list->advise(&revoked);
    Driver user(port);
    ASSERT_TRUE(user.open());
    user.closeBrowser();
    ASSERT_TRUE(waitFor([&] { return revoked.gone && log.back() == "Browser connection lost"; }));
    // A browser the user closed is not started again behind their back, while the
    // connection is tried again and again.
    EXPECT_FALSE(waitFor([&] { return list->Count() > 0; }, 1500));
    EXPECT_EQ(std::count(log.begin(), log.end(), "Browser started: /usr/bin/chromium"), 1);
    // Its profile is let go once the browser has finished with it.
    EXPECT_TRUE(
        waitFor([&] { return !QFileInfo(profile.filePath("profile/SingletonLock")).isSymLink(); }));
}

}  // namespace
}  // namespace surfdeck::chromium::test

namespace surfdeck::chromium::test {
namespace {

// Shut-down may still ask the browser something after the main loop was told to end.
TEST_F(Connection, ACallMadeWhileTheProgramQuitsStillGetsItsAnswer) {
    connectBackend();
    auto tab = list->Item(0);
    QCoreApplication::exit(0);
    EXPECT_FALSE(tab->FullScreen());
    EXPECT_THROW(tab->GoBack(), AutomationError);
}

}  // namespace
}  // namespace surfdeck::chromium::test
