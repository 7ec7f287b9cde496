#include <sstream>
#include <string>
#include <vector>

#include "ScenarioHarness.h"
#include "shell/Main.h"
#include "shell/Settings.h"

using surfdeck::ReadIni;
using surfdeck::testing::Scenario;

namespace {

// key=value from a dump line; a quoted value may hold blanks.
std::string valueOf(const std::string& line, const std::string& key) {
    auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return "<absent>";
    at += key.size() + 2;
    if (at >= line.size() || line[at] != '"') return line.substr(at, line.find(' ', at) - at);
    std::string value;
    for (++at; at < line.size() && line[at] != '"'; ++at) {
        if (line[at] == '\\') ++at;
        value += line[at];
    }
    return value;
}

// The entries of the last pop-up menu, as "caption checked tag".
std::vector<std::string> menuEntries(Scenario& s) {
    s.dump();
    std::vector<std::string> entries;
    std::istringstream in(s.lastDump());
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("menuentry ", 0) != 0 || valueOf(line, "caption") == "-") continue;
        entries.push_back(valueOf(line, "caption") + " " + valueOf(line, "checked") + " " +
                          valueOf(line, "tag"));
    }
    return entries;
}

std::string ini(Scenario& s, const std::string& section, const std::string& key) {
    return ReadIni(section, key, "<absent>", s.path("conf.ini"));
}

std::string handle(Scenario& s, int window) {
    return std::to_string(s.runner().automation().window(window)->handle());
}

}  // namespace

TEST(ToolsMenu, ShowsTheStoredOptionsAndEachChoiceIsWrittenAtOnce) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:options\n");
    EXPECT_EQ(menuEntries(s),
              (std::vector<std::string>{"Always on top 1 ", "Roll Up main window 1 ", "Vertical 0 ",
                                        "Horizontal 1 ", "Exit 0 "}));
    EXPECT_FALSE(s.runner().program()->menu.loaded()) << "the host goes after each pop-up";

    s.ok(
        "choose \"Always on top\"\nclick frmMain.Toolbar1:options\n"
        "choose \"Roll Up main window\"\nclick frmMain.Toolbar1:options\n"
        "click frmMain.Toolbar1:options\n");
    EXPECT_EQ(ini(s, "General", "AlwaysOnTop"), "0");
    EXPECT_EQ(ini(s, "MainWindow", "RollUp"), "0");
    EXPECT_EQ(s.fact("form", "frmMain").get("topmost"), "0");
    EXPECT_EQ(menuEntries(s)[0], "Always on top 0 ");
    EXPECT_EQ(menuEntries(s)[1], "Roll Up main window 0 ");
}

TEST(ToolsMenu, VerticalIsWiderThanAtStartAndHorizontalRestoresTheStartWidth) {
    Scenario s;
    s.write("conf.ini", "[MainWindow]\nView=v\nRollUp=0\n");
    s.ok("start\n");
    const double startVertical = std::stod(s.fact("form", "frmMain").get("width"));
    s.ok("choose Vertical\nclick frmMain.Toolbar1:options\n");
    EXPECT_EQ(std::stod(s.fact("form", "frmMain").get("width")), startVertical + 50);
    EXPECT_EQ(ini(s, "MainWindow", "view"), "v");
    s.ok("choose Horizontal\nclick frmMain.Toolbar1:options\n");
    EXPECT_EQ(s.fact("form", "frmMain").get("width"), "2474") << "as a horizontal start gives";
    EXPECT_EQ(ini(s, "MainWindow", "view"), "h");
}

TEST(ToolsMenu, ExitEndsTheProgramAsTheCloseButtonDoes) {
    Scenario s;
    s.ok("start\nopen http://a.example/\nfront 1\nwait 100\n");
    EXPECT_EQ(s.run("choose Exit\nclick frmMain.Toolbar1:options\nclick frmMain.Toolbar1:back\n"),
              0);
    EXPECT_TRUE(s.runner().programEnded());
    EXPECT_EQ(ini(s, "MainWindow", "Top"), "100");
    EXPECT_EQ(s.requests(), std::vector<std::string>{});
}

TEST(WindowMenu, ListsTheWindowsInListOrderAndBringsTheChosenOneToTheFront) {
    Scenario s;
    s.ok(
        "start\nopen http://a.example/\nfolder /srv/files\nfront 1\nwait 100\n"
        "choose file:///srv/files\nclick frmMain.Toolbar1:window\n");
    EXPECT_EQ(menuEntries(s), (std::vector<std::string>{"http://a.example/ 0 " + handle(s, 1),
                                                        "file:///srv/files 0 " + handle(s, 2)}));
    EXPECT_EQ(s.requests(), std::vector<std::string>{"#2 front"});
    s.ok("wait 100\n");
    EXPECT_EQ(s.fact("active", "#2").kind, "active");

    // Each pop-up starts afresh: one window left, one entry.
    s.ok("close 1\nclick frmMain.Toolbar1:window\n");
    EXPECT_EQ(menuEntries(s), std::vector<std::string>{"file:///srv/files 0 " + handle(s, 2)});
}

TEST(WindowMenu, WithNoWindowOpenShowsOnlyItsPlaceholderWhichDoesNothing) {
    Scenario s;
    s.ok("start\nchoose \"No Internet Explorer`s window\"\nclick frmMain.Toolbar1:window\n");
    EXPECT_EQ(menuEntries(s), std::vector<std::string>{"No Internet Explorer`s window 0 "});
    EXPECT_EQ(s.requests(), std::vector<std::string>{});
    EXPECT_EQ(s.fact("active", "none").kind, "active");
}
