#include <gtest/gtest.h>

#include <random>
#include <string>

#include "shell/Settings.h"
#include "shell/TempFolder.h"

namespace surfdeck {
namespace {

using namespace std::string_literals;
using testing::TempFolder;
using testing::writeBytes;

class ReadIniTest : public ::testing::Test {
  protected:
    std::string read(const std::string& section, const std::string& key,
                     const std::string& def = "DEF") {
        return ReadIni(section, key, def, path);
    }
    void store(const std::string& bytes) { writeBytes(path, bytes); }

    TempFolder folder;
    std::string path = settingsPath(folder.path());
};

TEST_F(ReadIniTest, PathIsTheProgramFolderOneSeparatorAndTheName) {
    EXPECT_EQ(settingsPath("/opt/surfdeck"), "/opt/surfdeck/conf.ini");
    EXPECT_EQ(programFile("/opt/surfdeck", "log.txt"), "/opt/surfdeck/log.txt");
}

TEST_F(ReadIniTest, MissingFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(read("MainWindow", "top", "100"), "100");
    store("[MainWindow]\r\nleft=5\r\n");
    EXPECT_EQ(read("MainWindow", "top", "100"), "100");
    EXPECT_EQ(read("General", "left", "7"), "7");
}

TEST_F(ReadIniTest, SectionAndKeyNamesIgnoreLetterCase) {
    store("[MAINwindow]\r\nTop=1515\r\n");
    EXPECT_EQ(read("MainWindow", "top"), "1515");
    EXPECT_EQ(read("mainwindow", "TOP"), "1515");
}

TEST_F(ReadIniTest, ValueIsEverythingAfterTheFirstEqualsWithBlanksRemoved) {
    store("[S]\r\n  spaced \t= \t a = b \t \r\nurl=http://x/?q=1&r=2\r\n");
    EXPECT_EQ(read("S", "spaced"), "a = b");
    EXPECT_EQ(read("S", "url"), "http://x/?q=1&r=2");
}

TEST_F(ReadIniTest, EightBitBytesComeBackAsTheyAre) {
    const std::string value = "caf\xE9;na\xEFve;\x80\xFF\xA0";
    store("[Recent]\r\nRecentWebText=" + value + "\r\n");
    EXPECT_EQ(read("Recent", "RecentWebText"), value);
}

TEST_F(ReadIniTest, LongValuesAndDefaultsAreCutTo248Characters) {
    const std::string longValue(300, 'x');
    store("[Recent]\r\nRecentWebText=" + longValue + "\r\n");
    EXPECT_EQ(read("Recent", "RecentWebText"), longValue.substr(0, 248));
    EXPECT_EQ(read("Recent", "absent", std::string(300, 'd')), std::string(248, 'd'));
    EXPECT_EQ(ReadIni("S", "k", std::string(249, 'd'), folder.file("none.ini")).size(), 248u);
}

TEST_F(ReadIniTest, PresentEmptyValueIsEmptyNotTheDefault) {
    store("[Recent]\r\nRecentWebText=\r\nblanks= \t \r\n");
    EXPECT_EQ(read("Recent", "RecentWebText", "fallback"), "");
    EXPECT_EQ(read("Recent", "blanks", "fallback"), "");
}

TEST_F(ReadIniTest, EveryReadAsksTheFile) {
    store("[S]\r\nk=1\r\n");
    EXPECT_EQ(read("S", "k"), "1");
    store("[S]\r\nk=2\r\n");
    EXPECT_EQ(read("S", "k"), "2");
}

TEST_F(ReadIniTest, AFileThatCannotBeReadGivesTheDefault) {
    std::filesystem::create_directory(path);  // conf.ini is a folder
    EXPECT_EQ(read("S", "k", "d"), "d");
    EXPECT_EQ(ReadIni("S", "k", "d", folder.file("no/such/folder/conf.ini")), "d");
}

TEST_F(ReadIniTest, CrLfAndLfLinesBothRead) {
    store("[A]\r\na=1\r\n[B]\nb=2\n[C]\r\nc=3");
    EXPECT_EQ(read("A", "a"), "1");
    EXPECT_EQ(read("B", "b"), "2");
    EXPECT_EQ(read("C", "c"), "3");
}

TEST_F(ReadIniTest, ByteOrderMarkBeforeTheFirstSectionIsSkipped) {
    store("\xEF\xBB\xBF[MainWindow]\r\ntop=3000\r\n");
    EXPECT_EQ(read("MainWindow", "top"), "3000");
}

TEST_F(ReadIniTest, NulBytesEndAValueAndDoNotStopTheRest) {
    store("[S]\r\nk=ab\0cd\r\n\0\0junk\0=\0\r\nnext=ok\r\n"s);
    EXPECT_EQ(read("S", "k"), "ab");
    EXPECT_EQ(read("S", "next"), "ok");
}

TEST_F(ReadIniTest, MegabytesOfGarbageReadWithoutACrash) {
    std::mt19937 random(7);
    std::string garbage(4 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    store(garbage + "\r\n[S]\r\nk=found\r\n");
    EXPECT_EQ(read("S", "k"), "found");
    EXPECT_EQ(read("Other", "k", "d"), "d");
}

TEST_F(ReadIniTest, LinesWithoutEqualsAndCommentsAreNotKeys) {
    store("[S]\r\njunk line\r\n;k=commented\r\nk=1\r\n");
    EXPECT_EQ(read("S", "junk line", "d"), "d");
    EXPECT_EQ(read("S", "k"), "1");
}

TEST_F(ReadIniTest, OddSectionAndKeyNamesRead) {
    store("[ Web Search/\xFC.1 ]\r\nx-y z.\xE9 = v\r\n[unclosed\r\nq=2\r\n");
    EXPECT_EQ(read("Web Search/\xFC.1", "x-y z.\xE9"), "v");
    EXPECT_EQ(read("unclosed", "q"), "2");
}

TEST_F(ReadIniTest, FirstSectionAndFirstKeyOfANameWin) {
    store("[S]\r\nk=first\r\nk=second\r\n[s]\r\nk=third\r\nonly=later\r\n");
    EXPECT_EQ(read("S", "k"), "first");
    EXPECT_EQ(read("S", "only", "d"), "d");
}

TEST_F(ReadIniTest, KeysBeforeAnySectionBelongToNone) {
    store("k=loose\r\n[S]\r\nother=1\r\n");
    EXPECT_EQ(read("S", "k", "d"), "d");
}

}  // namespace
}  // namespace surfdeck
