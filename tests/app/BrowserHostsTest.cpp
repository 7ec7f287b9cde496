#include "app/BrowserHosts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempFolder.h"

namespace surfdeck {
namespace {

namespace fs = std::filesystem;
using surfdeck::testing::readBytes;
using surfdeck::testing::TempFolder;
using surfdeck::testing::writeBytes;
using ::testing::HasSubstr;

constexpr const char* kId = "fecbaffpfggcihhnnmimopojegplikcl";

// A program folder as the build leaves it, and a home with some browsers in it.
class BrowserHostsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(program() + "/extension");
        writeBytes(program() + "/extension/extension.ini",
                   std::string("[Extension]\nId=") + kId + "\nVersion=1.2.3\nCrx=surfdeck.crx\n");
        writeBytes(program() + "/extension/surfdeck.crx", "Cr24");
        writeBytes(bridge(), "#!/bin/sh\n");
        ::chmod(bridge().c_str(), 0755);
        fs::create_directories(home() + "/.config");
    }
    std::string program() const { return tmp.path() + "/prog"; }
    std::string home() const { return tmp.path() + "/home"; }
    std::string bridge() const { return program() + "/surfdeck-bridge"; }
    std::string config(const std::string& browser) const { return home() + "/.config/" + browser; }
    std::string hostFile(const std::string& browser) const {
        return config(browser) + "/NativeMessagingHosts/org.surfdeck.bridge.json";
    }
    std::string externalFile(const std::string& browser) const {
        return config(browser) + "/External Extensions/" + kId + ".json";
    }
    int run(const UserFolders& user) {
        return RegisterBrowserHosts(program(), user,
                                    [this](const std::string& m) { logged.push_back(m); });
    }
    int run() { return run(userFolders(home(), "")); }

    TempFolder tmp;
    std::vector<std::string> logged;
};

TEST(UserFoldersTest, ConfigHomeFollowsXdgWhenAbsolute) {
    struct Row {
        std::string home, xdg, wantHome, wantConfig;
    };
    for (const Row& r : std::vector<Row>{
             {"/home/ann", "", "/home/ann", "/home/ann/.config"},
             {"/home/ann/", "/xdg/conf/", "/home/ann", "/xdg/conf"},
             {"/home/ann", "relative/conf", "/home/ann", "/home/ann/.config"},
             {"", "/xdg/conf", "", ""},
             {"not/absolute", "", "", ""},
         }) {
        const UserFolders u = userFolders(r.home, r.xdg);
        EXPECT_EQ(u.home, r.wantHome) << r.home << " " << r.xdg;
        EXPECT_EQ(u.configHome, r.wantConfig) << r.home << " " << r.xdg;
    }
}

TEST_F(BrowserHostsTest, WritesBothFilesForEachBrowserPresentAndNoOther) {
    fs::create_directories(config("chromium"));
    fs::create_directories(config("BraveSoftware/Brave-Browser"));
    EXPECT_EQ(run(), 4);
    EXPECT_TRUE(logged.empty()) << logged.front();

    for (const char* browser : {"chromium", "BraveSoftware/Brave-Browser"}) {
        EXPECT_EQ(readBytes(hostFile(browser)),
                  std::string("{\n  \"name\": \"org.surfdeck.bridge\",\n"
                              "  \"description\": \"Surfdeck bridge\",\n  \"path\": \"") +
                      bridge() + "\",\n  \"type\": \"stdio\",\n" +
                      "  \"allowed_origins\": [\"chrome-extension://" + kId + "/\"]\n}\n");
        EXPECT_EQ(readBytes(externalFile(browser)),
                  "{\n  \"external_crx\": \"" + program() +
                      "/extension/surfdeck.crx\",\n  \"external_version\": \"1.2.3\"\n}\n");
    }
    for (const std::string& other : chromiumFamilyFolders()) {
        if (other == "chromium" || other == "BraveSoftware/Brave-Browser") continue;
        EXPECT_FALSE(fs::exists(config(other))) << other;
    }
    EXPECT_FALSE(fs::exists(home() + "/.mozilla"));
}

TEST_F(BrowserHostsTest, EveryStartWritesTheFilesAgain) {
    fs::create_directories(config("vivaldi"));
    run();
    const std::string original = readBytes(hostFile("vivaldi"));
    writeBytes(hostFile("vivaldi"), "{\"path\": \"/tmp/elsewhere\"}");
    fs::remove(externalFile("vivaldi"));
    EXPECT_EQ(run(), 2);
    EXPECT_EQ(readBytes(hostFile("vivaldi")), original);
    EXPECT_TRUE(fs::exists(externalFile("vivaldi")));
}

TEST_F(BrowserHostsTest, XdgConfigHomeIsWhereTheBrowsersAreLookedFor) {
    const std::string xdg = tmp.path() + "/xdg";
    fs::create_directories(xdg + "/google-chrome");
    fs::create_directories(config("google-chrome"));
    EXPECT_EQ(run(userFolders(home(), xdg)), 2);
    EXPECT_TRUE(fs::exists(xdg + "/google-chrome/NativeMessagingHosts/org.surfdeck.bridge.json"));
    EXPECT_FALSE(fs::exists(hostFile("google-chrome")));
}

