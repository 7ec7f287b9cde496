#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "related/ResultsPage.h"

namespace surfdeck {
namespace {

const std::string kRelatedFont = "<FONT FACE=\"Verdana\" SIZE=1 padding-left=100pt>";
const std::string kCategoryStart =
    "<FONT FACE=\"Verdana, Arial, Helvetica\" SIZE=1>Available category<br>";

std::string header(const std::string& source) {
    return kRelatedFont + "Sites related to:<br>" + source + "<br><HR NOSHADE SIZE=1>\r\n";
}
std::string relatedItem(const std::string& url, const std::string& alt, const std::string& title) {
    return "<A HREF=\"" + url + "\" Title=\"" + alt + "\">" + title + "</A><BR>\r\n";
}
std::string categoryItem(const std::string& url, const std::string& title) {
    return "<div style=\"margin-top:8px;\"><A HREF=\"" + url + "\" Title=\"" + url + "\">" + title +
           "</A></DIV>\r\n";
}
std::string footer() {
    const std::string empty = GetCategoryHTML("");
    return empty.substr(kCategoryStart.size());
}
std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// An answer page laid out the way the related-pages service answers: a navigation link
// first, then one paragraph per related site, each with its directory category.
const std::string kAnswerPage = R"(<html><head><title>related:www.w3.org</title>
<script>var s = "<p><a href=http://head.example/>not a result</a>";</script></head>
<BODY bgcolor=#ffffff text=#000000>
<p><a href="http://www.google.com/advanced_search">Advanced Search</a>
<p><a href="http://www.ietf.org/">The Internet Engineering Task Force</a><br>
<font size=-1>Standards for the Internet.<br>
<font color=#6f6f6f>Category:</font> <a href=http://directory.google.com/Top/Computers/Internet/>Computers&nbsp;&gt;&nbsp;Internet</a><br></font>
<P><A HREF=http://www.isoc.org/>Internet Society</A><br>
<font size=-1><font color=#6f6f6f>Category:</font> <a href=http://directory.google.com/Top/Computers/Internet/>Computers&nbsp;&gt;&nbsp;Internet</a><br></font>
<p><a href = "http://www.unicode.org/consortium/" >Unicode &amp; You</a><br>
<font size=-1><font color=#6f6f6f>Category:</font> <a href=http://directory.google.com/Top/Computers/Software/Globalization/>Computers&nbsp;&gt;&nbsp;Globalization</a><br></font>
</BODY></html>)";

TEST(GetBetween, TextBetweenBothMarkersFoundWithoutRegardToCase) {
    const char* cases[][4] = {
        {"<P><A HREF=x.html>Home</A>", "<a href=", ">", "x.html"},
        {"<A HREF=x.html>Home</A>", ">", "</a", "Home"},
        {"b>a=c>d", "=", ">", "c"},  // the end marker is looked for after the start marker
        {"abab", "ab", "ba", ""},    // the only "ba" overlaps the start marker
        {"a==b", "=", "=", ""},
        {"no markers", "<", ">", ""},
        {"<open only", "<", ">", ""},
        {"", "<", ">", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetBetween(c[0], c[1], c[2]), c[3]) << c[0];
}

// Nothing before the body or from the first link is listed.
TEST(RelatedPage, BuildsOneItemPerRelatedLinkAfterTheFirst) {
    const std::string expected =
        header("www.w3.org") +
        relatedItem("http://www.ietf.org/", "The Internet Engineering Task Force", "www.ietf.org") +
        relatedItem("http://www.isoc.org/", "Internet Society", "www.isoc.org") +
        relatedItem("http://www.unicode.org/consortium/", "Unicode &amp; You",
                    "www.unicode.org/consortium") +
        "<HR NOSHADE SIZE=1>";
    EXPECT_EQ(GetRelatedHTML(kAnswerPage, "www.w3.org"), expected);
}

TEST(RelatedPage, EachLinkAfterTheFirstWithScrapedTextEscaped) {
    const std::string skip = "<body><p><a href=skip>x</a>";
    const struct {
        const char* rule;
        std::string page;
        std::vector<std::vector<std::string>> items;  // address, title, shown address
    } cases[] = {
        {"no link", "<body>nothing related</body>", {}},
        {"nothing at all", "", {}},
        {"one link only", "<body><p><a href=http://only.example/>Only</a>", {}},
        {"quotes removed once",
         skip + "<p><a href=\"\"http://q.example/\"\">Twice</a>",
         {{"&quot;http://q.example/&quot;", "Twice", "&quot;http://q.example/&quot;"}}},
        {"scheme found without regard to case, address linked unchanged",
         skip + "<p><a href=HTTP://Up.example/path>Upper</a>",
         {{"HTTP://Up.example/path", "Upper", "Up.example/path"}}},
        {"repeats all listed",
         skip + "<p><a href=http://s.example/>S</a><p><a href=http://s.example/>S</a>",
         {{"http://s.example/", "S", "s.example"}, {"http://s.example/", "S", "s.example"}}},
        {"placeholder words stay as they are",
         skip + "<p><a href=http://e.example/URL/ALT/>TITLE LINK</a>",
         {{"http://e.example/URL/ALT/", "TITLE LINK", "e.example/URL/ALT"}}},
        {"scraped text cannot open tags or leave its attribute",
         skip + "<p><a href=\"http://x.example/\" onmouseover=\"alert(1)\">a>b</a>"
                "<p><a href=http://y.example/?a=1&b=2&amp;c=3>AT&T 'quoted'</a>",
         {{"http://x.example/&quot; onmouseover=&quot;alert(1)", "a&gt;b",
           "x.example/&quot; onmouseover=&quot;alert(1)"},
          {"http://y.example/?a=1&amp;b=2&amp;c=3", "AT&amp;T &#39;quoted&#39;",
           "y.example/?a=1&amp;b=2&amp;c=3"}}},
    };
    for (const auto& c : cases) {
        std::string expected = header("s");
        for (const auto& item : c.items) expected += relatedItem(item[0], item[1], item[2]);
        EXPECT_EQ(GetRelatedHTML(c.page, "s"), expected + "<HR NOSHADE SIZE=1>") << c.rule;
    }
    EXPECT_EQ(GetRelatedHTML("", "<img src=x onerror=alert(1)>"),
              header("&lt;img src=x onerror=alert(1)&gt;") + "<HR NOSHADE SIZE=1>");
}

TEST(RelatedPage, LinksThatRunScriptAreLeftOut) {
    const std::string page =
        "<body><p><a href=skip>x</a>"
        "<p><a href=javascript:alert(1)>a</a>"
        "<p><a href=\" \t JaVaScRiPt:alert(2)\">b</a>"
        "<p><a href=&#106;avascript:alert(3)>c</a>"
        "<p><a href=java&Tab;script:alert(4)>d</a>"
        "<p><a href=javascript&colon;alert(5)>e</a>"
        "<p><a href=VBScript:MsgBox(6)>f</a>"
        "<p><a href=data:text/html;base64,PHNjcmlwdD4=>g</a>"
        "<p><a href=&#x0A;java&#x0D;script:alert(8)>h</a>"
        "<p><a href=http://safe.example/javascript:x>kept</a>"
        "<p><a href=data.html>relative</a>"
        "<p><a href=&#106avascript:alert(9)>escaped</a>";
    const std::string out = GetRelatedHTML(page, "s");
    EXPECT_EQ(count(out, "<A HREF="), 3u);
    EXPECT_NE(out.find("Title=\"kept\">safe.example/javascript:x</A>"), std::string::npos);
    EXPECT_NE(out.find(">data.html</A>"), std::string::npos);
    // A reference without its ";" is not kept, so it cannot turn into a "j".
    EXPECT_NE(out.find("HREF=\"&amp;#106avascript:alert(9)\""), std::string::npos);
}

// Each title is taken after its address, not after the "Category:" label.
TEST(CategoryPage, OneItemPerAddressWithSpacesForNbsp) {
    const std::string expected =
        kCategoryStart +
        categoryItem("http://directory.google.com/Top/Computers/Internet/",
                     "Computers &gt; Internet") +
        categoryItem("http://directory.google.com/Top/Computers/Software/Globalization/",
                     "Computers &gt; Globalization") +
        footer();
    EXPECT_EQ(GetCategoryHTML(kAnswerPage), expected);
}

TEST(CategoryPage, OneItemPerNewAddressWithScrapedTextEscaped) {
    const struct {
        const char* rule;
        std::string page;
        std::vector<std::pair<std::string, std::string>> items;  // address, title
    } cases[] = {
        {"the heading even without categories", "<body><p>nothing</p></body>", {}},
        {"a block without an address links to the scheme alone, once",
         "<body>>Category:<b>One</b>>Category:<b>Two</b>",
         {{"http://", "One"}}},
        {"a lower-case marker does not split; <BODY is not the body, so all is used",
         "<HTML>>Category:<a href=http://head.example/>Head</a><BODY>"
         ">category:<a href=http://no.example/>No</a>>Category:<a href=http://yes.example/>Yes</a>",
         {{"http://head.example/", "Head"}, {"http://yes.example/", "Yes"}}},
        {"a marker ahead of the body is not used",
         ">Category:<a href=http://head.example/>Head</a><body>"
         ">Category:<a href=http://yes.example/>Yes</a>",
         {{"http://yes.example/", "Yes"}}},
        {"an address ending like an earlier one is still new",
         "<body>>Category:<a href=http://r.example/?u=http://a.example>R</a>"
         ">Category:<a href=http://a.example>A</a>>Category:<a href=http://a.example>A again</a>",
         {{"http://r.example/?u=http://a.example", "R"}, {"http://a.example", "A"}}},
        {"scraped text cannot open tags or leave its attribute",
         "<body>>Category:</font> <a href=http://x.example/ onclick=\"evil()\">T\"&x</a>",
         {{"http://x.example/ onclick=&quot;evil()&quot;", "T&quot;&amp;x"}}},
    };
    for (const auto& c : cases) {
        std::string expected = kCategoryStart;
        for (const auto& [url, title] : c.items) expected += categoryItem(url, title);
        EXPECT_EQ(GetCategoryHTML(c.page), expected + footer()) << c.rule;
    }
}

TEST(CategoryPage, CreditIsOneLineWithOneLinkBetweenComments) {
    const std::string credit = footer();
    ASSERT_EQ(credit.rfind("<br>", 0), 0u);
    const auto open = credit.find("<!--");
    ASSERT_NE(open, std::string::npos);
    EXPECT_EQ(credit.rfind("-->") + 3, credit.size());
    EXPECT_EQ(count(credit, "<A HREF="), 1u);
    EXPECT_EQ(credit.find('\n', credit.find("-->", open) + 3), std::string::npos);
}

}  // namespace
}  // namespace surfdeck
