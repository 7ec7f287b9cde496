#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ScenarioHarness.h"
#include "app/Main.h"
#include "related/frmBrowser.h"

using surfdeck::EmbeddedRole;
using surfdeck::testing::Scenario;

namespace {

// A browser window in front and tracked as the active one.
constexpr const char* kActiveWindow = "start\nopen http://www.example.org/\nfront 1\nwait 200\n";
// The same, then a related lookup in debug mode (it reads g1.htm).
constexpr const char* kDebugLookup =
    "start\nopen http://www.example.org/index.html\nfront 1\nwait 200\n"
    "click frmMain.Toolbar1:related\ntick frmBrowser.Check1 1\nclick frmBrowser.Toolbar1:update\n"
    "wait 50\n";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::string fact(Scenario& s, const std::string& kindAndName, const std::string& key) {
    const auto space = kindAndName.find(' ');
    return s.fact(kindAndName.substr(0, space), kindAndName.substr(space + 1)).get(key);
}

std::string markup(Scenario& s) {
    return fact(s, "results frmBrowser.WebBrowser2", "markup");
}

// Every address browser window #1 was sent to by the program, in order.
std::vector<std::string> navigations(Scenario& s) {
    std::vector<std::string> out;
    for (const auto& d : s.dump()) {
        if (d.kind == "request" && d.name == "#1" && d.words.size() == 3 &&
            d.words[1] == "navigate")
            out.push_back(d.words[2]);
    }
    return out;
}

std::string lastNavigation(Scenario& s) {
    const auto all = navigations(s);
    return all.empty() ? "<none>" : all.back();
}

std::string ini(Scenario& s) {
    std::string text = s.read("conf.ini");
    std::erase(text, '\r');
    return text;
}

long countLog(Scenario& s, const std::string& prefix) {
    const auto all = lines(s.read("log.txt"));
    return std::count_if(all.begin(), all.end(), [&](auto& l) { return l.rfind(prefix, 0) == 0; });
}

std::string lastQuery(Scenario& s) {
    auto q = s.runner().automation().embedded(EmbeddedRole::Query);
    return q && !q->navigations().empty() ? q->navigations().back() : "<none>";
}

}  // namespace

TEST(WebSearch, BigCatOpensInTheActiveWindowAndJoinsTheRecentListAtClose) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok("click frmMain.Toolbar1:web\ntype frmWeb.Combo15 \"big cat\"\nclick frmWeb.Command3\n");
    EXPECT_EQ(lastNavigation(s),
              "http://www.google.com/search?as_q=big+cat&num=10&hl=en&ie=ISO-8859-1&oe=ISO-8859-1"
              "&btnG=Google+Search&as_epq=&as_oq=&as_eq=&lr=&as_ft=i&as_filetype=&as_qdr=all"
              "&as_occt=any&as_dt=i&as_sitesearch=&safe=off");
    // The address went the related panel's way without loading that panel.
    EXPECT_EQ(fact(s, "form frmBrowser", "visible"), "<absent>");
    // The panel stays open with its fields; nothing is saved before it closes.
    EXPECT_EQ(fact(s, "combo frmWeb.Combo15", "text"), "big cat");
    EXPECT_EQ(ini(s).find("RecentWebText"), std::string::npos);
    s.ok("click frmWeb.Image5\n");
    EXPECT_NE(ini(s).find("RecentWebText=big cat;"), std::string::npos) << ini(s);
    EXPECT_NE(ini(s).find("[WebSearchWindow]\nTop=100\nLeft=100"), std::string::npos);
}

TEST(WebSearch, EveryListChoiceReachesItsKey) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:web\ntype frmWeb.Combo15 spam\nselect frmWeb.Combo1 3\n"
        "select frmWeb.Combo5 4\nselect frmWeb.Combo2 3\nselect frmWeb.Combo3 3\n"
        "select frmWeb.Combo4 1\ntype frmWeb.Combo16 .org\nclick frmWeb.Command3\n");
    EXPECT_EQ(lastNavigation(s),
              "http://www.google.com/search?as_q=&num=100&hl=en&ie=ISO-8859-1&oe=ISO-8859-1"
              "&btnG=Google+Search&as_epq=&as_oq=&as_eq=spam&lr=&as_ft=i&as_filetype=doc"
              "&as_qdr=y&as_occt=title&as_dt=i&as_sitesearch=.org&safe=off");
}