TEST_F(BrowserHostsTest, FirefoxGetsItsHostManifestWhenItsFolderExists) {
    fs::create_directories(home() + "/.mozilla");
    EXPECT_EQ(run(), 1);
    const std::string manifest =
        readBytes(home() + "/.mozilla/native-messaging-hosts/org.surfdeck.bridge.json");
    EXPECT_THAT(manifest, HasSubstr("\"allowed_extensions\": [\"surfdeck@surfdeck.local\"]"));
    EXPECT_THAT(manifest, HasSubstr("\"path\": \"" + bridge() + "\""));
    EXPECT_THAT(manifest, ::testing::Not(HasSubstr("allowed_origins")));
}

TEST_F(BrowserHostsTest, AFolderThatCannotBeMadeCostsOneLineAndTheRestIsWritten) {
    fs::create_directories(config("chromium"));
    fs::create_directories(config("microsoft-edge"));
    writeBytes(config("chromium") + "/External Extensions", "a file where a folder belongs");
    EXPECT_EQ(run(), 3);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_THAT(logged[0], HasSubstr(config("chromium") + "/External Extensions"));
    EXPECT_TRUE(fs::exists(hostFile("chromium")));
    EXPECT_TRUE(fs::exists(externalFile("microsoft-edge")));
}

TEST_F(BrowserHostsTest, AMissingPartCostsOneLineAndWhatCanBeWrittenIs) {
    fs::create_directories(config("chromium"));
    // Without the bridge the manifests still name where it belongs; without the package
    // file only the host is named.
    for (const auto& [missing, written] : std::vector<std::pair<std::string, int>>{
             {bridge(), 2}, {program() + "/extension/surfdeck.crx", 1}}) {
        SetUp();
        fs::remove_all(config("chromium"));
        fs::create_directories(config("chromium"));
        fs::remove(missing);
        logged.clear();
        EXPECT_EQ(run(), written) << missing;
        ASSERT_EQ(logged.size(), 1u) << missing;
        EXPECT_THAT(logged[0], HasSubstr(missing));
        EXPECT_EQ(fs::exists(externalFile("chromium")), written == 2);
    }
}

TEST_F(BrowserHostsTest, AnUnusablePackageDescriptionWritesNoChromiumFile) {
    fs::create_directories(config("chromium"));
    for (const std::string& ini : std::vector<std::string>{
             "",
             "[Extension]\nId=FECBAFFPFGGCIHHNNMIMOPOJEGPLIKCL\nVersion=1\nCrx=a.crx\n",
             "[Extension]\nId=fecbaffpfggcihhnnmimopojegplikc\nVersion=1\nCrx=a.crx\n",
             "[Extension]\nId=fecbaffpfggcihhnnmimopojegplikcz\nVersion=1\nCrx=a.crx\n",
             std::string("[Extension]\nId=") + kId + "\nVersion=1..2\nCrx=a.crx\n",
             std::string("[Extension]\nId=") + kId + "\nVersion=1.2.3.4.5\nCrx=a.crx\n",
             std::string("[Extension]\nId=") + kId + "\nVersion=1.0\"\nCrx=a.crx\n",
             std::string("[Extension]\nId=") + kId + "\nVersion=1.0\nCrx=../../etc/a.crx\n",
             std::string("[Extension]\nId=") + kId + "\nVersion=1.0\nCrx=\n",
         }) {
        writeBytes(program() + "/extension/extension.ini", ini);
        logged.clear();
        EXPECT_FALSE(readExtensionPackage(program()).has_value()) << ini;
        EXPECT_EQ(run(), 0) << ini;
        EXPECT_EQ(logged.size(), 1u) << ini;
    }
    EXPECT_FALSE(fs::exists(config("chromium") + "/NativeMessagingHosts"));
}

TEST_F(BrowserHostsTest, AUserWithoutTheseBrowsersHearsNothing) {
    fs::remove(bridge());
    fs::remove_all(program() + "/extension");
    EXPECT_EQ(run(), 0);
    EXPECT_TRUE(logged.empty());
}

TEST_F(BrowserHostsTest, NoHomeWritesNothing) {
    EXPECT_EQ(run(UserFolders{}), 0);
    ASSERT_EQ(logged.size(), 1u);
}

TEST(BrowserHostManifestTest, PathsAreEscapedAsJsonStrings) {
    EXPECT_THAT(chromiumHostManifest("/opt/a \"b\"\\c\n/surfdeck-bridge", kId),
                HasSubstr("\"path\": \"/opt/a \\\"b\\\"\\\\c\\u000a/surfdeck-bridge\""));
    EXPECT_THAT(externalExtensionEntry({kId, "1.0", "/h\xc3\xa9/x.crx"}),
                HasSubstr("\"external_crx\": \"/h\xc3\xa9/x.crx\""));
}

}  // namespace
}  // namespace surfdeck
