#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "search/RecentList.h"
#include "shell/Settings.h"

namespace surfdeck {
namespace {

using Items = std::vector<std::string>;

std::string added(std::string list, const std::string& entry, std::int32_t limit = 10) {
    AddToRecent(entry, list, limit);
    return list;
}

TEST(AddToRecent, PutsTheTrimmedEntryFirst) {
    EXPECT_EQ(added("", "cat"), "cat;");
    EXPECT_EQ(added("cat;", "dog"), "dog;cat;");
    EXPECT_EQ(added("", "  cat  "), "cat;");
    // Only spaces are trimmed.
    EXPECT_EQ(added("", "\tcat "), "\tcat;");
}

TEST(AddToRecent, EmptyOrBlankEntryLeavesTheListAlone) {
    EXPECT_EQ(added("dog;cat", ""), "dog;cat");
    EXPECT_EQ(added("dog;cat", "    "), "dog;cat");
}

TEST(AddToRecent, OlderCopyInAnotherCaseGivesWayToTheNewOne) {
    EXPECT_EQ(added("Dog;cat;", "DOG"), "DOG;cat;");
    EXPECT_EQ(added("a;CAT;b;cat;", "Cat"), "Cat;a;b;");
}

TEST(AddToRecent, OnlyWholeEntriesCountAsCopies) {
    EXPECT_EQ(added("big cat;", "cat"), "cat;big cat;");
    EXPECT_EQ(added("a;big cat", "cat"), "cat;a;big cat");
}

TEST(AddToRecent, RemovingTheLastElementKeepsTheSemicolonInFrontOfIt) {
    EXPECT_EQ(added("dog;cat", "cat", 3), "cat;dog;");
    EXPECT_EQ(added("cat", "cat"), "cat;");
}

TEST(AddToRecent, CutsToTheLengthWithoutAFinalSemicolon) {
    std::string list = "c;b;a;";
    AddToRecent("d", list, 3);
    EXPECT_EQ(list, "d;c;b");
    AddToRecent("e", list, 3);
    EXPECT_EQ(list, "e;d;c");
    EXPECT_EQ(added("a;b;", "c", 3), "c;a;b");
    EXPECT_EQ(added("a;b;c", "z", 1), "z");
}

TEST(AddToRecent, LengthAbsentOrBelowOneKeepsTen) {
    std::string list;
    for (char c = 'a'; c <= 'l'; ++c) AddToRecent(std::string(1, c), list, 0);
    EXPECT_EQ(list, "l;k;j;i;h;g;f;e;d;c");
    EXPECT_EQ(added("j;i;h;g;f;e;d;c;b;a", "k", -5), "k;j;i;h;g;f;e;d;c;b");
}

TEST(AddToRecent, AnEntryHoldingASemicolonComesBackAsTwoItems) {
    EXPECT_EQ(FillRecentCombo(added("", "a;b")), (Items{"a", "b"}));
}

TEST(FillRecentCombo, GivesTheNonEmptyElementsInOrder) {
    EXPECT_EQ(FillRecentCombo("dog;cat;"), (Items{"dog", "cat"}));
    EXPECT_EQ(FillRecentCombo("dog;cat"), (Items{"dog", "cat"}));
    EXPECT_EQ(FillRecentCombo("a;;b;"), (Items{"a", "b"}));
    EXPECT_EQ(FillRecentCombo(" a ;a"), (Items{" a ", "a"}));
    EXPECT_EQ(FillRecentCombo(""), Items{});
    EXPECT_EQ(FillRecentCombo(";"), Items{});
}

class SaveRecentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("surfdeck-recent-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                std::to_string(std::random_device{}()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        ini_ = (dir_ / "conf.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string read(const std::string& key) { return ReadIni("Recent", key, "", ini_); }

    std::filesystem::path dir_;
    std::string ini_;
};

TEST_F(SaveRecentTest, WritesTheListUnderItsKey) {
    SaveRecent("RecentWebText", "dog;cat;", ini_);
    SaveRecent("RecentWebDomain", "a.org", ini_);
    EXPECT_EQ(read("RecentWebText"), "dog;cat;");
    EXPECT_EQ(read("RecentWebDomain"), "a.org");
    SaveRecent("RecentWebText", "", ini_);
    EXPECT_EQ(read("RecentWebText"), "");
}

TEST_F(SaveRecentTest, LongListIsCutBetweenEntriesSoItReadsBackWhole) {
    std::string list;
    for (int i = 0; i < 30; ++i) list += "entry number " + std::to_string(i) + ";";
    ASSERT_GT(list.size(), kRecentStoredMax);
    SaveRecent("RecentGroupText", list, ini_);
    const std::string back = read("RecentGroupText");
    EXPECT_LE(back.size(), kRecentStoredMax);
    EXPECT_EQ(list.rfind(back + ";", 0), 0u);  // a prefix of whole entries
    const std::string rest = list.substr(back.size() + 1);
    const std::string next = rest.substr(0, rest.find(';'));
    EXPECT_GT(back.size() + 1 + next.size(), kRecentStoredMax);
}

TEST_F(SaveRecentTest, EntryTooLongToStoreIsLeftOutAndTheRestKept) {
    const std::string list = std::string(300, 'x') + ";dog;;cat;";
    EXPECT_EQ(recentValueToStore(list), "dog;cat");
    SaveRecent("RecentImageText", list, ini_);
    EXPECT_EQ(read("RecentImageText"), "dog;cat");
}

TEST_F(SaveRecentTest, ListOfExactlyTheStoredMaximumIsKeptAsItIs) {
    const std::string list = std::string(kRecentStoredMax - 1, 'a') + ";";
    EXPECT_EQ(recentValueToStore(list), list);
    const std::string over = std::string(kRecentStoredMax, 'a') + ";";
    EXPECT_EQ(recentValueToStore(over), std::string(kRecentStoredMax, 'a'));
}

}  // namespace
}  // namespace surfdeck