TEST(NewsSearch, TrimmedFieldsKeepInnerSpacesAndOnlyTheWordsArePlusEncoded) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:news\ntype frmNews.Combo19 \"big cat\"\n"
        "type frmNews.Combo20 \"  rec.games.*  \"\ntype frmNews.Combo21 \"cheap flights\"\n"
        "select frmNews.Combo13 1\nselect frmNews.Combo11 2\nclick frmNews.Command5\n");
    EXPECT_EQ(lastNavigation(s),
              "http://groups.google.com/groups?as_q=big+cat&num=30&as_ugroup=rec.games.*"
              "&as_usubject=cheap flights&as_uauthors=&as_umsgid=&as_drrb=b&as_qdr=d&hl=en");
}

TEST(NewsSearch, EachBoxListsItsEntryWhenThePanelIsNextOpened) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:news\ntype frmNews.Combo19 words\ntype frmNews.Combo20 group\n"
        "type frmNews.Combo21 subject\ntype frmNews.Combo22 author\ntype frmNews.Combo23 id\n"
        "click frmNews.Command5\nclick frmNews.Image5\nclick frmMain.Toolbar1:news\n");
    const char* boxes[][2] = {{"Combo19", "words"},
                              {"Combo20", "group"},
                              {"Combo21", "subject"},
                              {"Combo22", "author"},
                              {"Combo23", "id"}};
    for (const auto& [box, entry] : boxes)
        EXPECT_EQ(fact(s, std::string("combo frmNews.") + box, "item"), entry) << box;
    EXPECT_NE(ini(s).find("RecentGroupAuthor=author;\nRecentGroupGroup=group;\nRecentGroupMessage"
                          "ID=id;\nRecentGroupSubject=subject;\nRecentGroupText=words;"),
              std::string::npos);
}

TEST(ImageSearch, RedCarAndEveryListChoiceGiveTheImagesAddress) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:image\ntype frmImage.Combo17 \"red car\"\n"
        "click frmImage.Command4\n");
    EXPECT_EQ(lastNavigation(s),
              "http://images.google.com/images?as_q=red+car&svnum=10&hl=en&imgsafe=off"
              "&btnG=Google+Search&as_epq=&as_oq=&as_eq=&imgsz=&as_filetype=&imgc="
              "&as_sitesearch=&imgsafe=off");
    s.ok(
        "select frmImage.Combo6 1\nselect frmImage.Combo7 1\nselect frmImage.Combo8 2\n"
        "select frmImage.Combo9 1\nselect frmImage.Combo14 3\ntype frmImage.Combo18 .org\n"
        "click frmImage.Command4\n");
    EXPECT_EQ(lastNavigation(s),
              "http://images.google.com/images?as_q=&svnum=50&hl=en&imgsafe=off"
              "&btnG=Google+Search&as_epq=red+car&as_oq=&as_eq=&imgsz=icon&as_filetype=gif"
              "&imgc=mono&as_sitesearch=.org&imgsafe=off");
}

TEST(SearchPanels, AReopenedPanelIsBackWhereItWasClosedAndOnTop) {
    Scenario s;
    s.ok(
        "start\nclick frmMain.Toolbar1:web\npointer 200 200\ndown frmWeb.Label1 left 300 100\n"
        "pointer 300 260\nmove frmWeb.Label1 left 1800 1000\nup frmWeb.Label1 left 1800 1000\n");
    const std::string left = fact(s, "form frmWeb", "left"), top = fact(s, "form frmWeb", "top");
    ASSERT_NE(left, "100");
    s.ok("click frmWeb.Image5\nclick frmMain.Toolbar1:web\n");
    EXPECT_EQ(fact(s, "form frmWeb", "left"), left);
    EXPECT_EQ(fact(s, "form frmWeb", "top"), top);
    EXPECT_EQ(fact(s, "form frmWeb", "topmost"), "1");
}

