#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "search/RecentList.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using Items = std::vector<std::string>;

TEST(AddToRecent, PutsTheEntryFirstAndKeepsAtMostTheLengthOfElements) {
    const struct {
        const char *list, *entry;
        std::int32_t length;
        const char* expected;
    } cases[] = {
        {"", "cat", 10, "cat;"},
        {"cat;", "dog", 10, "dog;cat;"},
        {"", "  cat  ", 10, "cat;"},
        {"", "\tcat ", 10, "\tcat;"},  // only spaces are trimmed
        {"dog;cat", "", 10, "dog;cat"},
        {"dog;cat", "    ", 10, "dog;cat"},
        {"Dog;cat;", "DOG", 10, "DOG;cat;"},  // the older copy in another case gives way
        {"a;CAT;b;cat;", "Cat", 10, "Cat;a;b;"},
        {"big cat;", "cat", 10, "cat;big cat;"},  // only whole entries are copies
        {"a;big cat", "cat", 10, "cat;a;big cat"},
        {"dog;cat", "cat", 3, "cat;dog;"},  // the ";" in front of a removed last element stays
        {"cat", "cat", 10, "cat;"},
        {"c;b;a;", "d", 3, "d;c;b"},  // cut without a final ";"
        {"d;c;b", "e", 3, "e;d;c"},
        {"a;b;", "c", 3, "c;a;b"},
        {"a;b;c", "z", 1, "z"},
        {"j;i;h;g;f;e;d;c;b;a", "k", 0, "k;j;i;h;g;f;e;d;c;b"},  // below 1: ten
        {"j;i;h;g;f;e;d;c;b;a", "k", -5, "k;j;i;h;g;f;e;d;c;b"},
    };
    for (const auto& c : cases) {
        std::string list = c.list;
        AddToRecent(c.entry, list, c.length);
        EXPECT_EQ(list, c.expected) << '"' << c.list << "\" + \"" << c.entry << "\", " << c.length;
    }
}

TEST(AddToRecent, IgnoresCaseInEveryAlphabet) {
    std::string list = "caf\xC3\xA9;\xC3\x86r\xC3\xB8;Dog;";  // café;Ærø;Dog;
    for (const char* entry : {"CAF\xC3\x89", "\xC3\xA6r\xC3\xB8", "DOG"})
        AddToRecent(entry, list, 10);
    EXPECT_EQ(list, "DOG;\xC3\xA6r\xC3\xB8;CAF\xC3\x89;");

    const struct {
        const char *stored, *typed, *what;
    } copies[] = {
        {"\xCE\xB1\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1", "\xCE\x91\xCE\x98\xCE\x89\xCE\x9D\xCE\x91",
         "Greek, accented capital"},
        {"\xCF\x83\xCE\xBF\xCF\x86\xCF\x8C\xCF\x82", "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8C\xCE\xA3",
         "Greek final sigma"},
        {"\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
         "\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90", "Cyrillic"},
        {"\xD1\x97\xD0\xB6\xD0\xB0", "\xD0\x87\xD0\x96\xD0\x90",
         "Cyrillic beyond the basic letters"},
        {"\xD5\xA1\xD6\x80", "\xD4\xB1\xD5\x90", "Armenian"},
        {"\xC5\x82\xC3\xB3\x64\xC5\xBA", "\xC5\x81\xC3\x93\x44\xC5\xB9", "Latin Extended-A"},
        {"\xE1\xBA\xA1", "\xE1\xBA\xA0", "Vietnamese"},
        {"k", "\xE2\x84\xAA", "Kelvin sign, longer than its fold"},
        {"\xF0\x90\x90\xA8", "\xF0\x90\x90\x80", "Deseret, outside the first plane"},
        {"\xEF\xBD\x81", "\xEF\xBC\xA1", "full-width"},
    };
    for (const auto& c : copies) {
        std::string stored = std::string(c.stored) + ";x;";
        AddToRecent(c.typed, stored, 10);
        EXPECT_EQ(stored, std::string(c.typed) + ";x;") << c.what;
    }
}

