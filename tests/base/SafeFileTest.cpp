#include "base/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/TempFolder.h"

namespace surfdeck::files {
namespace {

using surfdeck::testing::readBytes;
using surfdeck::testing::TempFolder;
using surfdeck::testing::writeBytes;

// The folder refuses new files, so the write must be made in place, and the disk is
// full. Root ignores folder permissions, so the write runs as an ordinary user then.
TEST(InPlaceWrite, AFullDiskLeavesTheOldFileAndReportsFailure) {
    TempFolder folder;
    const std::string path = folder.file("conf.ini");
    const std::string old = "[S]\r\nk=" + std::string(300, 'x') + "\r\nz=9\r\n";
    writeBytes(path, old);
    constexpr uid_t nobody = 65534;
    if (geteuid() == 0) {
        ASSERT_EQ(chown(folder.path().c_str(), nobody, nobody), 0);
        ASSERT_EQ(chown(path.c_str(), nobody, nobody), 0);
    }
    ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(2);
        // The folder must really refuse, or this test would prove nothing.
        if (access(folder.path().c_str(), W_OK) == 0) _exit(3);
        detail::reserve = [](int, off_t) { return ENOSPC; };
        _exit(replaceFile(path, "[S]\r\nk=y\r\n") == Result::Failed ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readBytes(path), old);
}

TEST(RegularFilesOnly, AFileLargerThanTheReaderTakesIsRefusedWhole) {
    TempFolder folder;
    writeBytes(folder.file("ten"), "0123456789");
    std::string bytes = "kept";
    EXPECT_EQ(readRegular(folder.file("ten"), bytes, 9), Result::TooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(readRegular(folder.file("ten"), bytes, 10), Result::Ok);
    EXPECT_EQ(bytes, "0123456789");
    EXPECT_EQ(readRegular(folder.file("none"), bytes), Result::Absent);
}

}  // namespace
}  // namespace surfdeck::files
