#include <sstream>
#include <string>
#include <vector>

#include "ScenarioHarness.h"

using surfdeck::testing::Scenario;

namespace {

// A browser window in front and tracked as the active one.
constexpr const char* kActiveWindow = "start\nopen http://www.example.org/\nfront 1\nwait 200\n";

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

// The first dump line that begins with "kind name ".
std::string dumpLine(Scenario& s, const std::string& kindAndName) {
    for (const auto& line : dumpLines(s))
        if (line.rfind(kindAndName + " ", 0) == 0) return line;
    return {};
}

// Every address the program had a browser window navigate to, in order.
std::vector<std::string> navigations(Scenario& s) {
    std::vector<std::string> out;
    for (const auto& line : dumpLines(s)) {
        const std::string prefix = "request #1 navigate ";
        if (line.rfind(prefix, 0) == 0)
            out.push_back(valueOf(" a=" + line.substr(prefix.size()), "a"));
    }
    return out;
}

std::string navigation(Scenario& s) {
    const auto all = navigations(s);
    return all.empty() ? "<none>" : all.back();
}

std::string query(Scenario& s) {
    const std::string a = navigation(s);
    const auto q = a.find('?');
    return q == std::string::npos ? a : a.substr(q + 1);
}

// conf.ini with its line ends as "\n".
std::string ini(Scenario& s) {
    std::string text = s.read("conf.ini");
    std::erase(text, '\r');
    return text;
}

}  // namespace

TEST(WebSearch, WordsOpenTheirAddressInTheActiveWindowAndJoinTheRecentListAtClose) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok("click frmMain.Toolbar1:web\ntype frmWeb.Combo15 \"big cat\"\nclick frmWeb.Command3\n");
    EXPECT_EQ(navigation(s),
              "http://www.google.com/search?as_q=big+cat&num=10&hl=en&ie=ISO-8859-1&oe=ISO-8859-1"
              "&btnG=Google+Search&as_epq=&as_oq=&as_eq=&lr=&as_ft=i&as_filetype=&as_qdr=all"
              "&as_occt=any&as_dt=i&as_sitesearch=&safe=off");
    // The panel stays open with its fields; the drop-down list is not refreshed.
    const std::string words = dumpLine(s, "combo frmWeb.Combo15");
    EXPECT_EQ(valueOf(words, "text"), "big cat");
    EXPECT_EQ(valueOf(words, "items"), "0");
    EXPECT_EQ(ini(s).find("RecentWebText"), std::string::npos);

    s.ok("click frmWeb.Image5\n");
    const std::string text = ini(s);
    EXPECT_NE(text.find("RecentWebText=big cat;"), std::string::npos) << text;
    EXPECT_NE(text.find("[WebSearchWindow]\nTop=100\nLeft=100"), std::string::npos) << text;
}

TEST(WebSearch, EveryListChoiceReachesItsKey) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:web\ntype frmWeb.Combo15 spam\nselect frmWeb.Combo1 3\n"
        "select frmWeb.Combo5 4\nselect frmWeb.Combo2 3\nselect frmWeb.Combo3 3\n"
        "select frmWeb.Combo4 1\ntype frmWeb.Combo16 .org\nclick frmWeb.Command3\n");
    EXPECT_EQ(query(s),
              "as_q=&num=100&hl=en&ie=ISO-8859-1&oe=ISO-8859-1&btnG=Google+Search&as_epq=&as_oq="
              "&as_eq=spam&lr=&as_ft=i&as_filetype=doc&as_qdr=y&as_occt=title&as_dt=i"
              "&as_sitesearch=.org&safe=off");
}

