#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/SafeFile.h"
#include "shell/Log.h"
#include "shell/Settings.h"
#include "shell/TempFolder.h"

namespace surfdeck {
namespace {

namespace fs = std::filesystem;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// Runs f in a child process that an alarm ends after 10 s, so that a blocking open
// fails the test instead of hanging it.
bool finishesWithin10s(const std::function<void()>& f) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        f();
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// A FIFO in the place of each file the settings use: nothing blocks, nothing is replaced,
// and the log tells why (where the log itself can be written).
TEST(SettingsSpecialFiles, AFifoInPlaceOfAnyFileIsRefusedWithItsLogLine) {
    struct Case {
        const char* fifo;
        const char* logLine;  // "" for none; FOLDER stands for the program folder
        const char* kept;     // conf.ini afterwards, when it is a file
    };
    const Case cases[] = {
        {"conf.ini",
         "Cannot read FOLDER/conf.ini: not a regular file\r\n"
         "Cannot read FOLDER/conf.ini: not a regular file\r\n",
         ""},
        {"conf.ini.lock", "Cannot lock FOLDER/conf.ini, not saved: [S] k\r\n", "[S]\r\nk=1\r\n"},
        {"log.txt", "", "[S]\r\nk=2\r\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string ini = settingsPath(folder.path());
        const std::string fifo = folder.file(c.fifo);
        if (fifo != ini) writeBytes(ini, "[S]\r\nk=1\r\n");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
        EXPECT_TRUE(finishesWithin10s([&] {
            if (ReadIni("S", "k", "def", ini) != (fifo == ini ? "def" : "1")) _exit(1);
            WriteIni("S", "k", "2", ini);
            WriteLog(programFile(folder.path(), "log.txt"), "");
        })) << c.fifo;
        EXPECT_FALSE(fs::is_regular_file(fifo)) << c.fifo;
        if (fifo != ini) {
            EXPECT_EQ(readBytes(ini), c.kept) << c.fifo;
        }
        std::string expected = c.logLine;
        for (auto at = expected.find("FOLDER"); at != std::string::npos;
             at = expected.find("FOLDER"))
            expected.replace(at, 6, folder.path());
        if (*c.logLine) {
            EXPECT_EQ(readBytes(folder.file("log.txt")), expected + "\r\n") << c.fifo;
        }
    }
}

TEST(SettingsLock, ASaveThatCannotGetTheLockIsLoggedAndDropped) {
    TempFolder folder;
    const std::string ini = settingsPath(folder.path());
    writeBytes(ini, "[S]\r\nk=1\r\n");
    // Another copy of the program in the middle of its own save.
    const files::FileLock other(ini + ".lock", ini, std::chrono::milliseconds(0));
    ASSERT_TRUE(other.held());
    const auto start = std::chrono::steady_clock::now();
    WriteIni("S", "k", "2", ini);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    EXPECT_EQ(readBytes(ini), "[S]\r\nk=1\r\n");
    EXPECT_EQ(readBytes(folder.file("log.txt")), "Cannot lock " + ini + ", not saved: [S] k\r\n");
    // Reads take no lock.
    EXPECT_EQ(ReadIni("S", "k", "def", ini), "1");
}

}  // namespace
}  // namespace surfdeck
