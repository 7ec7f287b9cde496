#include <string>
#include <vector>

#include "ScenarioHarness.h"
#include "mainwindow/frmMain.h"
#include "shell/Main.h"
#include "shell/Settings.h"

using surfdeck::frmMain;
using surfdeck::ReadIni;
using surfdeck::testing::Scenario;
using Requests = std::vector<std::string>;

namespace {

int occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string enabled(Scenario& s, const std::string& key) {
    return s.fact("button", "frmMain.Toolbar1:" + key).get("enabled");
}

frmMain& mainWindow(Scenario& s) {
    return *s.runner().program()->main.get();
}

}  // namespace

TEST(ActiveWindow, FollowsTheBrowserWindowInFrontAndStaysWhileOursAreUsed) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nopen http://b.example/\nwait 100\n");
    EXPECT_EQ(s.fact("active", "none").kind, "active") << "nothing in front yet";
    s.ok("front 2\nwait 100\n");
    EXPECT_EQ(s.fact("active", "#2").kind, "active");
    s.ok("front frmMain\nwait 300\n");
    EXPECT_EQ(s.fact("active", "#2").kind, "active") << "our own window does not count";
    s.ok("front 1\nwait 100\n");
    EXPECT_EQ(s.fact("active", "#1").kind, "active");
}

TEST(ActiveWindow, BackAndForwardFollowItsHistoryAndKeepTheirStateWhenItCloses) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nfront 1\nnavigate 1 http://b.example/\nwait 100\n");
    EXPECT_EQ(enabled(s, "back"), "1");
    EXPECT_EQ(enabled(s, "forward"), "0");
    s.ok("userback 1\nwait 100\n");
    EXPECT_EQ(enabled(s, "back"), "0");
    EXPECT_EQ(enabled(s, "forward"), "1");
    s.ok("close 1\nwait 300\n");
    EXPECT_EQ(enabled(s, "back"), "0");
    EXPECT_EQ(enabled(s, "forward"), "1");
}

TEST(ActiveWindow, ARebuiltListShowsNoHistoryUntilTheBrowserReportsItAgain) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nfront 1\nnavigate 1 http://b.example/\nwait 100\n");
    ASSERT_EQ(enabled(s, "back"), "1");
    s.ok("open http://c.example/\nwait 100\n");
    EXPECT_EQ(enabled(s, "back"), "0");
}

TEST(ActiveWindow, AWindowClosingDuringATickWritesOneLogLine) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nopen http://b.example/\nfront 2\nwait 100\n");
    // Asked for #1's handle, the shell closes #2: the tick's own walk still holds it.
    s.runner().automation().closeDuringNextHandle(2);
    s.ok("wait 500\n");
    EXPECT_EQ(occurrences(s.read("log.txt"), "Error in timer1.sub"), 1) << s.read("log.txt");
}

TEST(BrowserCommands, DoNothingWithoutAnActiveWindow) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nwait 100\n");
    for (const char* key : {"back", "forward", "refresh", "stop", "home", "full"}) {
        s.ok(std::string("click frmMain.Toolbar1:") + key + "\n");
    }
    EXPECT_EQ(s.requests(), Requests{});
    EXPECT_EQ(mainWindow(s).GetActiveIEURL(), "");
    mainWindow(s).OpenInIE("http://x.example/");
    EXPECT_EQ(s.requests(), Requests{});
    EXPECT_EQ(s.runner().automation().openWindowCount(), 1u);
}

TEST(BrowserCommands, ReachOnlyTheActiveWindow) {
    Scenario s;
    s.ok(
        "start\nopen http://a.example/\nopen http://b.example/\nfront 1\n"
        "navigate 1 http://c.example/\nwait 100\n");
    s.runner().automation().clearRequests();
    s.ok(
        "click frmMain.Toolbar1:back\nwait 100\nclick frmMain.Toolbar1:forward\n"
        "click frmMain.Toolbar1:refresh\nclick frmMain.Toolbar1:stop\nclick frmMain.Toolbar1:home\n"
        "click frmMain.Toolbar1:web\n");
    EXPECT_EQ(s.requests(),
              (Requests{"#1 back", "#1 forward", "#1 refresh", "#1 stop", "#1 home"}));
    EXPECT_EQ(s.fact("form", "frmWeb").get("visible"), "1");
}