TEST(WebSearch, SpacesAroundTheWordsAreSentWhileTheRecentListKeepsTheTrimmedEntry) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:web\ntype frmWeb.Combo15 \" cat \"\n"
        "type frmWeb.Combo16 \" my site \"\nclick frmWeb.Command3\nclick frmWeb.Image5\n");
    const std::string q = query(s);
    EXPECT_NE(q.find("as_q=+cat+&"), std::string::npos) << q;
    EXPECT_NE(q.find("as_sitesearch= my site &"), std::string::npos) << q;
    const std::string text = ini(s);
    EXPECT_NE(text.find("RecentWebText=cat;"), std::string::npos) << text;
    EXPECT_NE(text.find("RecentWebDomain=my site;"), std::string::npos) << text;
}

TEST(WebSearch, EmptyWordsStillOpenAnAddressAndLeaveTheListAlone) {
    Scenario s;
    s.write("conf.ini", "[Recent]\nRecentWebText=dog;\nRecentLengh=10\n");
    s.ok(kActiveWindow);
    s.ok("click frmMain.Toolbar1:web\nclick frmWeb.Command3\nclick frmWeb.Image5\n");
    EXPECT_NE(query(s).find("as_q=&"), std::string::npos);
    EXPECT_NE(ini(s).find("RecentWebText=dog;\n"), std::string::npos);
}

TEST(NewsSearch, TrimmedFieldsKeepInnerSpacesAndOnlyTheWordsArePlusEncoded) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:news\ntype frmNews.Combo19 \"big cat\"\n"
        "type frmNews.Combo20 \"  rec.games.*  \"\nclick frmNews.Command5\n");
    EXPECT_EQ(navigation(s),
              "http://groups.google.com/groups?as_q=big+cat&num=10&as_ugroup=rec.games.*"
              "&as_usubject=&as_uauthors=&as_umsgid=&as_drrb=b&as_qdr=&hl=en");
    s.ok(
        "type frmNews.Combo19 \"cheap flights\"\ntype frmNews.Combo21 \"cheap flights\"\n"
        "select frmNews.Combo13 1\nclick frmNews.Command5\n");
    const auto r = navigations(s);
    ASSERT_EQ(r.size(), 2u);
    EXPECT_NE(r[1].find("as_q=cheap+flights&"), std::string::npos) << r[1];
    EXPECT_NE(r[1].find("as_usubject=cheap flights&"), std::string::npos) << r[1];
    EXPECT_NE(r[1].find("as_qdr=d&"), std::string::npos) << r[1];
}

TEST(NewsSearch, EachBoxListsItsEntryWhenThePanelIsNextOpened) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:news\ntype frmNews.Combo19 words\ntype frmNews.Combo20 group\n"
        "type frmNews.Combo21 subject\ntype frmNews.Combo22 author\ntype frmNews.Combo23 id\n"
        "click frmNews.Command5\nclick frmNews.Image5\nclick frmMain.Toolbar1:news\n");
    const std::pair<const char*, const char*> boxes[] = {{"frmNews.Combo19", "words"},
                                                         {"frmNews.Combo20", "group"},
                                                         {"frmNews.Combo21", "subject"},
                                                         {"frmNews.Combo22", "author"},
                                                         {"frmNews.Combo23", "id"}};
    for (const auto& [box, entry] : boxes) {
        const std::string c = dumpLine(s, std::string("combo ") + box);
        EXPECT_EQ(valueOf(c, "items"), "1") << box;
        EXPECT_EQ(valueOf(c, "item"), entry) << box;
        EXPECT_EQ(valueOf(c, "text"), "") << box;
    }
    const std::string text = ini(s);
    EXPECT_NE(text.find("RecentGroupAuthor=author;\nRecentGroupGroup=group;\nRecentGroupMessageID="
                        "id;\nRecentGroupSubject=subject;\nRecentGroupText=words;"),
              std::string::npos)
        << text;
}

