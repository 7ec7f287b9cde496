#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "shell/Settings.h"
#include "shell/TempFolder.h"

namespace surfdeck {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

class WriteIniTest : public ::testing::Test {
  protected:
    void write(const std::string& section, const std::string& key, const std::string& value) {
        WriteIni(section, key, value, path);
    }
    std::string read(const std::string& section, const std::string& key) {
        return ReadIni(section, key, "DEF", path);
    }
    void store(const std::string& bytes) { writeBytes(path, bytes); }
    std::string stored() { return readBytes(path); }
    int filesInFolder() {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.path())) ++n;
        return n;
    }

    TempFolder folder;
    std::string path = settingsPath(folder.path());
};

// Replacing a key

TEST_F(WriteIniTest, ExistingKeyIsReplacedInPlaceAndEveryOtherByteKept) {
    store("; mine\r\n[MainWindow]\r\nTop=1\nLeft = 2\r\n\r\n[General]\r\nAlwaysOnTop=1\r\n");
    write("MainWindow", "Left", "6000");
    EXPECT_EQ(stored(),
              "; mine\r\n[MainWindow]\r\nTop=1\nLeft =6000\r\n\r\n[General]\r\nAlwaysOnTop=1\r\n");
}

TEST_F(WriteIniTest, ReplacementKeepsTheFilesSpellingOfTheKey) {
    store("[MainWindow]\r\ntop=1\r\n");
    write("mainwindow", "Top", "3000");
    EXPECT_EQ(stored(), "[MainWindow]\r\ntop=3000\r\n");
}

TEST_F(WriteIniTest, LastLineWithoutAnEndingKeepsHavingNone) {
    store("[S]\r\nk=old");
    write("S", "k", "new");
    EXPECT_EQ(stored(), "[S]\r\nk=new");
}

// Appending a key or a section

TEST_F(WriteIniTest, NewKeyGoesAfterTheLastKeyOfItsSection) {
    store(
        "[MainWindow]\r\nTop=1\r\nLeft=2\r\n\r\n; about General\r\n[General]\r\nAlwaysOnTop=1\r\n");
    write("MainWindow", "view", "v");
    EXPECT_EQ(stored(),
              "[MainWindow]\r\nTop=1\r\nLeft=2\r\nview=v\r\n\r\n; about General\r\n"
              "[General]\r\nAlwaysOnTop=1\r\n");
}

TEST_F(WriteIniTest, NewKeyInAnEmptySectionGoesRightAfterItsHeader) {
    store("[Recent]\r\n\r\n[General]\r\n");
    write("Recent", "RecentWebText", "a;b");
    EXPECT_EQ(stored(), "[Recent]\r\nRecentWebText=a;b\r\n\r\n[General]\r\n");
}

TEST_F(WriteIniTest, NewKeyAfterALastLineWithoutAnEnding) {
    store("[S]\nk=1");
    write("S", "j", "2");
    EXPECT_EQ(stored(), "[S]\nk=1\nj=2\n");
}

TEST_F(WriteIniTest, MissingSectionIsAppendedAtTheEnd) {
    store("[MainWindow]\r\nTop=1\r\n");
    write("WebSearchWindow", "Top", "500");
    EXPECT_EQ(stored(), "[MainWindow]\r\nTop=1\r\n[WebSearchWindow]\r\nTop=500\r\n");
}

TEST_F(WriteIniTest, NewLinesFollowTheFilesOwnLineEndings) {
    store("[MainWindow]\nTop=1");
    write("General", "AlwaysOnTop", "0");
    EXPECT_EQ(stored(), "[MainWindow]\nTop=1\n[General]\nAlwaysOnTop=0\n");
}

TEST_F(WriteIniTest, MissingFileIsCreatedByTheFirstWrite) {
    write("MainWindow", "Top", "1515");
    EXPECT_EQ(stored(), "[MainWindow]\r\nTop=1515\r\n");
    EXPECT_EQ(filesInFolder(), 1);  // no temporary file left beside it
}

TEST_F(WriteIniTest, WrittenCapitalisedReadInLowerCase) {
    write("MainWindow", "Top", "3000");
    write("MainWindow", "Left", "-30");
    EXPECT_EQ(read("MainWindow", "top"), "3000");
    EXPECT_EQ(read("MainWindow", "left"), "-30");
    write("MainWindow", "Top", "10");  // replaces rather than adding a second key
    EXPECT_EQ(stored(), "[MainWindow]\r\nTop=10\r\nLeft=-30\r\n");
}

// Odd files and odd input

