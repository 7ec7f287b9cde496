#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/Log.h"
#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using testing::readBytes;
using testing::TempFolder;

TEST(WriteLog, AppendsEachMessageAsItIsWithCrLfAndIsOnDiskAtOnce) {
    TempFolder folder;
    const std::string log = programFile(folder.path(), "log.txt");
    WriteLog(log, "Prepare Search url");
    EXPECT_EQ(readBytes(log), "Prepare Search url\r\n");
    WriteLog(log, "Start at 06/12/2026 10:05:04\r\nForm Load");
    WriteLog(log, "");
    WriteLog(log, "caf\xE9");
    EXPECT_EQ(readBytes(log),
              "Prepare Search url\r\nStart at 06/12/2026 10:05:04\r\nForm Load\r\n\r\ncaf\xE9\r\n");
    // Opened afresh for each message: a log removed between two calls is made again.
    std::filesystem::remove(log);
    WriteLog(log, "two");
    EXPECT_EQ(readBytes(log), "two\r\n");
}

// A log that cannot be written loses the line and nothing else: no folder is made for it,
// and a log that comes back takes the next line.
TEST(WriteLog, LogThatCannotBeWrittenLosesTheLineOnly) {
    TempFolder folder;
    const std::string log = programFile(folder.path(), "log.txt");
    std::filesystem::create_directory(log);  // log.txt is a folder
    WriteLog(log, "lost");
    EXPECT_TRUE(std::filesystem::is_directory(log));
    WriteLog(folder.file("missing/log.txt"), "lost");
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing")));
    std::filesystem::remove(log);
    WriteLog(log, "kept");
    EXPECT_EQ(readBytes(log), "kept\r\n");
}

}  // namespace
}  // namespace surfdeck
