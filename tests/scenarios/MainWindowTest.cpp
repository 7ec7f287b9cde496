#include <string>
#include <vector>

#include "ScenarioHarness.h"
#include "app/Main.h"
#include "mainwindow/frmMain.h"
#include "settings/Settings.h"

using surfdeck::frmMain;
using surfdeck::testing::Scenario;
using Lines = std::vector<std::string>;

namespace {

int occurrences(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Whether a dump now holds this exact line.
bool shows(Scenario& s, const std::string& line) {
    s.dump();
    return occurrences(s.lastDump(), line + "\n") > 0;
}

std::string ini(Scenario& s, const std::string& section, const std::string& key) {
    return surfdeck::ReadIni(section, key, "<absent>", s.path("conf.ini"));
}

frmMain& mainWindow(Scenario& s) {
    return *s.runner().program()->main.get();
}

const std::string kBack = "button frmMain.Toolbar1:back enabled=";

}  // namespace

TEST(ActiveWindow, FollowsTheBrowserWindowInFrontAndItsHistory) {
    Scenario s;
    s.ok(
        "start\nopen http://a.example/\nopen http://b.example/\nfront 2\nwait 100\n"
        "front frmMain\nwait 300\n");
    EXPECT_TRUE(shows(s, "active #2")) << "our own window does not count";
    s.ok("front 1\nnavigate 1 http://c.example/\nwait 100\n");
    EXPECT_TRUE(shows(s, "active #1"));
    EXPECT_TRUE(shows(s, kBack + "1"));
    EXPECT_TRUE(shows(s, "button frmMain.Toolbar1:forward enabled=0"));
    // A new window rebuilds the list: no history shows until the browser reports it.
    s.ok("open http://d.example/\nwait 100\n");
    EXPECT_TRUE(shows(s, kBack + "0"));
}

TEST(ActiveWindow, AWindowClosingDuringATickWritesOneLogLine) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nopen http://b.example/\nfront 2\nwait 100\n");
    // Asked for #1's handle, the shell closes #2: the tick's own walk still holds it.
    s.runner().automation().closeDuringNextHandle(2);
    s.ok("wait 500\n");
    EXPECT_EQ(s.read("log.txt"), "Error in timer1.sub\r\n");
}

TEST(ActiveWindow, AWindowClosingWhileTheListAttachesItDoesNotStayListed) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nopen http://b.example/\nfront 2\nwait 100\n");
    // The next rebuild attaches #1 first; #1 closes inside that attach, and its revoked
    // event rebuilds the list nested in the first rebuild, as a browser closing normally
    // does to its tabs.
    auto& shell = s.runner().automation();
    shell.duringNextItem([&shell] { shell.closeDuringNextHandle(1); });
    // With our own window in front, every tick walks the whole list.
    s.ok("open http://c.example/\nfront frmMain\nwait 1000\n");
    EXPECT_EQ(occurrences(s.read("log.txt"), "Error in timer1.sub"), 0);
    EXPECT_EQ(s.runner().program()->browser.IEWin->Count(), 2);
}

TEST(BrowserCommands, DoNothingWithoutAnActiveWindow) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nwait 100\n");
    for (const char* key : {"back", "forward", "refresh", "stop", "home", "full"}) {
        s.ok(std::string("click frmMain.Toolbar1:") + key + "\n");
    }
    mainWindow(s).OpenInIE("http://x.example/");
    EXPECT_EQ(mainWindow(s).GetActiveIEURL(), "");
    EXPECT_EQ(s.requests(), Lines{});
    EXPECT_EQ(s.read("log.txt"), "Start GetActiveIEURL\r\n");
}

TEST(BrowserCommands, CommandsAndOpenInIEReachOnlyTheActiveWindowAndFailuresAreSilent) {
    Scenario s;
    s.ok(
        "start\nopen http://a.example/\nopen http://b.example/\nfront 1\n"
        "navigate 1 http://c.example/\nwait 100\n");
    s.runner().automation().clearRequests();
    s.ok(
        "click frmMain.Toolbar1:back\nwait 100\nclick frmMain.Toolbar1:forward\n"
        "click frmMain.Toolbar1:refresh\nclick frmMain.Toolbar1:stop\nclick frmMain.Toolbar1:home\n"
        "click frmMain.Toolbar1:full\nclick frmMain.Toolbar1:full\nclick frmMain.Toolbar1:web\n");
    mainWindow(s).OpenInIE("http://x.example/q");
    EXPECT_EQ(s.requests(), (Lines{"#1 back", "#1 forward", "#1 refresh", "#1 stop", "#1 home",
                                   "#1 fullscreen -1", "#1 toolbar 0", "#1 fullscreen 0",
                                   "#1 toolbar -1", "#1 navigate http://x.example/q"}));
    EXPECT_EQ(s.fact("browser", "#1").get("toolbar"), "1");
    EXPECT_EQ(s.fact("form", "frmWeb").get("visible"), "1");

    s.runner().automation().window(1)->setHistory({}, {});
    s.ok("click frmMain.Toolbar1:back\nclose 1\nclick frmMain.Toolbar1:refresh\n");
    EXPECT_EQ(s.requests().size(), 10u);
    EXPECT_EQ(s.read("log.txt"), "");
}

