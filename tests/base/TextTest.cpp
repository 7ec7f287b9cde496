#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "base/ErrorText.h"
#include "base/Text.h"
#include "ports/Automation.h"

using namespace surfdeck;

namespace {

constexpr auto npos = std::string_view::npos;

TEST(FindNoCase, FindsMarkersInAnyCaseAndNothingPastTheEnd) {
    struct Case {
        std::string_view text, needle;
        std::size_t from, at;
    };
    const Case cases[] = {
        {"<BODY><a HREF=x>", "<body", 0, 0},
        {"<BODY><a HREF=x>", "href=", 0, 9},
        {"<a href=1><A HREF=2>", "href", 4, 13},
        {"abc", "abcd", 0, npos},                 // needle longer than the text
        {"abc", "c", 3, npos},                    // from at the end
        {"abc", "a", 7, npos},                    // from past the end
        {"abc", "", 2, 2},                        // an empty needle stands anywhere
        {"x=1;y=2", "=", 2, 5},                   // no letters: the fast path
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9", 0, 3},  // other bytes compare as they are
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findNoCase(c.text, c.needle, c.from), c.at) << c.text << " / " << c.needle;
    }
}

TEST(CaseHelpers, FoldOnlyAsciiLetters) {
    EXPECT_TRUE(equalsNoCase("ReCeNt", "recent"));
    EXPECT_FALSE(equalsNoCase("recent", "recent "));
    EXPECT_FALSE(equalsNoCase("[", "{"));  // 0x5B and 0x7B differ by the case bit only
    EXPECT_TRUE(startsWithNoCase("HTTP://a/", "http://"));
    EXPECT_FALSE(startsWithNoCase("http:", "http://"));
    EXPECT_EQ(lowerAscii("A\xC3\x89Z@"), "a\xC3\x89z@");
}

TEST(Trim, RemovesOnlyTheGivenBlanksAtBothEnds) {
    EXPECT_EQ(trim("  a b  "), "a b");
    EXPECT_EQ(trim("\t a \t"), "\t a \t");
    EXPECT_EQ(trim("\t a \t", " \t"), "a");
    EXPECT_EQ(trim("    "), "");
    EXPECT_EQ(trim(""), "");
}

TEST(HtmlEscaping, EscapesMarkupAndKeepsWellFormedReferencesOnlyWhenAsked) {
    EXPECT_EQ(htmlEscaped("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    EXPECT_EQ(htmlEscaped("a &amp; b &#39; &#x27;"), "a &amp;amp; b &amp;#39; &amp;#x27;");
    EXPECT_EQ(htmlEscaped("a &amp; b &#39; &#x27;", true), "a &amp; b &#39; &#x27;");
    // Not references: no name, no digits, no closing ";".
    EXPECT_EQ(htmlEscaped("& &; &#; &#x; &amp", true), "&amp; &amp;; &amp;#; &amp;#x; &amp;amp");
}

TEST(ErrorLogText, NumberThenDescriptionForEveryError) {
    EXPECT_EQ(errorLogText(AutomationError(-2147467259, "Unspecified error")),
              "-2147467259Unspecified error");
    EXPECT_EQ(errorLogText(std::runtime_error("lost")), "5lost");
}

}  // namespace
