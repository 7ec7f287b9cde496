#include <gtest/gtest.h>

#include <string>

#include "related/PageAddress.h"

namespace surfdeck {
namespace {

TEST(WebAddress, ResolvedAgainstTheBaseAndOnlyHttpHttpsFtpKept) {
    const std::string base = "http://answer.example/dir/search?q=1#top";
    const char* cases[][2] = {
        {"http://a.example/x", "http://a.example/x"},
        {"HTTPS://a.example/", "https://a.example/"},
        {"  \t ftp://a.example/\n", "ftp://a.example/"},
        {"ht\ttp://a.example/", "http://a.example/"},
        {"&#104;ttp://a.example/", "http://a.example/"},
        {"//host.example/p", "http://host.example/p"},
        {"\\\\host.example\\p", "http://host.example/p"},
        {"/root", "http://answer.example/root"},
        {"page.htm", "http://answer.example/dir/page.htm"},
        {"?q=2", "http://answer.example/dir/search?q=2"},
        {"#frag", "http://answer.example/dir/search?q=1#frag"},
        {"", "http://answer.example/dir/search?q=1"},
        {"a&amp;b", "http://answer.example/dir/a&b"},
        // Anything that is not a web page, however it is written.
        {"file:///etc/passwd", ""},
        {"FILE://host/share", ""},
        {"chrome://settings/", ""},
        {"about:blank", ""},
        {"view-source:http://a.example/", ""},
        {"javascript:alert(1)", ""},
        {"\x01javascript:alert(1)", ""},
        {"jav&#x61;script:alert(1)", ""},
        {"data:text/html,x", ""},
        {"mailto:a@b.example", ""},
        {"&#102;&#105;&#108;&#101;:///etc/passwd", ""},
        {"filesystem:http://a.example/temporary/x", ""},
    };
    for (const auto& [href, expected] : cases) EXPECT_EQ(webAddress(href, base), expected) << href;
}

TEST(WebAddress, RelativeAddressesNeedAWebBase) {
    for (const char* base : {"", "file:///opt/surfdeck/g1.htm", "about:blank", "chrome://x/",
                             "javascript:x", "no scheme"}) {
        EXPECT_EQ(webAddress("//host.example/", base), "") << base;
        EXPECT_EQ(webAddress("page.htm", base), "") << base;
        EXPECT_EQ(webAddress("http://a.example/", base), "http://a.example/") << base;
    }
    // A scheme-relative address takes a file base's scheme: that is just what must not open.
    EXPECT_EQ(resolveAddress("//host/share", "file:///opt/g1.htm"), "file://host/share");
}

TEST(WebAddress, ABrowsersOwnAddressIsCheckedWithoutDecodingIt) {
    const std::pair<const char*, bool> cases[] = {
        {"http://a.example/?q=a&lt;b", true}, {"https://a.example/", true},
        {"ftp://a.example/", true},           {" \thttp://a.example/", true},
        {"file:///etc/passwd", false},        {"chrome://settings/", false},
        {"&#104;ttp://a.example/", false},    {"//host/", false},
        {"java\nscript:alert(1)", false},     {"", false}};
    for (const auto& [address, web] : cases) EXPECT_EQ(isWebAddress(address), web) << address;
}

TEST(AnswerBase, TheFirstBaseElementWithAnAddressElseThePagesOwn) {
    const std::string page = "http://answer.example/search?q=x";
    const char* cases[][2] = {
        {"<body><p>no base</p>", "http://answer.example/search?q=x"},
        {"<BASE HREF=\"http://b.example/dir/\">", "http://b.example/dir/"},
        {"<base target=_top><base href='/other/'>", "http://answer.example/other/"},
        {"<basefont href=http://no.example/><base href=sub/>", "http://answer.example/sub/"},
        {"<base href=file:///etc/>", "file:///etc/"},
        {"<base href=", "http://answer.example/search?q=x"},
    };
    for (const auto& [markup, expected] : cases)
        EXPECT_EQ(answerBase(markup, page), expected) << markup;
    // The base's own scheme decides: links under a file base are no web pages.
    EXPECT_EQ(webAddress("x.htm", answerBase("<base href=file:///etc/>", page)), "");
}

TEST(LogText, OneLineOfBoundedLength) {
    EXPECT_EQ(logText("a\r\nb\x7f"), "a  b ");
    EXPECT_EQ(logText(std::string(300, 'x')), std::string(200, 'x') + "...");
}

}  // namespace
}  // namespace surfdeck