TEST(ActiveIEURL, DropsThePlainSchemeAndOneFinalSlashAndLogsAFailure) {
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
    s.runner().automation().window(1)->setHandleFails(true);
    EXPECT_EQ(mainWindow(s).GetActiveIEURL(), "");
    EXPECT_EQ(
        occurrences(s.read("log.txt"), "GetActiveIEURL error -2147467259Unspecified error\r\n"), 1);
}

TEST(ToolsMenu, ShowsTheStoredOptionsAndWritesEachChoiceAtOnce) {
    Scenario s;
    s.ok(
        "start\nchoose \"Always on top\"\nclick frmMain.Toolbar1:options\n"
        "choose \"Roll Up main window\"\nclick frmMain.Toolbar1:options\n"
        "click frmMain.Toolbar1:options\n");
    EXPECT_EQ(ini(s, "General", "AlwaysOnTop"), "0");
    EXPECT_EQ(ini(s, "MainWindow", "RollUp"), "0");
    EXPECT_EQ(s.fact("form", "frmMain").get("topmost"), "0");
    EXPECT_TRUE(shows(s, "menuentry mnuTop caption=\"Always on top\" checked=0 tag=\"\""));
    EXPECT_TRUE(shows(s, "menuentry mnuHor caption=Horizontal checked=1 tag=\"\""));
    EXPECT_FALSE(s.runner().program()->menu.loaded()) << "the host goes after each pop-up";
}

TEST(ToolsMenu, VerticalIsWiderThanAtStartAndHorizontalRestoresTheStartWidth) {
    Scenario s;
    s.write("conf.ini", "[MainWindow]\nView=v\nRollUp=0\n");
    s.ok("start\n");
    const double startVertical = std::stod(s.fact("form", "frmMain").get("width"));
    s.ok("choose Vertical\nclick frmMain.Toolbar1:options\n");
    EXPECT_EQ(std::stod(s.fact("form", "frmMain").get("width")), startVertical + 50);
    s.ok("choose Horizontal\nclick frmMain.Toolbar1:options\n");
    EXPECT_EQ(s.fact("form", "frmMain").get("width"), "2474") << "as a horizontal start gives";
    EXPECT_EQ(ini(s, "MainWindow", "view"), "h");
}

TEST(WindowMenu, ListsTheWindowsInListOrderAndBringsTheChosenOneToTheFront) {
    Scenario s;
    s.ok("start\nchoose \"No Internet Explorer`s window\"\nclick frmMain.Toolbar1:window\n");
    EXPECT_TRUE(shows(s,
                      "menuentry mnuWin(0) caption=\"No Internet Explorer`s window\" checked=0 "
                      "tag=\"\""));
    s.ok(
        "open http://a.example/\nfolder /srv/files\nchoose file:///srv/files\n"
        "click frmMain.Toolbar1:window\nwait 100\n");
    auto tag = [&](int n) { return std::to_string(s.runner().automation().window(n)->handle()); };
    EXPECT_TRUE(shows(s, "menuentry mnuWin(0) caption=http://a.example/ checked=0 tag=" + tag(1)));
    EXPECT_TRUE(shows(s, "menuentry mnuWin(1) caption=file:///srv/files checked=0 tag=" + tag(2)));
    EXPECT_EQ(s.requests(), Lines{"#2 front"});
    EXPECT_TRUE(shows(s, "active #2"));
}

TEST(WindowMenu, LongAddressesAreCutInTheMiddleToEightyCharactersAndKeepTheirHandle) {
    Scenario s;
    const std::string head = "http://a.example/" + std::string(23, 'h');  // 40 characters
    const std::string tail = std::string(34, 't') + "\xC3\xA9.htm";       // 39 characters
    // Each case: the address, its caption.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + std::string(80 - 40, 'x'), head + std::string(40, 'x')},  // 80: as it is
        {head + "xx" + tail, head + "\xE2\x80\xA6" + tail},               // 81: cut
        {head + std::string(3000, 'm') + tail, head + "\xE2\x80\xA6" + tail},
        // A character of several bytes is never split, and bad bytes do not stop it.
        {head + "\xC3\xA9\xFF\xFF" + std::string(100, '\x80') + tail, head + "\xE2\x80\xA6" + tail},
    };
    std::string script = "start\n";
    for (const auto& [address, caption] : cases) script += "open " + address + "\n";
    s.ok(script + "click frmMain.Toolbar1:window\n");
    s.dump();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto entry = s.fact("menuentry", "mnuWin(" + std::to_string(i) + ")");
        EXPECT_EQ(entry.get("caption"), cases[i].second) << i;
        const auto window = s.runner().automation().window(static_cast<int>(i) + 1);
        EXPECT_EQ(entry.get("tag"), std::to_string(window->handle()));
    }
}

TEST(Closing, TheMainWindowOrExitWritesItsPositionAndEndsTheRun) {
    for (const char* close :
         {"click frmMain.Image5\n", "choose Exit\nclick frmMain.Toolbar1:options\n"}) {
        Scenario s;
        s.ok("start\n");
        mainWindow(s).move(201, 4500);
        EXPECT_EQ(s.run(std::string(close) + "dump\n"), 0);
        EXPECT_TRUE(s.runner().programEnded());
        EXPECT_EQ(s.out(), "") << "nothing runs after the program ended";
        EXPECT_EQ(ini(s, "MainWindow", "Top") + " " + ini(s, "MainWindow", "Left"), "4500 201");
    }
}
