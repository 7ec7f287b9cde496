#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "search/RecentList.h"
#include "shell/Settings.h"
#include "shell/TempFolder.h"

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