TEST(AddToRecent, KeepsLettersThatOnlyLookAlikeAndSurvivesInvalidText) {
    const struct {
        const char *list, *entry, *expected;
    } cases[] = {
        // Latin A and Cyrillic A, e and e with acute: different letters.
        {"\xD0\x90;", "a", "a;\xD0\x90;"},
        {"cafe;", "caf\xC3\xA9", "caf\xC3\xA9;cafe;"},
        // 8-bit bytes, cut sequences, overlong forms: each byte equals only itself.
        {"caf\xE9;", "CAF\xE9", "CAF\xE9;"},
        {"caf\xE9;", "CAF\xC9", "CAF\xC9;caf\xE9;"},
        {"ab\xC3;x;", "AB\xC3", "AB\xC3;x;"},
        {"\xC1\x81;", "\xC1\xA1", "\xC1\xA1;\xC1\x81;"},
        {"\xE2\x84;", "\xE2\x84\xAA", "\xE2\x84\xAA;\xE2\x84;"},
        {"\xF4\x90\x80\x80;", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80;"},
    };
    for (const auto& c : cases) {
        std::string list = c.list;
        AddToRecent(c.entry, list, 10);
        EXPECT_EQ(list, c.expected) << c.list << " + " << c.entry;
    }
}

TEST(FillRecentCombo, GivesTheNonEmptyElementsInOrder) {
    EXPECT_EQ(FillRecentCombo("dog;cat;"), (Items{"dog", "cat"}));
    EXPECT_EQ(FillRecentCombo("dog;cat"), (Items{"dog", "cat"}));
    EXPECT_EQ(FillRecentCombo("a;;b;"), (Items{"a", "b"}));
    EXPECT_EQ(FillRecentCombo(" a ;a"), (Items{" a ", "a"}));
    EXPECT_EQ(FillRecentCombo(""), Items{});
    EXPECT_EQ(FillRecentCombo(";"), Items{});
    // An entry typed with a ";" comes back as two items.
    std::string list;
    AddToRecent("a;b", list, 10);
    EXPECT_EQ(FillRecentCombo(list), (Items{"a", "b"}));
}

TEST(SaveRecent, WritesTheListUnderItsKeyCutBetweenEntriesSoItReadsBackWhole) {
    testing::TempFolder folder;
    const std::string ini = settingsPath(folder.path());
    const auto saved = [&](const std::string& key, const std::string& list) {
        SaveRecent(key, list, ini);
        return ReadIni("Recent", key, "DEF", ini);
    };
    EXPECT_EQ(saved("RecentWebText", "dog;cat;"), "dog;cat;");
    EXPECT_EQ(saved("RecentWebDomain", "a.org"), "a.org");
    EXPECT_EQ(saved("RecentWebText", ""), "");

    std::string list;
    for (int i = 0; i < 30; ++i) list += "entry number " + std::to_string(i) + ";";
    const std::string back = saved("RecentGroupText", list);
    ASSERT_LE(back.size(), kRecentStoredMax);
    EXPECT_EQ(list.rfind(back + ";", 0), 0u);  // a prefix of whole entries
    const std::string rest = list.substr(back.size() + 1);
    EXPECT_GT(back.size() + 1 + rest.find(';'), kRecentStoredMax);  // the next one did not fit
}

// The newest entries that fit in what ReadIni gives back, in order and whole.
TEST(SaveRecent, StoredValueIsCutAfterTheLastEntryThatFits) {
    const std::string a(200, 'a'), b(40, 'b'), c(10, 'c');
    const std::pair<std::string, std::string> cases[] = {
        {std::string(kRecentStoredMax - 1, 'a') + ";",
         std::string(kRecentStoredMax - 1, 'a') + ";"},
        {std::string(kRecentStoredMax, 'a') + ";", std::string(kRecentStoredMax, 'a')},
        {a + ";" + b + ";" + c + ";d;", a + ";" + b},  // 252 with c; d is older than c
        {a + ";" + std::string(47, 'b') + ";c", a + ";" + std::string(47, 'b')},  // exactly 248
        {std::string(300, 'x') + ";dog;;cat;", "dog;cat"},
    };
    for (const auto& [list, stored] : cases) EXPECT_EQ(recentValueToStore(list), stored) << list;
}

}  // namespace
}  // namespace surfdeck
