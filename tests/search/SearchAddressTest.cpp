#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "search/SearchAddress.h"
#include "shell/Settings.h"

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

TEST(ReplaceAll, ReplacesEveryExactOccurrenceLeftToRight) {
    EXPECT_EQ(ReplaceAll("TEXT1 text1 TEXT1", "TEXT1", "x"), "x text1 x");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("none here", "TEXT1", "x"), "none here");
}

TEST(ReplaceAll, InsertedTextIsNotSearchedAgain) {
    EXPECT_EQ(ReplaceAll("A-A", "A", "AA"), "AA-AA");
    EXPECT_EQ(ReplaceAll("DATE", "DATE", "DATEDATE"), "DATEDATE");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(WebSearchAddress, FirstItemsAndTwoWords) {
    WebSearchFields f;
    f.words = "big cat";
    EXPECT_EQ(BuildWebSearchAddress(f, "www.google.com"),
              "http://www.google.com/search?as_q=big+cat&num=10&hl=en&ie=ISO-8859-1&oe=ISO-8859-"
              "1&btnG=Google+Search&as_epq=&as_oq=&as_eq=&lr=&as_ft=i&as_filetype=&as_qdr=all&"
              "as_occt=any&as_dt=i&as_sitesearch=&safe=off");
}

TEST(WebSearchAddress, MatchModeChoosesTheWordsKey) {
    WebSearchFields f;
    f.words = "spam";
    f.matchMode = 3;
    const std::string q = webQuery(f);
    EXPECT_TRUE(has(q, "as_q=") && has(q, "as_epq=") && has(q, "as_oq=") && has(q, "as_eq=spam"));
    f.matchMode = 1;
    EXPECT_TRUE(has(webQuery(f), "as_epq=spam") && has(webQuery(f), "as_q="));
}

TEST(WebSearchAddress, ListChoicesGiveTheirValues) {
    WebSearchFields f;
    f.results = 4;
    f.fileFormat = 3;
    f.date = 3;
    f.occurrences = 1;
    f.domain = ".org";
    const std::string q = webQuery(f);
    for (const char* pair :
         {"num=100", "as_filetype=doc", "as_qdr=y", "as_occt=title", "as_sitesearch=.org"}) {
        EXPECT_TRUE(has(q, pair)) << pair;
    }
}

TEST(WebSearchAddress, WordsKeepTheirOuterSpacesAsPlusAndDomainKeepsSpaces) {
    WebSearchFields f;
    f.words = " cat ";
    f.domain = " my site.org ";
    const std::string q = webQuery(f);
    EXPECT_TRUE(has(q, "as_q=+cat+"));
    EXPECT_TRUE(has(q, "as_sitesearch= my site.org "));
    EXPECT_TRUE(has(webQuery({}), "as_q="));
}

TEST(WebSearchAddress, IndexOutsideItsListCountsAsTheFirst) {
    WebSearchFields f;
    f.words = "x";
    f.matchMode = 7;
    f.results = -1;
    f.fileFormat = 99;
    f.date = 4;
    f.occurrences = 5;
    WebSearchFields first;
    first.words = "x";
    EXPECT_EQ(webQuery(f), webQuery(first));
}

TEST(SearchEncoding, CharactersThatWouldChangeTheAddressAreEncoded) {
    EXPECT_EQ(encodeSearchWords("AT&T C# 100% C++ a=b?"), "AT%26T+C%23+100%25+C%2B%2B+a%3Db%3F");
    EXPECT_EQ(encodeQueryField("AT&T C#"), "AT%26T C%23");
    EXPECT_EQ(encodeSearchWords("caf\xC3\xA9"), "caf%C3%A9");
    EXPECT_EQ(encodeQueryField(std::string("a\tb\nc\x7f") + '\0'), "a%09b%0Ac%7F%00");
    EXPECT_EQ(encodeQueryField("rec.games.* <x@y.org>/~'\"!"), "rec.games.* <x@y.org>/~'\"!");
}

TEST(SearchEncoding, TypedTextCannotAddOrChangeKeys) {
    WebSearchFields f;
    f.words = "AT&T num=5#top";
    f.domain = "a.org&safe=on";
    const std::string q = webQuery(f);
    EXPECT_TRUE(has(q, "as_q=AT%26T+num%3D5%23top"));
    EXPECT_TRUE(has(q, "as_sitesearch=a.org%26safe%3Don"));
    EXPECT_TRUE(has(q, "num=10"));
    EXPECT_EQ(q.find('#'), std::string::npos);
}

TEST(SearchEncoding, PlaceholderWordsInTypedTextStayAsTyped) {
    WebSearchFields f;
    f.words = "SAVE THE DATE";
    f.domain = "TEXT1.DOMAIN";
    const std::string q = webQuery(f);
    EXPECT_TRUE(has(q, "as_q=SAVE+THE+DATE"));
    EXPECT_TRUE(has(q, "as_sitesearch=TEXT1.DOMAIN"));
    ImageSearchFields i;
    i.words = "IMAGESIZE";
    EXPECT_TRUE(has(imageQuery(i), "as_q=IMAGESIZE"));
    NewsSearchFields n;
    n.subject = "GROUP";
    n.author = "MESSAGEID";
    EXPECT_TRUE(has(newsQuery(n), "as_usubject=GROUP"));
    EXPECT_TRUE(has(newsQuery(n), "as_uauthors=MESSAGEID"));
}

TEST(NewsSearchAddress, FirstItemsWithTrimmedGroup) {
    NewsSearchFields f;
    f.words = "big cat";
    f.group = "  rec.games.*  ";
    EXPECT_EQ(BuildNewsSearchAddress(f, "groups.google.com"),
              "http://groups.google.com/groups?as_q=big+cat&num=10&as_ugroup=rec.games.*&as_"
              "usubject=&as_uauthors=&as_umsgid=&as_drrb=b&as_qdr=&hl=en");
}

TEST(NewsSearchAddress, TextFieldsKeepInnerSpaces) {
    NewsSearchFields f;
    f.words = "cheap flights";
    f.subject = "cheap flights";
    f.author = " Jo Doe ";
    f.messageId = " <a1@b.example> ";
    const std::string q = newsQuery(f);
    EXPECT_TRUE(has(q, "as_q=cheap+flights"));
    EXPECT_TRUE(has(q, "as_usubject=cheap flights"));
    EXPECT_TRUE(has(q, "as_uauthors=Jo Doe"));
    EXPECT_TRUE(has(q, "as_umsgid=<a1@b.example>"));
}

TEST(NewsSearchAddress, MessageDates) {
    NewsSearchFields f;
    const std::pair<int, const char*> dates[] = {{0, "as_qdr="},  {1, "as_qdr=d"}, {2, "as_qdr=w"},
                                                 {3, "as_qdr=m"}, {6, "as_qdr=y"}, {7, "as_qdr="}};
    for (const auto& [index, pair] : dates) {
        f.dates = index;
        EXPECT_TRUE(has(newsQuery(f), pair)) << index;
    }
}

TEST(NewsSearchAddress, OtherMatchModesAddTheirKeyAndLeaveAsQEmpty) {
    NewsSearchFields f;
    f.words = "big cat";
    const char* keys[] = {"as_epq=big+cat", "as_oq=big+cat", "as_eq=big+cat"};
    for (int mode = 1; mode <= 3; ++mode) {
        f.matchMode = mode;
        const std::string q = newsQuery(f);
        EXPECT_TRUE(q.starts_with("as_q=&")) << mode;
        EXPECT_TRUE(q.ends_with(std::string("&hl=en&") + keys[mode - 1])) << q;
    }
}

TEST(NewsSearchAddress, SortByDateAddsScoring) {
    NewsSearchFields f;
    EXPECT_TRUE(newsQuery(f).ends_with("&hl=en"));
    f.sort = 1;
    EXPECT_TRUE(newsQuery(f).ends_with("&hl=en&scoring=d"));
    f.matchMode = 2;
    f.words = "x";
    EXPECT_TRUE(newsQuery(f).ends_with("&hl=en&as_oq=x&scoring=d"));
}

TEST(ImageSearchAddress, FirstItemsAndTwoWords) {
    ImageSearchFields f;
    f.words = "red car";
    EXPECT_EQ(BuildImageSearchAddress(f, "images.google.com"),
              "http://images.google.com/images?as_q=red+car&svnum=10&hl=en&imgsafe=off&btnG="
              "Google+Search&as_epq=&as_oq=&as_eq=&imgsz=&as_filetype=&imgc=&as_sitesearch=&"
              "imgsafe=off");
}

TEST(ImageSearchAddress, ListChoicesGiveTheirValues) {
    ImageSearchFields f;
    f.size = 1;
    f.fileType = 2;
    f.coloration = 1;
    f.results = 3;
    const std::string q = imageQuery(f);
    for (const char* pair : {"imgsz=icon", "as_filetype=gif", "imgc=mono", "svnum=50"}) {
        EXPECT_TRUE(has(q, pair)) << pair;
    }
    EXPECT_EQ(q.find("&num="), std::string::npos);
    f.size = 5;
    EXPECT_TRUE(has(imageQuery(f), "imgsz=xlarge"));
    f.size = 6;
    EXPECT_TRUE(has(imageQuery(f), "imgsz=xxlarge"));
    EXPECT_EQ(imageQuery(f).find("IMAGESIZE"), std::string::npos);
}

TEST(ImageSearchAddress, ExactPhraseAndDomain) {
    ImageSearchFields f;
    f.words = "red car";
    f.matchMode = 1;
    f.domain = " a b.org";
    const std::string q = imageQuery(f);
    EXPECT_TRUE(has(q, "as_q=") && has(q, "as_epq=red+car"));
    EXPECT_TRUE(has(q, "as_sitesearch= a b.org"));
}

TEST(RelatedQueryAddress, SiteGoesAfterAsRq) {
    EXPECT_EQ(BuildRelatedQueryAddress("www.w3.org", "www.google.com"),
              "http://www.google.com/search?as_rq=www.w3.org");
    EXPECT_EQ(BuildRelatedQueryAddress("", "www.google.com"),
              "http://www.google.com/search?as_rq=");
    EXPECT_EQ(BuildRelatedQueryAddress("a.example?x=1&y", "SITE.example"),
              "http://SITE.example/search?as_rq=a.example%3Fx%3D1%26y");
}

class SearchHostsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("surfdeck-hosts-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir_);
        ini_ = (dir_ / "conf.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    std::string ini_;
};

TEST_F(SearchHostsTest, DefaultsWithoutTheKeys) {
    const SearchHosts hosts = readSearchHosts(ini_);
    EXPECT_EQ(hosts.web, "www.google.com");
    EXPECT_EQ(hosts.groups, "groups.google.com");
    EXPECT_EQ(hosts.images, "images.google.com");
}

TEST_F(SearchHostsTest, ReadsTheSearchSectionAndIgnoresEmptyValues) {
    WriteIni("Search", "WebHost", "localhost:8080", ini_);
    WriteIni("Search", "GroupsHost", "", ini_);
    WriteIni("Search", "ImagesHost", "img.example", ini_);
    const SearchHosts hosts = readSearchHosts(ini_);
    EXPECT_EQ(hosts.web, "localhost:8080");
    EXPECT_EQ(hosts.groups, "groups.google.com");
    EXPECT_EQ(hosts.images, "img.example");
}

}  // namespace
}  // namespace surfdeck
