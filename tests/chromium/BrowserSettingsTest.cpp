#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <utility>

#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/BrowserSettings.h"
#include "settings/Settings.h"

namespace surfdeck::chromium {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

TEST(DevToolsAddress, OnlyLoopbackAddressesAreTaken) {
    const Cases cases = {
        {"127.0.0.1:9222", "127.0.0.1 9222"}, {" localhost:9333 ", "127.0.0.1 9333"},
        {"LOCALHOST", "127.0.0.1 9222"},      {"127.1.2.3:80", "127.1.2.3 80"},
        {"[::1]:9229", "::1 9229"},           {"http://127.0.0.1:9222/", "127.0.0.1 9222"}};
    for (const auto& [address, expected] : cases) {
        const auto e = parseLoopbackEndpoint(address);
        EXPECT_EQ(e ? e->host + " " + std::to_string(e->port) : "refused", expected) << address;
    }
    for (const char* address :
         {"192.168.1.5:9222", "0.0.0.0:9222", "example.com:9222", "localhost.example.com:9222",
          "127.0.0.1.example.com:9222", "[2001:db8::1]:9222", "::1", "127.0.0.1:0",
          "127.0.0.1:65536", "127.0.0.1:92a2", ""})
        EXPECT_FALSE(parseLoopbackEndpoint(address)) << address;
}

TEST(RefusedScheme, ScriptAndDataAddressesAreFoundHoweverWrittenAndOthersPass) {
    const Cases cases = {
        {"javascript:alert(1)", "javascript"},     {"  \t JaVaScRiPt:alert(1)", "javascript"},
        {"java\nscr\tipt:alert(1)", "javascript"}, {"\x01javascript:x", "javascript"},
        {"data:text/html,<b>x</b>", "data"},       {"vbscript:msgbox", "vbscript"},
        {"http://example.com/javascript:x", ""},   {"https://data.example/", ""},
        {"file:///home/user/g1.htm", ""},          {"about:blank", ""},
        {"javascript.example.com/page", ""}};
    for (const auto& [url, expected] : cases) EXPECT_EQ(refusedScheme(url), expected) << url;
}

TEST(NavigableUrl, PathsAndBareHostsBecomeAddresses) {
    const Cases cases = {{"/opt/surfdeck/g1.htm", "file:///opt/surfdeck/g1.htm"},
                         {"www.example.com/x", "http://www.example.com/x"},
                         {"localhost:8080/x", "http://localhost:8080/x"},
                         {"https://example.com/a?b=c", "https://example.com/a?b=c"},
                         {"about:blank", "about:blank"}};
    for (const auto& [url, expected] : cases) EXPECT_EQ(navigableUrl(url), expected) << url;
}

TEST(BrowserSection, DefaultsAndValuesFromConfIni) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const BrowserSettings d = readBrowserSettings(folder);
    EXPECT_EQ(d.address, "127.0.0.1:9222");
    EXPECT_FALSE(d.startBrowser);  // the extension route never starts one
    EXPECT_EQ(d.executable, "");
    EXPECT_EQ(d.profile, programFile(folder, "browser-profile"));
    EXPECT_EQ(d.homePage, "about:blank");

    const Cases values = {{"DevTools", "127.0.0.1:9333"},       {"StartBrowser", "0"},
                          {"Executable", "/opt/chrome/chrome"}, {"Profile", "/srv/profile"},
                          {"HomePage", "http://intranet/"},     {"Flags", "--start-maximized"}};
    for (const auto& [key, value] : values) WriteIni("Browser", key, value, settingsPath(folder));
    const BrowserSettings s = readBrowserSettings(folder);
    EXPECT_EQ(s.address, "127.0.0.1:9333");
    EXPECT_FALSE(s.startBrowser);
    EXPECT_EQ(s.executable, "/opt/chrome/chrome");
    EXPECT_EQ(s.profile, "/srv/profile");
    EXPECT_EQ(s.homePage, "http://intranet/");
    EXPECT_EQ(s.flags, "--start-maximized");
}

TEST(BrowserFlags, TheEndpointStaysOnTheLoopbackAddressWhateverTheExtraFlagsSay) {
    QStringList dropped;
    const QStringList args = browserArguments(
        {"127.0.0.1", 9333}, "/srv/profile",
        "--remote-debugging-address=0.0.0.0 --start-maximized --remote-allow-origins=* "
        "--remote-debugging-port=1 --user-data-dir=/root/.config/chromium \"--lang=fr FR\"",
        &dropped);
    for (const char* kept : {"--remote-debugging-address=127.0.0.1", "--remote-debugging-port=9333",
                             "--user-data-dir=/srv/profile", "--start-maximized", "--lang=fr FR"})
        EXPECT_TRUE(args.contains(kept)) << kept;
    for (const char* once :
         {"--remote-debugging-address", "--remote-debugging-port", "--user-data-dir"})
        EXPECT_EQ(args.filter(once).size(), 1) << once;
    EXPECT_TRUE(args.filter("--remote-allow-origins").isEmpty());
    EXPECT_EQ(dropped, (QStringList{"--remote-debugging-address", "--remote-allow-origins",
                                    "--remote-debugging-port", "--user-data-dir"}));
}

TEST(BrowserFlags, ReservedNamesAreFoundAfterAnyDashesInAnyCase) {
    for (const char* flag :
         {"-remote-allow-origins=*", "---remote-allow-origins=*", "--REMOTE-Allow-Origins=*",
          "remote-allow-origins=*", "-Remote-Debugging-Address=0.0.0.0", "-user-data-dir=/tmp/x",
          "----remote-debugging-port=1"}) {
        QStringList dropped;
        const QStringList args =
            browserArguments({"127.0.0.1", 9333}, "/srv/profile", flag, &dropped);
        EXPECT_FALSE(args.contains(flag)) << flag;
        EXPECT_EQ(dropped.size(), 1) << flag;
    }
    // Names that merely begin like a reserved one are the user's own.
    const QStringList args = browserArguments({"127.0.0.1", 9333}, "/srv/profile",
                                              "--user-data-dirs=x -remote-allow-originsX", nullptr);
    EXPECT_TRUE(args.contains("--user-data-dirs=x"));
    EXPECT_TRUE(args.contains("-remote-allow-originsX"));
}

TEST(BrowserProfile, IsTheOwnersAloneWhetherNewOrAlreadyThere) {
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh/profile");
    const QString existing = dir.filePath("existing");
    ASSERT_TRUE(QDir().mkpath(existing));
    QFile::setPermissions(existing, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                        QFile::ExeOther);
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString& profile : {fresh, existing}) {
        // Any program stands in for the browser: only the folder is looked at.
        startDetachedBrowser("/bin/true", {"127.0.0.1", 9333}, profile.toStdString(), "", nullptr);
        const auto mode = QFileInfo(profile).permissions() &
                          ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
        EXPECT_EQ(mode, ownerOnly) << profile.toStdString();
    }
}

}  // namespace
}  // namespace surfdeck::chromium
