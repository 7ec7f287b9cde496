#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ScenarioHarness.h"
#include "related/frmBrowser.h"
#include "shell/Main.h"

using surfdeck::EmbeddedRole;
using surfdeck::testing::Scenario;

namespace {

// The dump read line by line, with quoted values (blanks, escapes) read whole.
std::vector<std::string> dumpLines(Scenario& s) {
    std::ostringstream out;
    s.runner().dump(out);
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string valueOf(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) return "<absent>";
    std::size_t i = at + key.size() + 2;
    if (i >= line.size() || line[i] != '"') return line.substr(i, line.find(' ', i) - i);
    std::string v;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            const char c = line[++i];
            v += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            v += line[i];
        }
    }
    return v;
}

std::string fact(Scenario& s, const std::string& kindAndName, const std::string& key) {
    for (const auto& line : dumpLines(s))
        if (line.rfind(kindAndName + " ", 0) == 0) return valueOf(line, key);
    return "<absent>";
}

std::string markup(Scenario& s) {
    return fact(s, "results frmBrowser.WebBrowser2", "markup");
}

std::vector<std::string> navigations(Scenario& s) {
    std::vector<std::string> out;
    for (const auto& line : dumpLines(s)) {
        const std::string prefix = "request #1 navigate ";
        if (line.rfind(prefix, 0) == 0)
            out.push_back(valueOf(" a=" + line.substr(prefix.size()), "a"));
    }
    return out;
}

std::vector<std::string> logLines(Scenario& s) {
    std::vector<std::string> lines;
    std::istringstream in(s.read("log.txt"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

long countLines(Scenario& s, const std::string& prefix) {
    const auto lines = logLines(s);
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

std::string ini(Scenario& s) {
    std::string text = s.read("conf.ini");
    std::erase(text, '\r');
    return text;
}

// The address the query browser was last sent to.
std::string lastQuery(Scenario& s) {
    auto query = s.runner().automation().embedded(EmbeddedRole::Query);
    return query && !query->navigations().empty() ? query->navigations().back() : "<none>";
}

// The active window shows a page of www.example.org; the panel's lookup reads g1.htm.
constexpr const char* kDebugLookup =
    "start\nopen http://www.example.org/index.html\nfront 1\nwait 200\n"
    "click frmMain.Toolbar1:related\ntick frmBrowser.Check1 1\nclick frmBrowser.Toolbar1:update\n"
    "wait 50\n";

}  // namespace

TEST(RelatedLookup, DebugModeBuildsThePageFromTheSavedAnswer) {
    Scenario s;
    s.ok(kDebugLookup);
    const std::string page = markup(s);
    EXPECT_EQ(lastQuery(s), "file://" + s.path("g1.htm"));
    EXPECT_EQ(
        page.rfind("<FONT FACE=\"Verdana\" SIZE=1 padding-left=100pt>Sites related to:<br>file://" +
                       s.path("g1.htm") + "<br><HR NOSHADE SIZE=1>\r\n",
                   0),
        0u)
        << page;
    EXPECT_NE(page.find("<A HREF=\"http://www.example.com/\" Title=\"Example Domain Services\">"
                        "www.example.com</A><BR>\r\n"),
              std::string::npos);
    // The answer names one category twice; the list shows it once.
    const std::string protocols = ">Computers &gt; Internet &gt; Protocols</A>";
    ASSERT_NE(page.find(protocols), std::string::npos);
    EXPECT_EQ(page.find(protocols), page.rfind(protocols));
    EXPECT_EQ(fact(s, "status frmBrowser.lblStatus", "text"), "Related list complete");
    // The panel's own loads never reach the browser window.
    EXPECT_TRUE(navigations(s).empty());
}

TEST(RelatedLookup, LogsEachStepInOrder) {
    Scenario s;
    s.ok(
        "page http://www.google.com/search?as_rq=www.example.org g1.htm\n"
        "start\nopen http://www.example.org/index.html\nfront 1\nwait 200\n"
        "click frmMain.Toolbar1:related\nwait 50\n");
    const std::vector<std::string> expected = {
        "Start at 12/6/2026 9:30:00 AM",
        "Form Load",
        "Prepare Search url",
        "Start GetActiveIEURL",
        "GetActiveIEURL=www.example.org",
        "Url ready http://www.google.com/search?as_rq=www.example.org",
        "Start webbrowser1 navigate http://www.google.com/search?as_rq=www.example.org",
        "webbrowser1 document complete",
        "html results ready, load in webbrowser",
        "html results load complete"};
    std::vector<std::string> lines = logLines(s);
    // The main window's polling may log between the panel's lines; only ours count here.
    std::erase_if(lines, [&](const std::string& l) {
        return std::find(expected.begin(), expected.end(), l) == expected.end();
    });
    EXPECT_EQ(lines, expected);
    EXPECT_NE(markup(s).find("Sites related to:<br>www.example.org<br>"), std::string::npos);
}

TEST(RelatedLookup, AsksForTheHostOfTheActiveAddress) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.example.org/a/b/", "www.example.org"},
        {"https://secure.example.net/a/b", "secure.example.net"},
        {"ftp://FTP.example.net/pub/", "FTP.example.net"},
        // Left with no "//" once "http://" is gone: taken as it stands.
        {"http://ftp.example.com/dir/", "ftp.example.com"},
        {"http://httpd.example.com", "httpd.example.com"},
    };
    for (const auto& [address, site] : cases) {
        Scenario s;
        s.ok(std::string("start\nopen ") + address +
             "\nfront 1\nwait 200\nclick frmMain.Toolbar1:related\n");
        EXPECT_EQ(lastQuery(s), std::string("http://www.google.com/search?as_rq=") + site)
            << address;
    }
}

TEST(RelatedLookup, WithNoBrowserWindowInFrontTheSiteIsEmpty) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:related\n");
    EXPECT_EQ(lastQuery(s), "http://www.google.com/search?as_rq=");
    EXPECT_EQ(countLines(s, "GetActiveIEURL="), 1);
}

