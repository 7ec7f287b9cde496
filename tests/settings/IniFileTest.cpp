#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::readBytes;
using testing::writeBytes;

class SettingsFile : public ::testing::Test {
  protected:
    std::string read(const std::string& section, const std::string& key) {
        return ReadIni(section, key, "DEF", path);
    }
    void write(const std::string& section, const std::string& key, const std::string& value) {
        WriteIni(section, key, value, path);
    }
    // Files beside conf.ini other than its lock file, which stays once made.
    long filesInFolder() {
        long n = 0;
        for (const auto& entry : fs::directory_iterator(folder.path()))
            n += entry.path().filename() != "conf.ini.lock";
        return n;
    }

    testing::TempFolder folder;
    std::string path = settingsPath(folder.path());
};

TEST_F(SettingsFile, PathIsTheProgramFolderOneSeparatorAndTheName) {
    EXPECT_EQ(settingsPath("/opt/surfdeck"), "/opt/surfdeck/conf.ini");
    EXPECT_EQ(programFile("/opt/surfdeck", "log.txt"), "/opt/surfdeck/log.txt");
}

// Reading

TEST_F(SettingsFile, ReadFollowsEachRule) {
    const struct {
        const char* rule;
        std::string file;
        const char *section, *key;
        std::string expected;
    } cases[] = {
        {"missing key", "[MainWindow]\r\nleft=5\r\n", "MainWindow", "top", "DEF"},
        {"missing section", "[MainWindow]\r\nleft=5\r\n", "General", "left", "DEF"},
        {"names ignore case", "[MAINwindow]\r\nTop=1515\r\n", "mainwindow", "TOP", "1515"},
        {"after the first =, blanks cut", "[S]\r\n  k \t= \t a = b \t \r\n", "S", "k", "a = b"},
        {"8-bit bytes", "[R]\r\nk=caf\xE9;\x80\xFF\xA0\r\n", "R", "k", "caf\xE9;\x80\xFF\xA0"},
        {"cut to 248", "[R]\r\nk=" + std::string(300, 'x'), "R", "k", std::string(248, 'x')},
        {"present but empty", "[R]\r\nk=\r\n", "R", "k", ""},
        {"only blanks", "[R]\r\nk= \t \r\n", "R", "k", ""},
        {"LF lines", "[A]\na=1\n[B]\nb=2\n", "B", "b", "2"},
        {"last line without ending", "[A]\r\na=1\r\n[C]\r\nc=3", "C", "c", "3"},
        {"byte-order mark", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "1"},
        {"NUL ends a value", "[S]\r\nk=ab\0cd\r\n"s, "S", "k", "ab"},
        {"NUL line", "[S]\r\n\0\0junk\0=\0\r\nk=ok\r\n"s, "S", "k", "ok"},
        {"line without =", "[S]\r\njunk line\r\n", "S", "junk line", "DEF"},
        {"comment", "[S]\r\n;k=1\r\n", "S", ";k", "DEF"},
        {"odd names", "[ Web/\xFC.1 ]\r\nx-y z.\xE9 = v\r\n", "Web/\xFC.1", "x-y z.\xE9", "v"},
        {"unclosed section", "[unclosed\r\nq=2\r\n", "unclosed", "q", "2"},
        {"first key wins", "[S]\r\nk=first\r\nk=second\r\n", "S", "k", "first"},
        {"first section wins", "[S]\r\nk=1\r\n[s]\r\nonly=later\r\n", "S", "only", "DEF"},
        {"key before any section", "k=loose\r\n[S]\r\n", "S", "k", "DEF"},
    };
    for (const auto& c : cases) {  // one file rewritten for each: no read may be cached
        writeBytes(path, c.file);
        EXPECT_EQ(read(c.section, c.key), c.expected) << c.rule;
    }
}

TEST_F(SettingsFile, ReadGivesTheDefaultCutTo248WhenTheFileCannotBeRead) {
    EXPECT_EQ(ReadIni("S", "k", "100", path), "100");
    EXPECT_EQ(ReadIni("S", "k", std::string(300, 'd'), path), std::string(248, 'd'));
    EXPECT_EQ(ReadIni("S", "k", "d", folder.file("no/such/folder/conf.ini")), "d");
    fs::create_directory(path);  // conf.ini is a folder
    EXPECT_EQ(read("S", "k"), "DEF");
}

// Writing