TEST(ImageSearch, WordsAndChoicesGiveTheImagesAddress) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:image\ntype frmImage.Combo17 \"red car\"\nclick "
        "frmImage.Command4\n");
    EXPECT_EQ(navigation(s),
              "http://images.google.com/images?as_q=red+car&svnum=10&hl=en&imgsafe=off"
              "&btnG=Google+Search&as_epq=&as_oq=&as_eq=&imgsz=&as_filetype=&imgc="
              "&as_sitesearch=&imgsafe=off");
    s.ok(
        "select frmImage.Combo6 1\nselect frmImage.Combo7 1\nselect frmImage.Combo8 2\n"
        "select frmImage.Combo9 1\nselect frmImage.Combo14 3\nclick frmImage.Command4\n"
        "click frmImage.Image5\n");
    const auto r = navigations(s);
    ASSERT_EQ(r.size(), 2u);
    for (const char* part : {"as_q=&", "as_epq=red+car&", "imgsz=icon&", "as_filetype=gif&",
                             "imgc=mono&", "svnum=50&"}) {
        EXPECT_NE(r[1].find(part), std::string::npos) << part;
    }
    EXPECT_EQ(r[1].find("&num="), std::string::npos);
    EXPECT_NE(ini(s).find("RecentImageText=red car;"), std::string::npos);
}

TEST(SearchPanels, WithNoActiveWindowASearchOpensNothing) {
    Scenario s;
    s.ok(
        "start\nopen http://www.example.org/\nclick frmMain.Toolbar1:web\n"
        "type frmWeb.Combo15 cat\nclick frmWeb.Command3\nclick frmMain.Toolbar1:image\n"
        "click frmImage.Command4\n");
    EXPECT_TRUE(navigations(s).empty());
    EXPECT_EQ(valueOf(dumpLine(s, "form frmWeb"), "visible"), "1");
}

TEST(SearchPanels, AReopenedPanelIsBackWhereItWasClosedAndOnTop) {
    Scenario s;
    s.ok(
        "start\nclick frmMain.Toolbar1:web\npointer 200 200\ndown frmWeb.Label1 left 300 100\n"
        "pointer 300 260\nmove frmWeb.Label1 left 1800 1000\nup frmWeb.Label1 left 1800 1000\n");
    const std::string moved = dumpLine(s, "form frmWeb");
    ASSERT_NE(valueOf(moved, "left"), "100");
    s.ok("click frmWeb.Image5\nclick frmMain.Toolbar1:web\n");
    const std::string back = dumpLine(s, "form frmWeb");
    EXPECT_EQ(valueOf(back, "left"), valueOf(moved, "left"));
    EXPECT_EQ(valueOf(back, "top"), valueOf(moved, "top"));
    EXPECT_EQ(valueOf(back, "topmost"), "1");
}

TEST(SearchPanels, ClosingTheMainWindowSavesEveryOpenPanel) {
    Scenario s;
    s.ok(kActiveWindow);
    s.ok(
        "click frmMain.Toolbar1:web\ntype frmWeb.Combo15 fox\nclick frmWeb.Command3\n"
        "click frmMain.Toolbar1:news\ntype frmNews.Combo22 ann\nclick frmNews.Command5\n"
        "click frmMain.Toolbar1:image\nclick frmMain.Toolbar1:related\n"
        "click frmMain.Image5\n");
    EXPECT_TRUE(s.runner().programEnded());
    const std::string text = ini(s);
    EXPECT_NE(text.find("RecentWebText=fox;"), std::string::npos) << text;
    EXPECT_NE(text.find("RecentGroupAuthor=ann;"), std::string::npos) << text;
    for (const char* section :
         {"[WebSearchWindow]\nTop=100\nLeft=100\n", "[NewsSearchWindow]\nTop=100\nLeft=100\n",
          "[ImageSearchWindow]\nTop=100\nLeft=100\n",
          "[RelatedSearchWindow]\nTop=100\nLeft=100\nWidth=4000\nHeight=6000\n"}) {
        EXPECT_NE(text.find(section), std::string::npos) << section << text;
    }
}
