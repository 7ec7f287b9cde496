#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include "platform/chromium/BrowserLauncher.h"
#include "platform/chromium/BrowserSettings.h"
#include "shell/Settings.h"

namespace surfdeck::chromium {
namespace {

std::string endpoint(const std::string& address) {
    auto e = parseLoopbackEndpoint(address);
    return e ? e->host + " " + std::to_string(e->port) : "refused";
}

TEST(DevToolsAddress, LoopbackAddressesAreTaken) {
    EXPECT_EQ(endpoint("127.0.0.1:9222"), "127.0.0.1 9222");
    EXPECT_EQ(endpoint(" localhost:9333 "), "127.0.0.1 9333");
    EXPECT_EQ(endpoint("LOCALHOST"), "127.0.0.1 9222");
    EXPECT_EQ(endpoint("127.1.2.3:80"), "127.1.2.3 80");
    EXPECT_EQ(endpoint("[::1]:9229"), "::1 9229");
    EXPECT_EQ(endpoint("http://127.0.0.1:9222/"), "127.0.0.1 9222");
}

TEST(DevToolsAddress, OtherHostsAndMalformedTextAreRefused) {
    EXPECT_EQ(endpoint("192.168.1.5:9222"), "refused");
    EXPECT_EQ(endpoint("0.0.0.0:9222"), "refused");
    EXPECT_EQ(endpoint("example.com:9222"), "refused");
    EXPECT_EQ(endpoint("localhost.example.com:9222"), "refused");
    EXPECT_EQ(endpoint("127.0.0.1.example.com:9222"), "refused");
    EXPECT_EQ(endpoint("[2001:db8::1]:9222"), "refused");
    EXPECT_EQ(endpoint("::1"), "refused");
    EXPECT_EQ(endpoint("127.0.0.1:0"), "refused");
    EXPECT_EQ(endpoint("127.0.0.1:65536"), "refused");
    EXPECT_EQ(endpoint("127.0.0.1:92a2"), "refused");
    EXPECT_EQ(endpoint(""), "refused");
}

TEST(RefusedScheme, ScriptAndDataAddressesAreFoundHoweverWritten) {
    EXPECT_EQ(refusedScheme("javascript:alert(1)"), "javascript");
    EXPECT_EQ(refusedScheme("  \t JaVaScRiPt:alert(1)"), "javascript");
    EXPECT_EQ(refusedScheme("java\nscr\tipt:alert(1)"), "javascript");
    EXPECT_EQ(refusedScheme("\x01javascript:x"), "javascript");
    EXPECT_EQ(refusedScheme("data:text/html,<b>x</b>"), "data");
    EXPECT_EQ(refusedScheme("vbscript:msgbox"), "vbscript");
}

TEST(RefusedScheme, OrdinaryAddressesPass) {
    EXPECT_EQ(refusedScheme("http://example.com/javascript:x"), "");
    EXPECT_EQ(refusedScheme("https://data.example/"), "");
    EXPECT_EQ(refusedScheme("file:///home/user/g1.htm"), "");
    EXPECT_EQ(refusedScheme("about:blank"), "");
    EXPECT_EQ(refusedScheme("javascript.example.com/page"), "");
}

TEST(NavigableUrl, PathsAndBareHostsBecomeAddresses) {
    EXPECT_EQ(navigableUrl("/opt/surfdeck/g1.htm"), "file:///opt/surfdeck/g1.htm");
    EXPECT_EQ(navigableUrl("www.example.com/x"), "http://www.example.com/x");
    EXPECT_EQ(navigableUrl("localhost:8080/x"), "http://localhost:8080/x");
    EXPECT_EQ(navigableUrl("https://example.com/a?b=c"), "https://example.com/a?b=c");
    EXPECT_EQ(navigableUrl("about:blank"), "about:blank");
}

TEST(BrowserSection, DefaultsWhenTheFileSaysNothing) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const BrowserSettings s = readBrowserSettings(folder);
    EXPECT_EQ(s.address, "127.0.0.1:9222");
    EXPECT_TRUE(s.startBrowser);
    EXPECT_EQ(s.executable, "");
    EXPECT_EQ(s.profile, programFile(folder, "browser-profile"));
    EXPECT_EQ(s.homePage, "about:blank");
}

TEST(BrowserSection, ValuesAreReadFromConfIni) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::string file = settingsPath(folder);
    WriteIni("Browser", "DevTools", "127.0.0.1:9333", file);
    WriteIni("Browser", "StartBrowser", "0", file);
    WriteIni("Browser", "Executable", "/opt/chrome/chrome", file);
    WriteIni("Browser", "Profile", "/srv/profile", file);
    WriteIni("Browser", "HomePage", "http://intranet/", file);
    WriteIni("Browser", "Flags", "--start-maximized", file);
    const BrowserSettings s = readBrowserSettings(folder);
    EXPECT_EQ(s.address, "127.0.0.1:9333");
    EXPECT_FALSE(s.startBrowser);
    EXPECT_EQ(s.executable, "/opt/chrome/chrome");
    EXPECT_EQ(s.profile, "/srv/profile");
    EXPECT_EQ(s.homePage, "http://intranet/");
    EXPECT_EQ(s.flags, "--start-maximized");
}

}  // namespace
}  // namespace surfdeck::chromium

namespace surfdeck::chromium {
namespace {

TEST(BrowserFlags, TheEndpointStaysOnTheLoopbackAddressWhateverTheExtraFlagsSay) {
    QStringList dropped;
    const QStringList args = browserArguments(
        {"127.0.0.1", 9333}, "/srv/profile",
        "--remote-debugging-address=0.0.0.0 --start-maximized --remote-allow-origins=* "
        "--remote-debugging-port=1 --user-data-dir=/root/.config/chromium \"--lang=fr FR\"",
        &dropped);
    EXPECT_TRUE(args.contains("--remote-debugging-address=127.0.0.1"));
    EXPECT_TRUE(args.contains("--remote-debugging-port=9333"));
    EXPECT_TRUE(args.contains("--user-data-dir=/srv/profile"));
    EXPECT_TRUE(args.contains("--start-maximized"));
    EXPECT_TRUE(args.contains("--lang=fr FR"));
    EXPECT_EQ(args.filter("--remote-debugging-address").size(), 1);
    EXPECT_EQ(args.filter("--remote-debugging-port").size(), 1);
    EXPECT_EQ(args.filter("--user-data-dir").size(), 1);
    EXPECT_TRUE(args.filter("--remote-allow-origins").isEmpty());
    EXPECT_EQ(dropped, (QStringList{"--remote-debugging-address", "--remote-allow-origins",
                                    "--remote-debugging-port", "--user-data-dir"}));
}

}  // namespace
}  // namespace surfdeck::chromium
