#include <gtest/gtest.h>

#include <string>

#include "search/SearchAddress.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"

// Fields left out of a designated initializer keep their defaults, which is the point here.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace surfdeck {
namespace {

std::string queryOf(const std::string& address) {
    return address.substr(address.find('?') + 1);
}

std::string webQuery(const WebSearchFields& f) {
    return queryOf(BuildWebSearchAddress(f, "h"));
}
std::string newsQuery(const NewsSearchFields& f) {
    return queryOf(BuildNewsSearchAddress(f, "h"));
}
std::string imageQuery(const ImageSearchFields& f) {
    return queryOf(BuildImageSearchAddress(f, "h"));
}
bool has(const std::string& query, const std::string& pair) {
    return ("&" + query + "&").find("&" + pair + "&") != std::string::npos;
}

TEST(ReplaceAll, EveryExactOccurrenceLeftToRightWithoutRescanning) {
    EXPECT_EQ(ReplaceAll("TEXT1 text1 TEXT1", "TEXT1", "x"), "x text1 x");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("A-A", "A", "AA"), "AA-AA");
    EXPECT_EQ(ReplaceAll("DATE", "DATE", "DATEDATE"), "DATEDATE");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(WebSearchAddress, MatchModeChoosesTheWordsKey) {
    const std::string q = webQuery({.words = "spam", .matchMode = 3});
    EXPECT_TRUE(has(q, "as_q=") && has(q, "as_epq=") && has(q, "as_oq=") && has(q, "as_eq=spam"));
    const std::string phrase = webQuery({.words = "spam", .matchMode = 1});
    EXPECT_TRUE(has(phrase, "as_epq=spam") && has(phrase, "as_q="));
}

TEST(WebSearchAddress, ListChoicesGiveTheirValues) {
    const std::string q =
        webQuery({.results = 4, .fileFormat = 3, .date = 3, .occurrences = 1, .domain = ".org"});
    for (const char* pair :
         {"num=100", "as_filetype=doc", "as_qdr=y", "as_occt=title", "as_sitesearch=.org"}) {
        EXPECT_TRUE(has(q, pair)) << pair;
    }
}

TEST(WebSearchAddress, IndexOutsideItsListCountsAsTheFirst) {
    EXPECT_EQ(webQuery({.words = "x",
                        .matchMode = 7,
                        .results = -1,
                        .fileFormat = 99,
                        .date = 4,
                        .occurrences = 5}),
              webQuery({.words = "x"}));
}

// Search words turn each space into "+"; other fields keep theirs, trimmed in the news panel.
TEST(SearchAddress, OnlySearchWordsTurnSpacesIntoPlus) {
    const std::string web = webQuery({.words = " cat ", .domain = " my site.org "});
    EXPECT_TRUE(has(web, "as_q=+cat+") && has(web, "as_sitesearch= my site.org ")) << web;
    EXPECT_TRUE(has(webQuery({}), "as_q="));
    const std::string news = newsQuery({.words = "cheap flights",
                                        .subject = "cheap flights",
                                        .author = " Jo Doe ",
                                        .messageId = " <a1@b.example> "});
    EXPECT_TRUE(has(news, "as_q=cheap+flights") && has(news, "as_usubject=cheap flights") &&
                has(news, "as_uauthors=Jo Doe") && has(news, "as_umsgid=<a1@b.example>"))
        << news;
    const std::string image =
        imageQuery({.words = "red car", .matchMode = 1, .domain = " a b.org"});
    EXPECT_TRUE(has(image, "as_q=") && has(image, "as_epq=red+car") &&
                has(image, "as_sitesearch= a b.org"))
        << image;
}

TEST(SearchEncoding, CharactersThatWouldChangeTheAddressAreEncoded) {
    EXPECT_EQ(encodeSearchWords("AT&T C# 100% C++ a=b?"), "AT%26T+C%23+100%25+C%2B%2B+a%3Db%3F");
    EXPECT_EQ(encodeQueryField("AT&T C#"), "AT%26T C%23");
    EXPECT_EQ(encodeSearchWords("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(encodeQueryField(std::string("a\tb\nc\x7f") + '\0'), "a%09b%0Ac%7F%00");
    EXPECT_EQ(encodeQueryField("rec.games.* <x@y.org>/~'\"!"), "rec.games.* <x@y.org>/~'\"!");
}

TEST(SearchEncoding, TypedTextCannotAddOrChangeKeys) {
    const std::string q = webQuery({.words = "AT&T num=5#top", .domain = "a.org&safe=on"});
    EXPECT_TRUE(has(q, "as_q=AT%26T+num%3D5%23top"));
    EXPECT_TRUE(has(q, "as_sitesearch=a.org%26safe%3Don"));
    EXPECT_TRUE(has(q, "num=10"));
    EXPECT_EQ(q.find('#'), std::string::npos);
}

TEST(SearchEncoding, PlaceholderWordsInTypedTextStayAsTyped) {
    const std::string q = webQuery({.words = "SAVE THE DATE", .domain = "TEXT1.DOMAIN"});
    EXPECT_TRUE(has(q, "as_q=SAVE+THE+DATE"));
    EXPECT_TRUE(has(q, "as_sitesearch=TEXT1.DOMAIN"));
    EXPECT_TRUE(has(imageQuery({.words = "IMAGESIZE"}), "as_q=IMAGESIZE"));
    const std::string n = newsQuery({.subject = "GROUP", .author = "MESSAGEID"});
    EXPECT_TRUE(has(n, "as_usubject=GROUP") && has(n, "as_uauthors=MESSAGEID"));
}

TEST(SearchCharset, ISO88591WhenEveryFieldFitsElseUTF8DeclaredInThatAddress) {
    const std::string cafe = "caf\xC3\xA9", euro = "5\xE2\x82\xAC", cyr = "\xD0\xB4";
    const struct {
        const char* what;
        std::string query;
        const char* words;  // how the words go out
        bool utf8;
    } cases[] = {
        {"web, ASCII", webQuery({.words = "big cat"}), "as_q=big+cat", false},
        {"web, Latin-1", webQuery({.words = cafe}), "as_q=caf%E9", false},
        {"web, euro sign", webQuery({.words = euro}), "as_q=5%E2%82%AC", true},
        {"web, Latin-1 words and a Cyrillic domain", webQuery({.words = cafe, .domain = cyr}),
         "as_q=caf%C3%A9", true},
        {"web, an 8-bit byte from conf.ini", webQuery({.words = "caf\xE9"}), "as_q=caf%E9", false},
        {"web, an 8-bit byte beside Cyrillic", webQuery({.words = "\xE9 " + cyr}),
         "as_q=%C3%A9+%D0%B4", true},
        {"news, Latin-1", newsQuery({.words = cafe, .author = "J\xC3\xB6rg"}), "as_q=caf%E9",
         false},
        {"news, Cyrillic author", newsQuery({.words = cafe, .author = cyr}), "as_q=caf%C3%A9",
         true},
        {"image, Latin-1", imageQuery({.words = cafe}), "as_q=caf%E9", false},
        {"image, euro in the domain", imageQuery({.words = cafe, .domain = euro}), "as_q=caf%C3%A9",
         true},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(has(c.query, c.words)) << c.what << ": " << c.query;
        EXPECT_EQ(has(c.query, "ie=UTF-8") && has(c.query, "oe=UTF-8"), c.utf8) << c.what;
        EXPECT_FALSE(c.utf8 && c.query.find("ISO-8859-1") != std::string::npos) << c.what;
    }
    // The other fields follow the words' charset.
    EXPECT_TRUE(has(newsQuery({.words = cyr, .author = "J\xC3\xB6rg"}), "as_uauthors=J%C3%B6rg"));
    EXPECT_TRUE(has(newsQuery({.words = "x", .author = "J\xC3\xB6rg"}), "as_uauthors=J%F6rg"));
    EXPECT_TRUE(has(webQuery({.words = "x", .domain = "\xC3\xA9.fr"}), "as_sitesearch=%E9.fr"));
    EXPECT_TRUE(has(webQuery({.words = "x"}), "ie=ISO-8859-1"));
}

TEST(NewsSearchAddress, FirstItemsWithTrimmedGroup) {
    EXPECT_EQ(BuildNewsSearchAddress({.words = "big cat", .group = "  rec.games.*  "},
                                     "groups.google.com"),
              "http://groups.google.com/groups?as_q=big+cat&num=10&as_ugroup=rec.games.*&as_"
              "usubject=&as_uauthors=&as_umsgid=&as_drrb=b&as_qdr=&hl=en");
}

TEST(NewsSearchAddress, MessageDates) {
    const std::pair<int, const char*> dates[] = {{0, "as_qdr="},  {1, "as_qdr=d"}, {2, "as_qdr=w"},
                                                 {3, "as_qdr=m"}, {6, "as_qdr=y"}, {7, "as_qdr="}};
    for (const auto& [index, pair] : dates) {
        EXPECT_TRUE(has(newsQuery({.dates = index}), pair)) << index;
    }
}

TEST(NewsSearchAddress, OtherMatchModesAddTheirKeyAndLeaveAsQEmpty) {
    const char* keys[] = {"as_epq=big+cat", "as_oq=big+cat", "as_eq=big+cat"};
    for (int mode = 1; mode <= 3; ++mode) {
        const std::string q = newsQuery({.words = "big cat", .matchMode = mode});
        EXPECT_TRUE(q.starts_with("as_q=&")) << mode;
        EXPECT_TRUE(q.ends_with(std::string("&hl=en&") + keys[mode - 1])) << q;
    }
}

TEST(NewsSearchAddress, SortByDateAddsScoring) {
    EXPECT_TRUE(newsQuery({}).ends_with("&hl=en"));
    EXPECT_TRUE(newsQuery({.sort = 1}).ends_with("&hl=en&scoring=d"));
    EXPECT_TRUE(
        newsQuery({.words = "x", .matchMode = 2, .sort = 1}).ends_with("&hl=en&as_oq=x&scoring=d"));
}

TEST(ImageSearchAddress, ListChoicesGiveTheirValues) {
    const std::string q = imageQuery({.size = 1, .fileType = 2, .coloration = 1, .results = 3});
    for (const char* pair : {"imgsz=icon", "as_filetype=gif", "imgc=mono", "svnum=50"}) {
        EXPECT_TRUE(has(q, pair)) << pair;
    }
    EXPECT_EQ(q.find("&num="), std::string::npos);
    EXPECT_TRUE(has(imageQuery({.size = 5}), "imgsz=xlarge"));
    EXPECT_TRUE(has(imageQuery({.size = 6}), "imgsz=xxlarge"));
}

TEST(RelatedQueryAddress, SiteGoesAfterAsRq) {
    EXPECT_EQ(BuildRelatedQueryAddress("www.w3.org", "www.google.com"),
              "http://www.google.com/search?as_rq=www.w3.org");
    EXPECT_EQ(BuildRelatedQueryAddress("", "www.google.com"),
              "http://www.google.com/search?as_rq=");
    EXPECT_EQ(BuildRelatedQueryAddress("a.example?x=1&y", "SITE.example"),
              "http://SITE.example/search?as_rq=a.example%3Fx%3D1%26y");
}

TEST(SearchHosts, ReadFromTheSearchSectionWithTheUsualHostsForAbsentOrEmptyKeys) {
    testing::TempFolder folder;
    const std::string ini = settingsPath(folder.path());
    SearchHosts hosts = readSearchHosts(ini);
    EXPECT_EQ(hosts.web, "www.google.com");
    EXPECT_EQ(hosts.groups, "groups.google.com");
    EXPECT_EQ(hosts.images, "images.google.com");
    WriteIni("Search", "WebHost", "localhost:8080", ini);
    WriteIni("Search", "GroupsHost", "", ini);
    WriteIni("Search", "ImagesHost", "img.example", ini);
    hosts = readSearchHosts(ini);
    EXPECT_EQ(hosts.web, "localhost:8080");
    EXPECT_EQ(hosts.groups, "groups.google.com");
    EXPECT_EQ(hosts.images, "img.example");
}

}  // namespace
}  // namespace surfdeck
