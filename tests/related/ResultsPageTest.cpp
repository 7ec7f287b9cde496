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
        {"quotes removed once; what is left has no scheme, so it is left out",
         skip + "<p><a href=\"\"http://q.example/\"\">Twice</a>",
         {}},
        {"scheme found without regard to case, linked in lower case",
         skip + "<p><a href=HTTP://Up.example/path>Upper</a>",
         {{"http://Up.example/path", "Upper", "Up.example/path"}}},
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

// Only web addresses are linked, however the page writes the rest; relative ones are
// resolved against the answer's address.
TEST(RelatedPage, OnlyWebAddressesAreLinkedOnceResolvedAndTheRestAreReported) {
    const std::string page =
        "<body><p><a href=skip>x</a>"
        "<p><a href=javascript:alert(1)>a</a>"
        "<p><a href=\" \t JaVaScRiPt:alert(2)\">b</a>"
        "<p><a href=&#106;avascript:alert(3)>c</a>"
        "<p><a href=java&Tab;script:alert(4)>d</a>"
        "<p><a href=javascript&colon;alert(5)>e</a>"
        "<p><a href=data:text/html;base64,PHNjcmlwdD4=>g</a>"
        "<p><a href=file:///etc/passwd>file</a>"
        "<p><a href=chrome://settings/>settings</a>"
        "<p><a href=&#102;ile:///etc/passwd>encoded file</a>"
        "<p><a href=http://safe.example/javascript:x>kept</a>"
        "<p><a href=//other.example/>scheme-relative</a>"
        "<p><a href=data.html>relative</a>"
        "<p><a href=&#106avascript:alert(9)>unterminated</a>"
        "<p><a href=FTP://files.example/>ftp</a>";
    PageBuild build;
    build.base = "https://answer.example/search?as_rq=s";
    const std::string out = GetRelatedHTML(page, "s", build);
    const std::vector<std::string> linked = {
        "http://safe.example/javascript:x", "https://other.example/",
        "https://answer.example/data.html", "https://answer.example/&amp;#106avascript:alert(9)",
        "ftp://files.example/"};
    EXPECT_EQ(count(out, "<A HREF="), linked.size()) << out;
    for (const auto& address : linked)
        EXPECT_NE(out.find("<A HREF=\"" + address + "\""), std::string::npos) << address;
    EXPECT_EQ(build.leftOut,
              (std::vector<std::string>{"javascript:alert(1)", " \t JaVaScRiPt:alert(2)",
                                        "&#106;avascript:alert(3)", "java&Tab;script:alert(4)",
                                        "javascript&colon;alert(5)",
                                        "data:text/html;base64,PHNjcmlwdD4=", "file:///etc/passwd",
                                        "chrome://settings/", "&#102;ile:///etc/passwd"}));
    EXPECT_FALSE(build.full);

    // Without a web address to resolve against, relative links cannot be listed.
    PageBuild local;
    local.base = "file:///opt/surfdeck/g1.htm";
    const std::string fromFile = GetRelatedHTML(page, "s", local);
    EXPECT_EQ(fromFile.find("HREF=\"file:"), std::string::npos);
    EXPECT_EQ(count(fromFile, "<A HREF="), 2u) << "the two absolute web addresses";
}

TEST(RelatedPage, AHugeAnswerIsCutAtATagAndThePageKeptWithinItsBudget) {
    std::string answer = "<body><p><a href=http://first.example/>first</a>";
    while (answer.size() < 5 * 1024 * 1024)
        answer +=
            "<p><a href=http://site" + std::to_string(answer.size()) + ".example/>A site</a>\n";
    const std::size_t limit = 2 * 1024 * 1024;
    const std::string cut = capMarkup(answer, limit);
    EXPECT_LE(cut.size(), limit);
    EXPECT_GT(cut.size(), limit - 100);
    EXPECT_EQ(answer.compare(0, cut.size(), cut), 0);
    EXPECT_EQ(answer[cut.size()], '<') << "cut just before a tag";
    EXPECT_EQ(capMarkup("<b>short</b>", 100), "<b>short</b>");

    PageBuild build;
    build.budget = 64 * 1024;
    const std::string page = GetRelatedHTML(cut, "s", build);
    EXPECT_TRUE(build.full);
    EXPECT_LE(page.size(), build.budget);
    EXPECT_GT(page.size(), build.budget / 2);
    EXPECT_EQ(page.substr(page.size() - 19), "<HR NOSHADE SIZE=1>") << "the closing rule stays";
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
