#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>

#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

using Connection = ChromiumTest;

// A call in flight fails at once; the list empties once; the browser is found again.
TEST_F(Connection, ABrowserThatDiesIsSurvivedAndFoundAgainWhenItComesBack) {
    openTab(server.url("/a.htm"));
    ASSERT_EQ(list->Count(), 2);
    auto old = list->Item(1);
    const Hwnd oldHandle = old->HWND();
    ListEvents events;
    list->advise(&events);
    const int port = chrome.port();
    // The state so far comes at once; then one report per change, none per retry.
    std::vector<BrowserStatus::State> states;
    std::string name;
    automation->setStatusHandler([&](const BrowserStatus& s) {
        states.push_back(s.state);
        name = s.browser;
    });
    using State = BrowserStatus::State;
    EXPECT_EQ(states, std::vector<State>{State::Connected});
    EXPECT_NE(name.find("Chrome"), std::string::npos) << name;

    Recorder killer(old.get());
    bool done = false;
    killer.cancelIf = [&](const std::string&) {
        chrome.crash();
        EXPECT_THROW(old->FullScreen(), AutomationError);
        done = true;
        return false;
    };
    old->advise(&killer);
    QElapsedTimer clock;
    clock.start();
    EXPECT_ANY_THROW(old->Refresh2());
    EXPECT_TRUE(done);
    EXPECT_LT(clock.elapsed(), 9000) << "failed by the end of the connection, not a time-out";
    ASSERT_TRUE(waitFor([&] { return events.revoked > 0; }));
    EXPECT_EQ(events.revoked, 1) << "one event for the whole list";
    EXPECT_EQ(list->Count(), 0);
    EXPECT_EQ(logCount("Browser connection lost"), 1);
    EXPECT_THROW(old->GoBack(), AutomationError);
    EXPECT_THROW(old->LocationURL(), AutomationError);
    EXPECT_FALSE(automation->connected());
    // Retries that find nothing say nothing more.
    QElapsedTimer retries;
    retries.start();
    waitFor([&] { return retries.elapsed() > 1000; }, 3000);
    EXPECT_EQ(states, (std::vector<State>{State::Connected, State::Lost}));

    ASSERT_TRUE(chrome.start(port));
    ASSERT_TRUE(waitFor([&] { return list->Count() == 1; }));
    EXPECT_EQ(states, (std::vector<State>{State::Connected, State::Lost, State::Connected}));
    EXPECT_GE(events.registered, 1);
    EXPECT_TRUE(automation->connected());
    EXPECT_NE(list->Item(0)->HWND(), oldHandle) << "a handle is never given twice";
    EXPECT_EQ(logCount("Browser connection lost"), 1);
    load(list->Item(0), server.url("/b.htm"));
}

class HungBrowser : public ChromiumTest {
  protected:
    BrowserSettings settings() override {
        BrowserSettings s = ChromiumTest::settings();
        s.callTimeoutMs = 1000;
        return s;
    }
};

TEST_F(HungBrowser, ACallThatGetsNoAnswerTimesOutAndOneMadeWhileTheProgramQuitsIsAnswered) {
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
    // Shut-down may still ask the browser something after the main loop was told to end.
    QCoreApplication::exit(0);
    EXPECT_FALSE(tab->FullScreen());
    EXPECT_THROW(tab->GoBack(), AutomationError);
}

TEST(RemoteAddress, IsRefusedWithALogLineAndNothingStarted) {
    BrowserSettings s;
    s.address = "192.0.2.7:9222";
    s.startBrowser = true;
    std::vector<std::string> log;
    ChromiumAutomation automation(s, [&](const std::string& line) { log.push_back(line); });
    auto list = automation.createShellWindows();
    EXPECT_EQ(log, std::vector<std::string>{
                       "Browser address refused, not a loopback address: 192.0.2.7:9222"});
    EXPECT_FALSE(automation.connected());
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
    s.processTable = profile.path().toStdString();  // no browser of the user's running
    std::vector<std::string> log;
    ChromiumAutomation automation(s, [&](const std::string& line) { log.push_back(line); });
    auto list = automation.createShellWindows();
    ASSERT_TRUE(waitFor([&] { return list->Count() == 1; }, 30000));
    EXPECT_EQ(log, std::vector<std::string>{"Browser started: /usr/bin/chromium"});
    EXPECT_TRUE(QDir(profile.filePath("profile")).exists());

    // It was started detached and would outlive the test: close it, as the user would.
    ListEvents events;
    list->advise(&events);
    Driver user(port);
    ASSERT_TRUE(user.open());
    user.closeBrowser();
    ASSERT_TRUE(
        waitFor([&] { return events.revoked > 0 && log.back() == "Browser connection lost"; }));
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
