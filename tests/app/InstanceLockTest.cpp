#include "app/InstanceLock.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/TempFolder.h"

namespace surfdeck {
namespace {

using surfdeck::testing::TempFolder;

TEST(InstanceLock, TheFirstCopyHoldsItAndASecondReadsItsProcessId) {
    TempFolder dir;
    const std::string path = dir.file("surfdeck.lock");
    {
        InstanceLock first(path);
        EXPECT_FALSE(first.secondCopy());
        EXPECT_EQ(first.error(), "");
        // flock locks belong to an open file, so a second opening in one process meets
        // the lock as another process would.
        InstanceLock second(path);
        EXPECT_TRUE(second.secondCopy());
        EXPECT_EQ(second.firstCopyPid(), static_cast<long>(getpid()));
    }
    // Once the first copy has ended, the next one is first again, over the old file.
    InstanceLock next(path);
    EXPECT_FALSE(next.secondCopy());
}

TEST(InstanceLock, AnUnreadableIdOrAnOddFileNeverStopsTheProgram) {
    TempFolder dir;
    const std::string path = dir.file("surfdeck.lock");
    {
        InstanceLock first(path);
        // Whatever another program wrote there is no process id.
        std::ofstream(path, std::ios::binary | std::ios::trunc) << "x12\n"
                                                                << std::string(4096, '9');
        InstanceLock second(path);
        EXPECT_TRUE(second.secondCopy());
        EXPECT_EQ(second.firstCopyPid(), 0);
    }
    // Not a regular file, or a link: taken as a first copy, with the reason.
    const std::string folder = dir.file("a-folder");
    std::filesystem::create_directory(folder);
    InstanceLock onFolder(folder);
    EXPECT_FALSE(onFolder.secondCopy());
    EXPECT_NE(onFolder.error(), "");
    const std::string link = dir.file("link.lock");
    std::filesystem::create_symlink(dir.file("elsewhere"), link);
    InstanceLock onLink(link);
    EXPECT_FALSE(onLink.secondCopy());
    EXPECT_NE(onLink.error(), "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("elsewhere")));
}

}  // namespace
}  // namespace surfdeck
