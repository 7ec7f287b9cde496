#include <gtest/gtest.h>

#include <string>

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

TEST(GetBetween, FindsBothMarkersWithoutRegardToCase) {
    EXPECT_EQ(GetBetween("<P><A HREF=x.html>Home</A>", "<a href=", ">"), "x.html");
    EXPECT_EQ(GetBetween("<A HREF=x.html>Home</A>", ">", "</a"), "Home");
}

TEST(GetBetween, EndMarkerMustBeginAfterTheStartMarkerEnds) {
    EXPECT_EQ(GetBetween("b>a=c>d", "=", ">"), "c");
    // The only "ba" overlaps the start marker "ab", so there is no end.
    EXPECT_EQ(GetBetween("abab", "ab", "ba"), "");
    EXPECT_EQ(GetBetween("a==b", "=", "="), "");
}

TEST(GetBetween, EmptyWhenAMarkerIsMissing) {
    EXPECT_EQ(GetBetween("no markers", "<", ">"), "");
    EXPECT_EQ(GetBetween("<open only", "<", ">"), "");
    EXPECT_EQ(GetBetween("", "<", ">"), "");
}

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

TEST(RelatedPage, WithoutLinksOnlyHeaderAndRule) {
    const std::string bare = header("a.example") + "<HR NOSHADE SIZE=1>";
    EXPECT_EQ(GetRelatedHTML("<body>nothing related</body>", "a.example"), bare);
    EXPECT_EQ(GetRelatedHTML("", "a.example"), bare);
    EXPECT_EQ(GetRelatedHTML("<body><p><a href=http://only.example/>Only</a>", "a.example"), bare);
}

TEST(RelatedPage, AddressQuotesAndSpacesAreRemovedOnlyOnce) {
    const std::string page =
        "<body><p><a href=skip>x</a>"
        "<p><a href=\"\"http://q.example/\"\">Twice</a>"
        "<p><a href=HTTP://Up.example/path>Upper</a>";
    const std::string out = GetRelatedHTML(page, "s");
    EXPECT_NE(out.find(relatedItem("&quot;http://q.example/&quot;", "Twice",
                                   "&quot;http://q.example/&quot;")),
              std::string::npos);
    // The scheme test ignores case; the address itself is linked unchanged.
    EXPECT_NE(out.find(relatedItem("HTTP://Up.example/path", "Upper", "Up.example/path")),
              std::string::npos);
}

TEST(RelatedPage, RepeatedLinksAreAllListed) {
    std::string page = "<body><p><a href=first>f</a>";
    for (int i = 0; i < 3; ++i) page += "<p><a href=http://same.example/>Same</a>";
    EXPECT_EQ(count(GetRelatedHTML(page, "s"), "<A HREF=\"http://same.example/\""), 3u);
}

TEST(RelatedPage, LinksBeforeTheBodyAreIgnored) {
    const std::string out = GetRelatedHTML(kAnswerPage, "s");
    EXPECT_EQ(out.find("head.example"), std::string::npos);
    EXPECT_EQ(out.find("advanced_search"), std::string::npos);
}

TEST(RelatedPage, ScrapedTextCannotOpenTagsOrLeaveItsAttribute) {
    const std::string page =
        "<body><p><a href=skip>x</a>"
        "<p><a href=\"http://x.example/\" onmouseover=\"alert(1)\">a>b</a>"
        "<p><a href=http://y.example/?a=1&b=2&amp;c=3>AT&T 'quoted'</a>";
    const std::string out = GetRelatedHTML(page, "<img src=x onerror=alert(1)>");
    EXPECT_EQ(out.find("onmouseover=\""), std::string::npos);
    EXPECT_EQ(out.find("<img"), std::string::npos);
    EXPECT_NE(out.find("HREF=\"http://x.example/&quot; onmouseover=&quot;alert(1)\""),
              std::string::npos);
    EXPECT_NE(out.find("Title=\"a&gt;b\">"), std::string::npos);
    EXPECT_NE(out.find(relatedItem("http://y.example/?a=1&amp;b=2&amp;c=3",
                                   "AT&amp;T &#39;quoted&#39;", "y.example/?a=1&amp;b=2&amp;c=3")),
              std::string::npos);
    // Every "<" of the result is one of ours: font, two breaks, rule, three per item, rule.
    EXPECT_EQ(count(out, "<"), 5u + 3u * 2u);
}

