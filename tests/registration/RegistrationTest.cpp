#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Registration.h"
#include "platform/file/FileRegistry.h"
#include "support/TempFolder.h"

using namespace surfdeck;
namespace fs = std::filesystem;

namespace {

const char* const kSaveText = "Software\\Microsoft\\Internet Explorer\\MenuExt\\Save text to file";
const char* const kStart =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{5B0C3E71-2F4A-4D8B-9E16-C4A7D2E05136}";
const char* const kSaved =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{5B0C3E71-2F4A-4D8B-9E16-C4A7D2E05140}";

class Registration : public ::testing::Test {
  protected:
    std::string read(const std::string& name) {
        std::ifstream in(folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    }
    std::string value(FileRegistry& reg, RegistryRoot root, const char* key, const char* name) {
        std::string v;
        EXPECT_TRUE(reg.getString(root, key, name, v)) << key << " " << name;
        return v;
    }
    surfdeck::testing::TempFolder temp;
    fs::path folder{temp.path()};
    std::vector<std::string> log;
    std::function<void(const std::string&)> logger = [this](const std::string& m) {
        log.push_back(m);
    };
};

}  // namespace

TEST_F(Registration, WritesEveryEntryWithItsData) {
    FileRegistry reg((folder / "registry.reg").string());
    const std::string dir = folder.string();
    EXPECT_TRUE(RegisterIEExtensions(reg, dir, logger));
    EXPECT_TRUE(
        reg.hasKey(RegistryRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\MenuExt"));
    EXPECT_EQ(value(reg, RegistryRoot::CurrentUser, kSaveText, ""), dir + "/context1.htm");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kStart, "ButtonText"), "Surfdeck");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kStart, "MenuStatusBar"), "Start Surfdeck ");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kStart, "Clsid"),
              "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kStart, "Icon"), dir + "/IE/start.ico");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kSaved, "Exec"), dir + "/Fragments/");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kSaved, "HotIcon"), dir + "/ie/saved.ico");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kSaved, "Default Visible"), "Yes");
    EXPECT_TRUE(log.empty());
}

TEST_F(Registration, TheFileIsARegistryEditorExportWithItsValuesInOrder) {
    FileRegistry reg((folder / "registry.reg").string());
    RegisterIEExtensions(reg, "C:\\odd \"folder\"", logger);
    const std::string text = read("registry.reg");
    EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\MenuExt\\Save "
                        "text to file]\r\n@=\"C:\\\\odd \\\"folder\\\"/context1.htm\"\r\n"),
              std::string::npos);
    const char* order[] = {"ButtonText",    "Clsid",    "Default Visible", "Exec",
                           "MenuStatusBar", "MenuText", "HotIcon",         "Icon"};
    auto at = text.find(std::string("[HKEY_LOCAL_MACHINE\\") + kStart + "]");
    ASSERT_NE(at, std::string::npos);
    for (const char* name : order) {
        auto next = text.find(std::string("\"") + name + "\"=", at);
        ASSERT_NE(next, std::string::npos) << name;
        at = next;
    }
}

TEST_F(Registration, ThePageTakesTheFragmentsFolderInPlaceOfTheFirstPlaceholderOnly) {
    write("c1.h1", "<a href='%PATH%'>x</a> %Path%");
    FileRegistry reg((folder / "registry.reg").string());
    RegisterIEExtensions(reg, folder.string(), logger);
    EXPECT_EQ(read("context1.htm"), "<a href='" + folder.string() + "/Fragments'>x</a> %Path%");
}

TEST_F(Registration, AMissingTemplateIsCreatedEmptyAndSoIsThePage) {
    FileRegistry reg((folder / "registry.reg").string());
    RegisterIEExtensions(reg, folder.string(), logger);
    EXPECT_TRUE(fs::exists(folder / "c1.h1"));
    EXPECT_TRUE(fs::exists(folder / "context1.htm"));
    EXPECT_EQ(read("context1.htm"), "");
}

TEST_F(Registration, AUserChangeLastsOnlyUntilTheNextStart) {
    FileRegistry reg((folder / "registry.reg").string());
    RegisterIEExtensions(reg, folder.string(), logger);
    reg.setString(RegistryRoot::LocalMachine, kStart, "ButtonText", "Mine");
    reg.setString(RegistryRoot::LocalMachine, "Software\\Other", "Kept", "yes");
    RegisterIEExtensions(reg, folder.string(), logger);
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, kStart, "ButtonText"), "Surfdeck");
    EXPECT_EQ(value(reg, RegistryRoot::LocalMachine, "Software\\Other", "Kept"), "yes");
}

TEST_F(Registration, AKeyThatCannotBeCreatedIsLoggedAndTheRestStillRuns) {
    if (::geteuid() == 0) {
        // root writes through any permission; a path through a plain file fails for all.
        FileRegistry reg((folder / "c1.h1" / "registry.reg").string());
        write("c1.h1", "%path%");
        EXPECT_FALSE(RegisterIEExtensions(reg, folder.string(), logger));
    } else {
        FileRegistry reg((folder / "registry.reg").string());
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(RegisterIEExtensions(reg, folder.string(), logger));
    }
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0],
              "Cannot create registry key HKEY_CURRENT_USER\\Software\\Microsoft\\Internet "
              "Explorer\\MenuExt");
    EXPECT_EQ(log[3], std::string("Cannot create registry key HKEY_LOCAL_MACHINE\\") + kSaved);
}

TEST(FileRegistryFormat, ReadsBackWhatItWroteAndSurvivesGarbage) {
    surfdeck::testing::TempFolder folder;
    const fs::path path = folder.file("registry.reg");
    std::ofstream(path, std::ios::binary) << "REGEDIT4\n\ngarbage line\n\"orphan\"=\"x\"\n[HKEY_"
                                             "CURRENT_USER\\A]\n\"broken=\n@=\"v\\\\w\"\n";
    FileRegistry reg(path.string());
    std::string v;
    ASSERT_TRUE(reg.getString(RegistryRoot::CurrentUser, "a", "", v));
    EXPECT_EQ(v, "v\\w");
    EXPECT_TRUE(reg.setString(RegistryRoot::CurrentUser, "A", "q", "say \"hi\""));
    ASSERT_TRUE(reg.getString(RegistryRoot::CurrentUser, "A", "Q", v));
    EXPECT_EQ(v, "say \"hi\"");
    EXPECT_FALSE(fs::exists(path.string() + ".tmp"));
}
