#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// The values differ in length, so that the file grows and shrinks from write to write.
std::string valueFor(long i) {
    return "v" + std::to_string(i) + std::string(i % 7 * 150, 'x');
}

const std::string kBefore = "[MainWindow]\r\nTop=1515\r\nLeft=-30\r\n[Recent]\r\nRecentWebText=";
const std::string kAfter = "\r\nRecentLengh=10\r\n[General]\r\nAlwaysOnTop=0\r\n";

std::string fileWith(long i) {
    return kBefore + valueFor(i) + kAfter;
}

// bytes is the file for value i, or, after an in-place write, that file followed by the
// writer's pad: one comment line of blanks, which reads as nothing.
bool holds(const std::string& bytes, long i) {
    const std::string file = fileWith(i);
    if (bytes == file) return true;
    const std::size_t blanks = bytes.find_first_not_of(' ', file.size() + 1);
    return bytes.starts_with(file) && bytes.size() > file.size() + 2 && bytes[file.size()] == ';' &&
           blanks == bytes.size() - 2 && bytes.ends_with("\r\n");
}

constexpr uid_t kNobody = 65534;

// A child writes one key over and over and is killed at a random moment. Before each
// write it tells the parent which value it is about to write, so the parent knows the
// old and the new value; the file must hold exactly one of the two, every other line
// intact. With the folder refusing new files every write is made in place (as an
// ordinary user: root ignores folder permissions).
void killWritersAtRandom(bool inPlace) {
    TempFolder folder;
    const std::string path = settingsPath(folder.path());
    long written = 0;  // the value the file holds
    writeBytes(path, fileWith(written));
    const bool root = geteuid() == 0;
    if (inPlace) {
        if (root) {
            ASSERT_EQ(chown(folder.path().c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    }
    std::mt19937 random(20261206);
    int roundsWithWrites = 0;

    for (int round = 0; round < 100; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
            if (inPlace && root && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
            if (inPlace && access(folder.path().c_str(), W_OK) == 0) _exit(3);
            for (long i = written + 1;; ++i) {
                if (write(pipeEnds[1], &i, sizeof i) != sizeof i) _exit(1);
                WriteIni("Recent", "RecentWebText", valueFor(i), path);
            }
        }
        close(pipeEnds[1]);
        long announced = written;  // the last value the child began to write
        long i = 0;
        // Wait until the child is at work, however busy the machine is.
        if (read(pipeEnds[0], &i, sizeof i) == sizeof i) announced = i;
        usleep(std::uniform_int_distribution<useconds_t>(0, 10000)(random));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer gave up: " << status;

        while (read(pipeEnds[0], &i, sizeof i) == sizeof i) announced = i;
        close(pipeEnds[0]);

        const std::string bytes = readBytes(path);
        const long old = announced == written ? written : announced - 1;
        ASSERT_TRUE(holds(bytes, old) || holds(bytes, announced))
            << "round " << round << ": value " << announced << " half written:\n"
            << bytes;
        const long now = holds(bytes, announced) ? announced : old;
        EXPECT_EQ(ReadIni("Recent", "RecentWebText", "", path), valueFor(now).substr(0, 248));
        EXPECT_EQ(ReadIni("General", "AlwaysOnTop", "", path), "0");
        if (now != written) ++roundsWithWrites;
        written = now;
    }
    // The child must have got some writes done, or nothing was shown.
    EXPECT_GT(roundsWithWrites, 5);
}

TEST(SettingsCrashSafety, KilledWriterLeavesTheOldOrTheNewFile) {
    killWritersAtRandom(false);
}

TEST(SettingsCrashSafety, KilledInPlaceWriterLeavesTheOldOrTheNewSettings) {
    killWritersAtRandom(true);
}

// Two copies of the program save their own keys into one file at the same time.
TEST(SettingsConcurrency, TwoWritersLoseNoneOfEachOthersKeys) {
    TempFolder folder;
    const std::string path = settingsPath(folder.path());
    pid_t children[2];
    for (const int c : {0, 1}) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            for (int k = 0; k < 300; ++k)
                WriteIni("Recent", "ab"[c] + std::to_string(k), "1", path);
            _exit(0);
        }
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int lost = 0;
    for (int k = 0; k < 300; ++k) {
        for (const char* writer : {"a", "b"})
            lost += ReadIni("Recent", writer + std::to_string(k), "", path) != "1";
    }
    EXPECT_EQ(lost, 0) << readBytes(folder.file("log.txt"));
}

}  // namespace
}  // namespace surfdeck