TEST(SearchPanels, ClosingTheMainWindowSavesEveryOpenPanel) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:web\ntype frmWeb.Combo15 fox\nclick frmWeb.Command3\n"
        "click frmMain.Toolbar1:news\ntype frmNews.Combo22 ann\nclick frmNews.Command5\n"
        "click frmMain.Toolbar1:image\nclick frmMain.Toolbar1:related\nclick frmMain.Image5\n");
    EXPECT_TRUE(s.runner().programEnded());
    for (const char* saved :
         {"RecentWebText=fox;", "RecentGroupAuthor=ann;", "[WebSearchWindow]\nTop=100\nLeft=100\n",
          "[NewsSearchWindow]\nTop=100\nLeft=100\n", "[ImageSearchWindow]\nTop=100\nLeft=100\n",
          "[RelatedSearchWindow]\nTop=100\nLeft=100\nWidth=4000\nHeight=6000\n"})
        EXPECT_NE(ini(s).find(saved), std::string::npos) << saved << ini(s);
}

TEST(SearchPanels, WithTheDisplayGoneEveryOpenWindowSavesWhatItsCloseWould) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:web\ntype frmWeb.Combo15 fox\nclick frmWeb.Command3\n"
        "click frmMain.Toolbar1:related\n");
    const std::string before = ini(s);
    auto& program = *s.runner().program();
    program.saveWithoutWindows();
    EXPECT_TRUE(program.ended());
    EXPECT_TRUE(program.web.loaded()) << "no window is closed or touched";
    for (const char* saved : {"RecentWebText=fox;", "[WebSearchWindow]\nTop=100\nLeft=100\n",
                              "[RelatedSearchWindow]\nTop=100\nLeft=100\nWidth=4000\nHeight=6000\n",
                              "[MainWindow]\nTop=100\nLeft=100\n"})
        EXPECT_NE(ini(s).find(saved), std::string::npos) << saved << ini(s);
    EXPECT_EQ(ini(s).find("NewsSearchWindow"), std::string::npos) << "never opened";
    // Once ended, nothing is saved again.
    const std::string after = ini(s);
    program.saveWithoutWindows();
    EXPECT_EQ(ini(s), after);
    EXPECT_NE(before, after);
}

TEST(RelatedLookup, DebugModeBuildsThePageFromTheSavedAnswer) {
    Scenario s;
    s.ok(kDebugLookup);
    const std::string page = markup(s);
    EXPECT_EQ(lastQuery(s), "file://" + s.path("g1.htm"));
    EXPECT_EQ(page.rfind("<FONT FACE=\"Verdana\" SIZE=1 padding-left=100pt>Sites related to:<br>"
                         "file://" +
                             s.path("g1.htm") + "<br>",
                         0),
              0u)
        << page;
    EXPECT_NE(page.find("<A HREF=\"http://www.example.com/\" Title=\"Example Domain Services\">"
                        "www.example.com</A><BR>\r\n"),
              std::string::npos);
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
    const std::string query = "http://www.google.com/search?as_rq=www.example.org";
    const std::vector<std::string> expected = {"Start at 12/6/2026 9:30:00 AM",
                                               "Form Load",
                                               "Prepare Search url",
                                               "Start GetActiveIEURL",
                                               "GetActiveIEURL=www.example.org",
                                               "Url ready " + query,
                                               "Start webbrowser1 navigate " + query,
                                               "webbrowser1 document complete",
                                               "html results ready, load in webbrowser",
                                               "html results load complete"};
    std::vector<std::string> logged = lines(s.read("log.txt"));
    // The main window's polling may log between the panel's lines; only ours count here.
    std::erase_if(logged,
                  [&](auto& l) { return std::ranges::find(expected, l) == expected.end(); });
    EXPECT_EQ(logged, expected);
    EXPECT_NE(markup(s).find("Sites related to:<br>www.example.org<br>"), std::string::npos);
}

