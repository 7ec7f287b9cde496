#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/Log.h"
#include "shell/Settings.h"
#include "shell/TempFolder.h"

namespace surfdeck {
namespace {

using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

class LogTest : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string log = programFile(folder.path(), "log.txt");
};

TEST_F(LogTest, FirstMessageCreatesTheFile) {
    ASSERT_FALSE(std::filesystem::exists(log));
    WriteLog(log, "Prepare Search url");
    EXPECT_EQ(readBytes(log), "Prepare Search url\r\n");
}

TEST_F(LogTest, MessagesAreAppendedAfterEarlierLines) {
    writeBytes(log, "from an earlier run\r\n");
    WriteLog(log, "Start GetActiveIEURL");
    WriteLog(log, "GetActiveIEURL error 91Object variable not set");
    EXPECT_EQ(readBytes(log),
              "from an earlier run\r\nStart GetActiveIEURL\r\n"
              "GetActiveIEURL error 91Object variable not set\r\n");
}

TEST_F(LogTest, MessageIsWrittenAsItIsWithNothingAdded) {
    WriteLog(log, "Start at 06/12/2026 10:05:04\r\nForm Load");
    WriteLog(log, "");
    WriteLog(log, "caf\xE9");
    EXPECT_EQ(readBytes(log), "Start at 06/12/2026 10:05:04\r\nForm Load\r\n\r\ncaf\xE9\r\n");
}

TEST_F(LogTest, EachMessageIsOnDiskWhenTheCallReturns) {
    WriteLog(log, "one");
    EXPECT_EQ(readBytes(log), "one\r\n");
    std::filesystem::remove(log);
    WriteLog(log, "two");
    EXPECT_EQ(readBytes(log), "two\r\n");
}

TEST_F(LogTest, LogThatCannotBeWrittenReturnsNormally) {
    std::filesystem::create_directory(log);  // log.txt is a folder
    EXPECT_NO_THROW(WriteLog(log, "lost"));
    EXPECT_NO_THROW(WriteLog(folder.file("missing/log.txt"), "lost"));
    EXPECT_FALSE(std::filesystem::exists(folder.file("missing")));
}

}  // namespace
}  // namespace surfdeck