TEST_F(WriteIniTest, OddFilesKeepEveryOtherLine) {
    std::mt19937 random(11);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    // No line of the garbage may look like our section.
    for (std::size_t i = 0; i + 1 < garbage.size(); ++i)
        if (garbage[i] == '\n' && garbage[i + 1] == '[') garbage[i + 1] = '(';
    const std::string before =
        "\xEF\xBB\xBFjunk without equals\r\n\0\0=\0\n[odd \xFF]\r\nx=1\r\n"s + garbage;
    store(before);
    write("S", "k", "v");
    const std::string after = stored();
    ASSERT_GT(after.size(), before.size());
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(read("S", "k"), "v");
    EXPECT_EQ(read("odd \xFF", "x"), "1");
}

TEST_F(WriteIniTest, WriteIntoAByteOrderMarkedFileKeepsTheMark) {
    store("\xEF\xBB\xBF[S]\r\nk=1\r\n");
    write("S", "k", "2");
    EXPECT_EQ(stored(), "\xEF\xBB\xBF[S]\r\nk=2\r\n");
}

TEST_F(WriteIniTest, LineBreaksInAValueCannotAddLines) {
    store("[S]\r\nk=1\r\n");
    write("S", "k", "a\r\n[Other]\nb=c");
    EXPECT_EQ(stored(), "[S]\r\nk=a  [Other] b=c\r\n");
    EXPECT_EQ(read("Other", "b"), "DEF");
}

TEST_F(WriteIniTest, NamesThatWouldBreakTheFileAreNotWritten) {
    store("[S]\r\nk=1\r\n");
    write("S", "a=b", "x");
    write("S", "[T]", "x");
    write("S", ";k", "x");
    write("S]x", "k", "x");
    write("S", "k\nj", "x");
    write("", "k", "x");
    write("S", " ", "x");
    EXPECT_EQ(stored(), "[S]\r\nk=1\r\n");
}

TEST_F(WriteIniTest, EightBitValueStoredByteForByte) {
    write("Recent", "RecentWebText", "m\xFC"s + "ller;caf\xE9");
    EXPECT_EQ(stored(), "[Recent]\r\nRecentWebText=m\xFCller;caf\xE9\r\n");
}

// Writes that cannot happen

TEST_F(WriteIniTest, ReadOnlyFileIsLeftAlone) {
    store("[S]\r\nk=1\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    write("S", "k", "2");
    EXPECT_EQ(stored(), "[S]\r\nk=1\r\n");
    EXPECT_EQ(filesInFolder(), 1);
}

TEST_F(WriteIniTest, ReadOnlyFileInReadOnlyFolderIsLostSilently) {
    store("[S]\r\nk=1\r\n");
    fs::permissions(path, fs::perms::owner_read);
    fs::permissions(folder.path(), fs::perms::owner_read | fs::perms::owner_exec);
    write("S", "k", "2");
    EXPECT_EQ(read("S", "k"), "1");
}

TEST_F(WriteIniTest, MissingFolderIsLostSilently) {
    WriteIni("S", "k", "v", folder.file("gone/conf.ini"));
    EXPECT_FALSE(fs::exists(folder.file("gone")));
}

TEST_F(WriteIniTest, SomethingThatIsNotAFileIsNotReplaced) {
    fs::create_directory(path);
    write("S", "k", "v");
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(WriteIniTest, FilePermissionsSurviveTheRename) {
    store("[S]\r\nk=1\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    write("S", "k", "2");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(WriteIniTest, WriteThroughALinkKeepsTheLink) {
    const std::string real = folder.file("real.ini");
    writeBytes(real, "[S]\r\nk=1\r\n");
    fs::create_symlink(real, path);
    write("S", "k", "2");
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(readBytes(real), "[S]\r\nk=2\r\n");
}

// The folder refuses new files but conf.ini itself may be written: the write happens in
// place. Root ignores folder permissions, so the write runs as an ordinary user then.
TEST_F(WriteIniTest, FolderThatRefusesNewFilesGetsAnInPlaceWrite) {
    store("[S]\r\nk=" + std::string(100, 'x') + "\r\nz=9\r\n");
    const bool root = geteuid() == 0;
    constexpr uid_t nobody = 65534;
    if (root) {
        ASSERT_EQ(chown(folder.path().c_str(), nobody, nobody), 0);
        ASSERT_EQ(chown(path.c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (root && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(2);
        // The folder must really refuse, or this test would prove nothing.
        if (access(folder.path().c_str(), W_OK) == 0) _exit(3);
        WriteIni("S", "k", "short", path);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(stored(), "[S]\r\nk=short\r\nz=9\r\n");
    EXPECT_EQ(filesInFolder(), 1);
}

}  // namespace
}  // namespace surfdeck