TEST(RelatedLookup, AsksForTheHostOfTheActiveAddress) {
    const char* cases[][2] = {
        {"http://www.example.org/a/b/", "www.example.org"},
        {"https://secure.example.net/a/b", "secure.example.net"},
        {"ftp://FTP.example.net/pub/", "FTP.example.net"},
        // Left with no "//" once "http://" is gone: taken as it stands.
        {"http://ftp.example.com/dir/", "ftp.example.com"},
        {"http://httpd.example.com", "httpd.example.com"},
    };
    for (const auto& [address, site] : cases) {
        Scenario s;
        s.ok(std::string("start\nopen ") + address + "\nfront 1\nwait 200\n" +
             "click frmMain.Toolbar1:related\n");
        EXPECT_EQ(lastQuery(s), std::string("http://www.google.com/search?as_rq=") + site);
    }
}

TEST(RelatedLookup, AFailingLookupWritesOneLineAndTheButtonStaysSilent) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:related\n");
    // As when the platform could not give the panel its query browser.
    s.runner().program()->related.get()->WebBrowser1.setBrowser(nullptr);
    s.ok("click frmMain.Toolbar1:related\nclick frmBrowser.Toolbar1:update\n");
    EXPECT_EQ(countLog(s, "Prepare Search url"), 3);
    EXPECT_EQ(countLog(s, "UpdateRelated error "), 1);
    EXPECT_EQ(fact(s, "status frmBrowser.lblStatus", "text"), "Related list error");
}

TEST(RelatedLookup, AnAnswerThatCannotBeShownWritesOneLineAndLeavesNoOpening) {
    Scenario s;
    s.ok("start\nclick frmMain.Toolbar1:related\ntick frmBrowser.Check1 1\n");
    auto& panel = *s.runner().program()->related.get();
    panel.WebBrowser2.setBrowser(nullptr);
    s.ok("click frmBrowser.Toolbar1:update\nwait 50\n");
    EXPECT_EQ(countLog(s, "Related list error "), 1);
    EXPECT_EQ(fact(s, "status frmBrowser.lblStatus", "text"), "Related list error");
    // Links in the list must keep opening in the browser window, not in the panel.
    EXPECT_EQ(panel.WebBrowser2.tag(), "");
}

TEST(RelatedInteraction, AClickedLinkOpensInTheActiveWindowAndTheListStays) {
    Scenario s;
    s.ok(kDebugLookup);
    const std::string page = markup(s);
    s.ok("click frmBrowser.WebBrowser2:http://www.iana.example/domains/\n");
    EXPECT_EQ(navigations(s), std::vector<std::string>{"http://www.iana.example/domains/"});
    EXPECT_EQ(markup(s), page);
}

TEST(RelatedInteraction, OnlyWebAddressesAreOpenedOnThePagesBehalf) {
    Scenario s;
    s.ok(kDebugLookup);
    for (const char* address : {"file:///etc/passwd", "chrome://settings/", "javascript:alert(1)",
                                "FILE://host/share", "about:blank"})
        s.ok(std::string("click frmBrowser.WebBrowser2:") + address + "\n");
    s.ok("click frmBrowser.WebBrowser2:HTTPS://www.example.com/\n");
    EXPECT_EQ(navigations(s), std::vector<std::string>{"HTTPS://www.example.com/"});
    EXPECT_EQ(countLog(s, "Link left out "), 5);
    EXPECT_EQ(countLog(s, "Link left out file:///etc/passwd"), 1);
}

