#include "platform/SafeFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "shell/TempFolder.h"

namespace surfdeck::files {
namespace {

namespace fs = std::filesystem;
using surfdeck::testing::readBytes;
using surfdeck::testing::TempFolder;
using surfdeck::testing::writeBytes;

// Runs check in a child process that an alarm ends after 10 s, so that an open that
// blocks fails the test instead of hanging it. True when check returned true in time.
bool inChildWithin10s(const std::function<bool()>& check) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// Something other than a regular file at path.
enum class Odd { Fifo, Folder, LinkToDevice };
void makeOdd(Odd kind, const std::string& path) {
    switch (kind) {
        case Odd::Fifo:
            ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
            break;
        case Odd::Folder:
            fs::create_directory(path);
            break;
        case Odd::LinkToDevice:
            fs::create_symlink("/dev/zero", path);
            break;
    }
}

TEST(RegularFilesOnly, EveryAccessRefusesAnythingElseAtOnce) {
    struct Access {
        const char* name;
        std::function<Result(const std::string&)> run;
    };
    const Access accesses[] = {
        {"read",
         [](const std::string& p) {
             std::string bytes;
             return readRegular(p, bytes);
         }},
        {"append", [](const std::string& p) { return appendRegular(p, "line\r\n"); }},
        {"replace", [](const std::string& p) { return replaceFile(p, "new"); }},
        {"open for writing",
         [](const std::string& p) {
             Result why = Result::Ok;
             return openRegular(p, O_WRONLY | O_CREAT, &why) < 0 ? why : Result::Ok;
         }},
    };
    for (const Odd kind : {Odd::Fifo, Odd::Folder, Odd::LinkToDevice}) {
        for (const Access& access : accesses) {
            TempFolder folder;
            const std::string path = folder.file("conf.ini");
            makeOdd(kind, path);
            EXPECT_TRUE(inChildWithin10s([&] { return access.run(path) == Result::NotRegular; }))
                << access.name << " on kind " << static_cast<int>(kind);
            // Left as it was: not replaced by a regular file.
            EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(path))) << access.name;
        }
    }
}

TEST(RegularFilesOnly, AFifoWithAWriterIsRefusedAsWell) {
    TempFolder folder;
    const std::string path = folder.file("log.txt");
    ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
    // A reader and a writer both present: opening no longer blocks, but it is still no file.
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    std::string bytes;
    EXPECT_EQ(readRegular(path, bytes), Result::NotRegular);
    EXPECT_EQ(appendRegular(path, "line\r\n"), Result::NotRegular);
    char c = 0;
    EXPECT_EQ(read(reader, &c, 1), -1);  // nothing went into the pipe
    close(reader);
    close(writer);
}

TEST(RegularFilesOnly, AbsentAndOversizedFilesAreToldApart) {
    TempFolder folder;
    std::string bytes = "kept";
    EXPECT_EQ(readRegular(folder.file("none"), bytes), Result::Absent);
    writeBytes(folder.file("ten"), "0123456789");
    EXPECT_EQ(readRegular(folder.file("ten"), bytes, 9), Result::TooLarge);
    EXPECT_EQ(bytes, "");
    EXPECT_EQ(readRegular(folder.file("ten"), bytes, 10), Result::Ok);
    EXPECT_EQ(bytes, "0123456789");
}

// A folder that refuses new files, so that replaceFile must write in place. Root ignores
// folder permissions, so the write runs as an ordinary user then.
class InPlaceWrite : public ::testing::Test {
  protected:
    void SetUp() override {
        writeBytes(path, kOld);
        if (geteuid() == 0) {
            ASSERT_EQ(chown(folder.path().c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(chown(path.c_str(), kNobody, kNobody), 0);
        }
        ASSERT_EQ(chmod(folder.path().c_str(), 0555), 0);
    }
    // Runs write as that user in a child; true when it returned true.
    bool asUser(const std::function<bool()>& write) {
        return inChildWithin10s([&] {
            if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) return false;
            // The folder must really refuse, or this test would prove nothing.
            return access(folder.path().c_str(), W_OK) != 0 && write();
        });
    }

    static constexpr uid_t kNobody = 65534;
    const std::string kOld = "[S]\r\nk=" + std::string(300, 'x') + "\r\nz=9\r\n";
    TempFolder folder;
    std::string path = folder.file("conf.ini");
};

TEST_F(InPlaceWrite, AFullDiskLeavesTheOldFileAndReportsFailure) {
    EXPECT_TRUE(asUser([&] {
        detail::reserve = [](int, off_t) { return ENOSPC; };
        return replaceFile(path, "[S]\r\nk=" + std::string(400, 'y') + "\r\n") == Result::Failed;
    }));
    EXPECT_EQ(readBytes(path), kOld);
}

TEST_F(InPlaceWrite, ReservesAtLeastTheOldLengthAndEndsAtTheNewOne) {
    EXPECT_TRUE(asUser([&] {
        static off_t reserved = 0;
        detail::reserve = [](int fd, off_t len) {
            reserved = len;
            return posix_fallocate(fd, 0, len);
        };
        // Shorter: the pad keeps the old tail from ever showing.
        if (replaceFile(path, "[S]\r\nk=short\r\n") != Result::Ok) return false;
        if (reserved < static_cast<off_t>(kOld.size())) return false;
        return replaceFile(path, kOld + "w=1\r\n") == Result::Ok &&
               reserved == static_cast<off_t>(kOld.size() + 5);
    }));
    EXPECT_EQ(readBytes(path), kOld + "w=1\r\n");
}

TEST(FileLockTest, ASecondHolderWaitsItsTimeAndGivesUp) {
    TempFolder folder;
    const std::string lock = folder.file("conf.ini.lock");
    std::optional<FileLock> first(std::in_place, lock, folder.file("conf.ini"),
                                  std::chrono::milliseconds(0));
    ASSERT_TRUE(first->held());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(FileLock(lock, folder.file("conf.ini"), std::chrono::milliseconds(200)).held());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
    first.reset();
    EXPECT_TRUE(FileLock(lock, folder.file("conf.ini"), std::chrono::milliseconds(0)).held());
}

}  // namespace
}  // namespace surfdeck::files