TEST(RelatedPage, PlaceholderWordsInScrapedTextStayAsTheyAre) {
    const std::string page =
        "<body><p><a href=skip>x</a><p><a href=http://e.example/URL/ALT/>TITLE LINK</a>";
    EXPECT_NE(GetRelatedHTML(page, "s").find(
                  relatedItem("http://e.example/URL/ALT/", "TITLE LINK", "e.example/URL/ALT")),
              std::string::npos);
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

TEST(CategoryPage, HeadingAndCreditEvenWithoutCategories) {
    const std::string out = GetCategoryHTML("<body><p>nothing</p></body>");
    EXPECT_EQ(out, kCategoryStart + footer());
    const std::string credit = footer();
    ASSERT_EQ(credit.rfind("<br>", 0), 0u);
    const auto open = credit.find("<!--");
    const auto close = credit.rfind("-->");
    ASSERT_NE(open, std::string::npos);
    EXPECT_EQ(close + 3, credit.size());
    EXPECT_EQ(count(credit, "<A HREF="), 1u);
    EXPECT_EQ(credit.find('\n', credit.find("-->", open) + 3), std::string::npos);
}

TEST(CategoryPage, BlockWithoutAddressLinksToSchemeAloneOnce) {
    const std::string page = "<body>>Category:<b>One</b>>Category:<b>Two</b>";
    EXPECT_EQ(GetCategoryHTML(page), kCategoryStart + categoryItem("http://", "One") + footer());
}

TEST(CategoryPage, SplitMarkerAndBodyMatchCase) {
    // ">category:" in lower case does not split; "<BODY" is not the body, so the whole
    // markup is split, which gives the same blocks here.
    const std::string page =
        "<HTML><BODY>>category:<a href=http://no.example/>No</a>"
        ">Category:<a href=http://yes.example/>Yes</a>";
    EXPECT_EQ(GetCategoryHTML(page),
              kCategoryStart + categoryItem("http://yes.example/", "Yes") + footer());
    // A ">Category:" ahead of a lower-case body tag is not used.
    const std::string withBody =
        ">Category:<a href=http://head.example/>Head</a><body>"
        ">Category:<a href=http://yes.example/>Yes</a>";
    EXPECT_EQ(GetCategoryHTML(withBody),
              kCategoryStart + categoryItem("http://yes.example/", "Yes") + footer());
}

TEST(CategoryPage, TitleIsTakenAfterTheAddress) {
    const std::string page = "<body>>Category:</font> <a href=http://t.example/>A&nbsp;B</a>";
    EXPECT_EQ(GetCategoryHTML(page),
              kCategoryStart + categoryItem("http://t.example/", "A B") + footer());
}

TEST(CategoryPage, AnAddressEndingLikeAnEarlierOneIsStillNew) {
    const std::string page =
        "<body>>Category:<a href=http://r.example/?u=http://a.example>R</a>"
        ">Category:<a href=http://a.example>A</a>"
        ">Category:<a href=http://a.example>A again</a>";
    EXPECT_EQ(GetCategoryHTML(page), kCategoryStart +
                                         categoryItem("http://r.example/?u=http://a.example", "R") +
                                         categoryItem("http://a.example", "A") + footer());
}

TEST(CategoryPage, ScrapedTextCannotOpenTagsOrLeaveItsAttribute) {
    const std::string page =
        "<body>>Category:</font> <a href=http://x.example/ onclick=\"evil()\">T\"&x</a>";
    const std::string out = GetCategoryHTML(page);
    EXPECT_EQ(out,
              kCategoryStart +
                  categoryItem("http://x.example/ onclick=&quot;evil()&quot;", "T&quot;&amp;x") +
                  footer());
}

}  // namespace
}  // namespace surfdeck