TEST(BrowserCommands, FullTwiceReturnsTheWindowWithItsToolbarShown) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nfront 1\nwait 100\nclick frmMain.Toolbar1:full\n");
    EXPECT_EQ(s.requests(), (Requests{"#1 fullscreen -1", "#1 toolbar 0"}));
    s.ok("click frmMain.Toolbar1:full\n");
    auto window = s.fact("browser", "#1");
    EXPECT_EQ(window.get("fullscreen"), "0");
    EXPECT_EQ(window.get("toolbar"), "1");
    EXPECT_EQ(s.requests().back(), "#1 toolbar -1");
}

TEST(BrowserCommands, AFailingCommandIsSkippedSilently) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nfront 1\nnavigate 1 http://b.example/\nwait 100\n");
    s.runner().automation().window(1)->setHistory({}, {});
    s.runner().automation().clearRequests();
    s.ok("click frmMain.Toolbar1:back\nclose 1\nclick frmMain.Toolbar1:refresh\n");
    EXPECT_EQ(s.requests(), Requests{});
    EXPECT_EQ(s.read("log.txt"), "");
}

TEST(ActiveIEURL, DropsThePlainSchemeAndOneFinalSlash) {
    Scenario s;
    s.ok("start\nfolder /home/u/docs/\nopen http://a.example/\nfront 2\nwait 100\n");
    const std::pair<const char*, const char*> cases[] = {
        {"HTTP://Host.example/path/", "Host.example/path"},
        {"http://host.example/path", "host.example/path"},
        {"https://host.example/", "https://host.example"},
        {"http://host.example/a//", "host.example/a/"},
    };
    for (const auto& [address, expected] : cases) {
        s.ok(std::string("navigate 2 ") + address + "\n");
        EXPECT_EQ(mainWindow(s).GetActiveIEURL(), expected) << address;
    }
    s.ok("front 1\nwait 100\n");
    EXPECT_EQ(mainWindow(s).GetActiveIEURL(), "file:///home/u/docs");
}

TEST(ActiveIEURL, AnUnreadableWindowIsLoggedAndGivesNothing) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nfront 1\nwait 100\n");
    s.runner().automation().window(1)->setHandleFails(true);
    EXPECT_EQ(mainWindow(s).GetActiveIEURL(), "");
    EXPECT_EQ(s.read("log.txt"),
              "Start GetActiveIEURL\r\nGetActiveIEURL error -2147467259Unspecified error\r\n");
}

TEST(OpenInIE, NavigatesTheActiveWindowAndAFailureBecomesOneLogLine) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nopen http://b.example/\nfront 2\nwait 100\n");
    s.runner().automation().clearRequests();
    mainWindow(s).OpenInIE("http://x.example/q");
    EXPECT_EQ(s.requests(), Requests{"#2 navigate http://x.example/q"});
    s.runner().automation().window(2)->setHandleFails(true);
    s.runner().program()->app.forms.dispatch([&] { mainWindow(s).OpenInIE("http://y.example/"); });
    EXPECT_EQ(occurrences(s.read("log.txt"), "\r\n"), 1);
    EXPECT_EQ(s.requests().size(), 1u);
}

TEST(Closing, TheMainWindowWritesItsPositionAndEndsTheRun) {
    Scenario s;
    s.ok("start\n");
    mainWindow(s).move(201, 4500);
    EXPECT_EQ(s.run("click frmMain.Image5\ndump\n"), 0);
    EXPECT_TRUE(s.runner().programEnded());
    EXPECT_EQ(s.out(), "") << "nothing runs after the program ended";
    EXPECT_EQ(ReadIni("MainWindow", "Top", "", s.path("conf.ini")), "4500");
    EXPECT_EQ(ReadIni("MainWindow", "Left", "", s.path("conf.ini")), "201");
}
