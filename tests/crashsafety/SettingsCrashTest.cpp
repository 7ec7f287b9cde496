#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

#include "shell/Settings.h"
#include "shell/TempFolder.h"

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

// A child writes one key over and over and is killed at a random moment. Before each
// write it tells the parent which value it is about to write, so the parent knows the
// old and the new value; the file must hold exactly one of the two, every other line
// intact.
TEST(SettingsCrashSafety, KilledWriterLeavesTheOldOrTheNewFile) {
    TempFolder folder;
    const std::string path = settingsPath(folder.path());
    long written = 0;  // the value the file holds
    writeBytes(path, fileWith(written));
    std::mt19937 random(20261206);
    int roundsWithWrites = 0;

    for (int round = 0; round < 100; ++round) {
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
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

        while (read(pipeEnds[0], &i, sizeof i) == sizeof i) announced = i;
        close(pipeEnds[0]);

        const std::string bytes = readBytes(path);
        const long old = announced == written ? written : announced - 1;
        ASSERT_TRUE(bytes == fileWith(old) || bytes == fileWith(announced))
            << "round " << round << ": value " << announced << " half written:\n"
            << bytes;
        const long holds = bytes == fileWith(announced) ? announced : old;
        EXPECT_EQ(ReadIni("Recent", "RecentWebText", "", path), valueFor(holds).substr(0, 248));
        EXPECT_EQ(ReadIni("General", "AlwaysOnTop", "", path), "0");
        if (holds != written) ++roundsWithWrites;
        written = holds;
    }
    // The child must have got some writes done, or nothing was shown.
    EXPECT_GT(roundsWithWrites, 5);
}

}  // namespace
}  // namespace surfdeck
