#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "app/Registration.h"
#include "base/SafeFile.h"
#include "platform/file/FileRegistry.h"
#include "settings/Log.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// A FIFO in place of each file the program reads or writes. A start-up's worth of file
// work runs in a child that an alarm ends after 10 s, so a blocking open fails the test
// instead of hanging it: nothing blocks, the FIFO stays, and the log says which file was
// refused (where the log itself can be written).
TEST(SpecialFiles, AFifoInPlaceOfAnyStoredFileIsRefusedWithItsLogLine) {
    const struct {
        const char* fifo;
        const char* logLine;  // after the program folder
    } cases[] = {
        {"conf.ini", "/conf.ini: not a regular file"},
        {"conf.ini.lock", "/conf.ini, not saved: [S] k"},
        {"log.txt", nullptr},
        {"registry.reg", "/registry.reg: not a regular file"},
        {"c1.h1", "/c1.h1: not a regular file"},
        {"context1.htm", "/context1.htm: not a regular file"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string ini = settingsPath(folder.path());
        const std::string fifo = folder.file(c.fifo);
        if (fifo != ini) writeBytes(ini, "[S]\r\nk=1\r\n");
        ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(10);
            const auto log = [&](const std::string& m) {
                WriteLog(programFile(folder.path(), "log.txt"), m);
            };
            FileRegistry registry(folder.file("registry.reg"), log);
            if (ReadIni("S", "k", "def", ini) != (fifo == ini ? "def" : "1")) _exit(1);
            WriteIni("S", "k", "2", ini);
            RegisterIEExtensions(registry, folder.path(), log);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.fifo << " " << status;
        EXPECT_FALSE(std::filesystem::is_regular_file(fifo)) << c.fifo;
        if (c.logLine) {
            EXPECT_NE(readBytes(folder.file("log.txt")).find(folder.path() + c.logLine + "\r\n"),
                      std::string::npos)
                << c.fifo << ":\n"
                << readBytes(folder.file("log.txt"));
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