TEST(RelatedLookup, LocalLinksInTheAnswerAreLeftOutAndRelativeOnesResolved) {
    Scenario s;
    s.write("answer.htm",
            "<html><body><p><a href=/first>first</a>"
            "<p><a href=file:///etc/passwd>local</a><p><a href=chrome://settings/>settings</a>"
            "<p><a href=//other.example/>other</a><p><a href=/related?x=1>relative</a>"
            "</body></html>");
    s.ok(
        "page http://www.google.com/search?as_rq=www.example.org answer.htm\n"
        "start\nopen http://www.example.org/index.html\nfront 1\nwait 200\n"
        "click frmMain.Toolbar1:related\nwait 50\n");
    const std::string page = markup(s);
    EXPECT_EQ(page.find("file:"), std::string::npos) << page;
    EXPECT_EQ(page.find("chrome:"), std::string::npos) << page;
    EXPECT_NE(page.find("<A HREF=\"http://other.example/\""), std::string::npos) << page;
    EXPECT_NE(page.find("<A HREF=\"http://www.google.com/related?x=1\""), std::string::npos);
    EXPECT_EQ(countLog(s, "Link left out file:///etc/passwd"), 1);
    EXPECT_EQ(countLog(s, "Link left out chrome://settings/"), 1);
}

TEST(RelatedLookup, AHugeAnswerIsCutWithOneLine) {
    Scenario s;
    std::string answer = "<html><body><p><a href=http://first.example/>first</a>";
    while (answer.size() < 3 * 1024 * 1024) answer += "<p><a href=http://site.example/>Site</a>\n";
    s.write("answer.htm", answer + "</body></html>");
    s.ok(
        "page http://www.google.com/search?as_rq=www.example.org answer.htm\n"
        "start\nopen http://www.example.org/index.html\nfront 1\nwait 200\n"
        "click frmMain.Toolbar1:related\nwait 50\n");
    EXPECT_EQ(countLog(s, "Answer cut to "), 1);
    EXPECT_EQ(countLog(s, "Related list cut to "), 1);
    EXPECT_LE(markup(s).size(), 1024u * 1024u);
    EXPECT_EQ(countLog(s, "html results load complete"), 1);
}

TEST(RelatedInteraction, AFailingNavigationIsLoggedOnce) {
    Scenario s;
    s.ok(kDebugLookup);
    s.runner().automation().window(1)->setHandleFails(true);
    s.ok("click frmBrowser.WebBrowser2:http://www.example.com/\n");
    EXPECT_EQ(countLog(s, "OpenInIE error "), 1);
    EXPECT_TRUE(navigations(s).empty());
}

TEST(RelatedInteraction, HoverShowsTheAddressAndTheBrowsersContextMenuStays) {
    Scenario s;
    s.ok(kDebugLookup);
    s.ok("hover frmBrowser.WebBrowser2:http://www.example.com/\n");
    EXPECT_EQ(fact(s, "status frmBrowser.lblStatus", "text"), "http://www.example.com/");
    auto doc = s.runner().automation().embedded(EmbeddedRole::Results)->document();
    EXPECT_EQ(doc->receiverCount(), 1u);
    EXPECT_TRUE(doc->raiseContextMenu());
}

TEST(RelatedPanelPlace, StoredPlaceAndSizeAreReadAtLoad) {
    Scenario s;
    s.write("conf.ini", "[RelatedSearchWindow]\ntop=1500\nleft=2500\nwidth=5000px\nheight=7000\n");
    s.ok("start\nclick frmMain.Toolbar1:related\n");
    const char* expected[][2] = {
        {"top", "1500"}, {"left", "2500"}, {"width", "5000"}, {"height", "7000"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(fact(s, "form frmBrowser", key), value);
}

TEST(RelatedPanelPlace, ACollapsedPanelKeepsTheStoredHeight) {
    Scenario s;
    s.write("conf.ini", "[RelatedSearchWindow]\nheight=7000\n");
    s.ok(
        "start\nclick frmMain.Toolbar1:related\nclick frmBrowser.Image4\n"
        "click frmBrowser.Image5\nclick frmMain.Toolbar1:related\n");
    EXPECT_NE(ini(s).find("[RelatedSearchWindow]\nheight=7000\nTop=100\nLeft=100\nWidth=4000\n"),
              std::string::npos)
        << ini(s);
    EXPECT_EQ(fact(s, "form frmBrowser", "height"), "7000");
}