TEST(RelatedLookup, AFailingLookupWritesOneLineAndTheButtonStaysSilent) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:related\n");
    auto* panel = s.runner().program()->related.get();
    ASSERT_NE(panel, nullptr);
    // As when the platform could not give the panel its query browser.
    panel->WebBrowser1.setBrowser(nullptr);
    panel->UpdateRelated();
    EXPECT_EQ(countLines(s, "UpdateRelated error "), 1);
    s.ok("click frmBrowser.Toolbar1:update\n");
    EXPECT_EQ(countLines(s, "UpdateRelated error "), 1);
    EXPECT_EQ(countLines(s, "Prepare Search url"), 3);
    EXPECT_FALSE(s.runner().programEnded());
}

TEST(RelatedLookup, AnAnswerThatCannotBeShownWritesOneLine) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:related\ntick frmBrowser.Check1 1\n");
    // As when the platform could not give the panel its results browser.
    s.runner().program()->related.get()->WebBrowser2.setBrowser(nullptr);
    s.ok("click frmBrowser.Toolbar1:update\nwait 50\n");
    EXPECT_EQ(countLines(s, "Related list error "), 1);
    EXPECT_EQ(countLines(s, "html results load complete"), 1) << "only the first lookup's";
    EXPECT_EQ(s.runner().program()->related.get()->WebBrowser2.tag(), "");
}

TEST(RelatedInteraction, AClickedLinkOpensInTheActiveWindowAndTheListStays) {
    Scenario s;
    s.ok(kDebugLookup);
    const std::string page = markup(s);
    s.ok("click frmBrowser.WebBrowser2:http://www.iana.example/domains/\n");
    EXPECT_EQ(navigations(s), std::vector<std::string>{"http://www.iana.example/domains/"});
    EXPECT_EQ(markup(s), page);
}

TEST(RelatedInteraction, WithNoActiveWindowAClickOpensNothing) {
    Scenario s;
    s.ok(
        "start\nclick frmMain.Toolbar1:related\ntick frmBrowser.Check1 1\n"
        "click frmBrowser.Toolbar1:update\nwait 50\n");
    const std::string page = markup(s);
    ASSERT_NE(page.find("www.example.com"), std::string::npos);
    s.ok("click frmBrowser.WebBrowser2:http://www.example.com/\n");
    EXPECT_TRUE(navigations(s).empty());
    EXPECT_EQ(markup(s), page);
}

TEST(RelatedInteraction, AFailingNavigationIsLoggedOnce) {
    Scenario s;
    s.ok(kDebugLookup);
    s.runner().automation().window(1)->setHandleFails(true);
    s.ok("click frmBrowser.WebBrowser2:http://www.example.com/\n");
    EXPECT_EQ(countLines(s, "OpenInIE error "), 1);
    EXPECT_TRUE(navigations(s).empty());
    EXPECT_NE(markup(s).find("www.example.com"), std::string::npos);
}

TEST(RelatedInteraction, HoveringALinkShowsItsAddressInTheStatusLine) {
    Scenario s;
    s.ok(kDebugLookup);
    s.ok("hover frmBrowser.WebBrowser2:http://www.example.com/\n");
    EXPECT_EQ(fact(s, "status frmBrowser.lblStatus", "text"), "http://www.example.com/");
}

TEST(RelatedInteraction, TheListPageKeepsTheBrowsersContextMenu) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:related\n");
    auto doc = s.runner().automation().embedded(EmbeddedRole::Results)->document();
    EXPECT_EQ(doc->receiverCount(), 1u);
    EXPECT_TRUE(doc->raiseContextMenu());
}

TEST(RelatedPanelPlace, StoredPlaceAndSizeAreReadAtLoad) {
    Scenario s;
    s.write("conf.ini", "[RelatedSearchWindow]\ntop=1500\nleft=2500\nwidth=5000px\nheight=7000\n");
    s.ok("start\nclick frmMain.Toolbar1:related\n");
    EXPECT_EQ(fact(s, "form frmBrowser", "top"), "1500");
    EXPECT_EQ(fact(s, "form frmBrowser", "left"), "2500");
    EXPECT_EQ(fact(s, "form frmBrowser", "width"), "5000");
    EXPECT_EQ(fact(s, "form frmBrowser", "height"), "7000");
    EXPECT_EQ(fact(s, "form frmBrowser", "topmost"), "1");
}

TEST(RelatedPanelPlace, ACollapsedPanelKeepsTheStoredHeight) {
    Scenario s;
    s.write("conf.ini", "[RelatedSearchWindow]\nheight=7000\n");
    s.ok(
        "start\nclick frmMain.Toolbar1:related\nclick frmBrowser.Image4\nclick "
        "frmBrowser.Image5\n");
    EXPECT_NE(ini(s).find("[RelatedSearchWindow]\nheight=7000\nTop=100\nLeft=100\nWidth=4000\n"),
              std::string::npos)
        << ini(s);
    s.ok("click frmMain.Toolbar1:related\n");
    EXPECT_EQ(fact(s, "form frmBrowser", "height"), "7000");
}