TEST_F(SettingsFile, WriteChangesOnlyWhatTheKeyNeeds) {
    const struct {
        const char* rule;
        std::string before;
        const char *section, *key, *value;
        std::string after;
    } cases[] = {
        {"replaced in place, the file's spelling and every other byte kept",
         "; mine\r\n[MainWindow]\r\nTop=1\nLeft = 2\r\n\r\n[General]\r\nAlwaysOnTop=1\r\n",
         "mainwindow", "LEFT", "6000",
         "; mine\r\n[MainWindow]\r\nTop=1\nLeft =6000\r\n\r\n[General]\r\nAlwaysOnTop=1\r\n"},
        {"last line keeps having no ending", "[S]\r\nk=old", "S", "k", "new", "[S]\r\nk=new"},
        {"new key after the last key of its section",
         "[MainWindow]\r\nTop=1\r\nLeft=2\r\n\r\n; General\r\n[General]\r\n", "MainWindow", "view",
         "v", "[MainWindow]\r\nTop=1\r\nLeft=2\r\nview=v\r\n\r\n; General\r\n[General]\r\n"},
        {"new key in an empty section", "[Recent]\r\n\r\n[General]\r\n", "Recent", "RecentWebText",
         "a;b", "[Recent]\r\nRecentWebText=a;b\r\n\r\n[General]\r\n"},
        {"new key after a last line without ending", "[S]\nk=1", "S", "j", "2", "[S]\nk=1\nj=2\n"},
        {"new section at the end", "[MainWindow]\r\nTop=1\r\n", "WebSearchWindow", "Top", "500",
         "[MainWindow]\r\nTop=1\r\n[WebSearchWindow]\r\nTop=500\r\n"},
        {"new lines in the file's own ending", "[MainWindow]\nTop=1", "General", "AlwaysOnTop", "0",
         "[MainWindow]\nTop=1\n[General]\nAlwaysOnTop=0\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[S]\r\nk=1\r\n", "S", "k", "2",
         "\xEF\xBB\xBF[S]\r\nk=2\r\n"},
        {"8-bit value byte for byte", "", "Recent", "RecentWebText", "m\xFCller;caf\xE9",
         "[Recent]\r\nRecentWebText=m\xFCller;caf\xE9\r\n"},
        {"line breaks in a value cannot add lines", "[S]\r\nk=1\r\n", "S", "k", "a\r\n[Other]\nb=c",
         "[S]\r\nk=a  [Other] b=c\r\n"},
    };
    for (const auto& c : cases) {
        fs::remove(path);
        if (!c.before.empty()) writeBytes(path, c.before);
        write(c.section, c.key, c.value);
        EXPECT_EQ(readBytes(path), c.after) << c.rule;
    }
}

TEST_F(SettingsFile, NamesThatWouldBreakTheFileAreNotWritten) {
    writeBytes(path, "[S]\r\nk=1\r\n");
    for (const char* key : {"a=b", "[T]", ";k", "k\nj", " "}) write("S", key, "x");
    for (const char* section : {"S]x", ""}) write(section, "k", "x");
    EXPECT_EQ(readBytes(path), "[S]\r\nk=1\r\n");
}

TEST_F(SettingsFile, FirstWriteCreatesTheFileAndTopReadsBackAsTop) {
    write("MainWindow", "Top", "3000");
    write("MainWindow", "Left", "-30");
    EXPECT_EQ(read("MainWindow", "top"), "3000");
    EXPECT_EQ(read("MainWindow", "left"), "-30");
    write("MainWindow", "Top", "10");  // replaces rather than adding a second key
    EXPECT_EQ(readBytes(path), "[MainWindow]\r\nTop=10\r\nLeft=-30\r\n");
    EXPECT_EQ(filesInFolder(), 1);  // no temporary file left beside it
}

TEST_F(SettingsFile, OddFilesReadAndKeepEveryOtherByte) {
    std::mt19937 random(11);
    std::string garbage(2 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    const std::string before =
        "\xEF\xBB\xBFjunk without equals\r\n\0\0=\0\n[odd \xFF]\r\nx=1\r\n"s + garbage;
    writeBytes(path, before);
    EXPECT_EQ(read("S", "k"), "DEF");
    write("S", "k", "v");
    const std::string after = readBytes(path);
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(read("S", "k"), "v");
    EXPECT_EQ(read("odd \xFF", "x"), "1");
}

TEST_F(SettingsFile, WriteThatCannotHappenIsLostSilently) {
    WriteIni("S", "k", "v", folder.file("gone/conf.ini"));
    EXPECT_FALSE(fs::exists(folder.file("gone")));
    fs::create_directory(path);
    EXPECT_EQ(read("S", "k"), "DEF");
    write("S", "k", "v");
    EXPECT_TRUE(fs::is_directory(path));
    fs::remove(path);
    // Only a folder in the settings file's place was worth a line, and only once.
    EXPECT_EQ(readBytes(folder.file("log.txt")),
              "Cannot read " + path + ": not a regular file\r\n");
    fs::remove(folder.file("log.txt"));

    writeBytes(path, "[S]\r\nk=1\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    write("S", "k", "2");
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    write("S", "k", "2");
    EXPECT_EQ(readBytes(path), "[S]\r\nk=1\r\n");
    EXPECT_EQ(filesInFolder(), 1);
}

TEST_F(SettingsFile, ReplacementKeepsTheLinkAndTheFilesPermissions) {
    const std::string real = folder.file("real.ini");
    writeBytes(real, "[S]\r\nk=1\r\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, path);
    write("S", "k", "2");
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(readBytes(real), "[S]\r\nk=2\r\n");
    EXPECT_EQ(fs::status(real).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

// The folder refuses new files but conf.ini itself may be written: the write happens in
// place.
TEST_F(SettingsFile, FolderThatRefusesNewFilesGetsAnInPlaceWrite) {
    writeBytes(path, "[S]\r\nk=" + std::string(100, 'x') + "\r\nz=9\r\n");
    ASSERT_EQ(inClosedFolder(folder, path,
                             [&] {
                                 WriteIni("S", "k", "short", path);
                                 return 0;
                             }),
              0);
    EXPECT_EQ(readBytes(path), "[S]\r\nk=short\r\nz=9\r\n");
    EXPECT_EQ(filesInFolder(), 1);
}

}  // namespace
}  // namespace surfdeck
