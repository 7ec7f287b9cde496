#include "base/SafeFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "support/TempFolder.h"

namespace surfdeck::files {
namespace {

using surfdeck::testing::readBytes;
using surfdeck::testing::TempFolder;
using surfdeck::testing::writeBytes;

// The folder refuses new files, so the write must be made in place, and the disk is
// full.
TEST(InPlaceWrite, AFullDiskLeavesTheOldFileAndReportsFailure) {
    TempFolder folder;
    const std::string path = folder.file("conf.ini");
    const std::string old = "[S]\r\nk=" + std::string(300, 'x') + "\r\nz=9\r\n";
    writeBytes(path, old);
    EXPECT_EQ(inClosedFolder(folder, path,
                             [&] {
                                 detail::reserve = [](int, off_t) { return ENOSPC; };
                                 return replaceFile(path, "[S]\r\nk=y\r\n") == Result::Failed ? 0
                                                                                              : 4;
                             }),
              0);
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
