#include "platform/devtools/RunningBrowser.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTcpServer>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "platform/devtools/BrowserSettings.h"
#include "platform/devtools/ChromiumAutomation.h"
#include "settings/Settings.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium {
namespace {

namespace fs = std::filesystem;
using test::waitFor;

// A process table of our own: one folder per process with its exe link and command line.
class FakeProcessTable {
  public:
    void add(int pid, const std::string& exe, const std::vector<std::string>& args) {
        const fs::path p = fs::path(dir_.path().toStdString()) / std::to_string(pid);
        fs::create_directories(p);
        fs::create_symlink(exe, p / "exe");
        std::ofstream cmdline(p / "cmdline", std::ios::binary);
        for (const auto& a : args) cmdline << a << '\0';
    }
    std::string path() const { return dir_.path().toStdString(); }

  private:
    QTemporaryDir dir_;
};

TEST(RunningBrowser, OnlyAMainBrowserProcessWithoutAnEndpointCounts) {
    struct Row {
        std::string exe;
        std::vector<std::string> args;
        bool counts;
    };
    const std::vector<Row> rows = {
        {"/usr/lib/chromium/chromium", {"/usr/lib/chromium/chromium"}, true},
        {"/opt/google/chrome/chrome", {"chrome", "--profile-directory=Default"}, true},
        {"/opt/brave.com/brave/brave", {"brave", "https://example.org/"}, true},
        {"/opt/vivaldi/vivaldi-bin", {"vivaldi-bin"}, true},
        {"/usr/lib/chromium/chromium (deleted)", {"chromium"}, true},
        {"/usr/lib/chromium/chromium", {"chromium", "--type=renderer"}, false},
        {"/usr/lib/chromium/chromium", {"chromium", "--remote-debugging-port=9222"}, false},
        {"/usr/lib/chromium/chromium", {"chromium", "--remote-debugging-pipe"}, false},
        {"/usr/lib/chromium/chromium", {"chromium", "--headless=new"}, false},
        {"/usr/bin/firefox-esr", {"firefox-esr"}, false},
        {"/usr/bin/chromium-helper", {"chromium-helper"}, false},
        {"/usr/lib/chromium/chromium", {}, false},
    };
    for (const Row& r : rows) {
        FakeProcessTable table;
        table.add(4321, r.exe, r.args);
        const auto found = browsersWithoutDevTools("", table.path());
        EXPECT_EQ(found.size(), r.counts ? 1u : 0u) << r.exe << " " << r.args.size();
        if (!found.empty()) {
            EXPECT_EQ(found[0].pid, 4321);
        }
    }
}

TEST(RunningBrowser, TheConfiguredExecutableCountsWhateverItsName) {
    QTemporaryDir dir;
    const std::string exe = dir.filePath("my-browser").toStdString();
    std::ofstream(exe) << "";
    FakeProcessTable table;
    table.add(77, exe, {"my-browser"});
    EXPECT_TRUE(browsersWithoutDevTools("", table.path()).empty());
    const auto found = browsersWithoutDevTools(exe, table.path());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].executable, exe);
}

// The real process table: a program named chromium, started with and without an endpoint.
TEST(RunningBrowser, IsFoundInTheSystemsProcessTable) {
    QTemporaryDir dir;
    const std::string exe = dir.filePath("chromium").toStdString();
    fs::copy_file("/bin/sh", exe);
    fs::permissions(exe, fs::perms::owner_all);
    for (const bool withPort : {false, true}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::setpgid(0, 0);
            // The shell stays (a last command would replace it), with the flag among its
            // arguments.
            ::execl(exe.c_str(), "chromium", "-c", "sleep 30; :", "chromium",
                    withPort ? "--remote-debugging-port=9222" : "--start-maximized", nullptr);
            ::_exit(127);
        }
        const auto listed = [&] {
            for (const auto& b : browsersWithoutDevTools(""))
                if (b.pid == pid) return true;
            return false;
        };
        const bool seen = waitFor(listed, withPort ? 500 : 5000);
        ::kill(-pid, SIGKILL);  // the shell and its sleep
        ::waitpid(pid, nullptr, 0);
        EXPECT_EQ(seen, !withPort);
    }
}

TEST(ConnectSetting, DevToolsOnlyWhenSaidAndOnlyThenIsABrowserStarted) {
    struct Row {
        const char* value;  // nullptr: no key
        Connect connect;
    };
    for (const Row& r : std::vector<Row>{{nullptr, Connect::Extension},
                                         {"extension", Connect::Extension},
                                         {"devtools", Connect::DevTools},
                                         {" DevTools ", Connect::DevTools},
                                         {"dev tools", Connect::Extension},
                                         {"", Connect::Extension}}) {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        if (r.value) WriteIni("Browser", "Connect", r.value, settingsPath(folder));
        EXPECT_EQ(readConnect(folder), r.connect) << (r.value ? r.value : "(none)");
        EXPECT_EQ(readBrowserSettings(folder).startBrowser, r.connect == Connect::DevTools);
        WriteIni("Browser", "StartBrowser", "0", settingsPath(folder));
        EXPECT_FALSE(readBrowserSettings(folder).startBrowser);
    }
}

// With the user's browser running without an endpoint, Surfdeck says so and starts none.
TEST(Launch, LeavesABrowserTheUserRunsWithoutAnEndpoint) {
    int port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    FakeProcessTable table;
    table.add(2468, "/usr/lib/chromium/chromium", {"/usr/lib/chromium/chromium"});
    QTemporaryDir profile;
    BrowserSettings s;
    s.address = "127.0.0.1:" + std::to_string(port);
    s.executable = "/usr/bin/chromium";
    s.profile = profile.filePath("profile").toStdString();
    s.processTable = table.path();
    s.reconnectMs = 0;
    std::vector<std::string> log;
    ChromiumAutomation automation(s, [&](const std::string& line) { log.push_back(line); });
    auto list = automation.createShellWindows();
    ASSERT_TRUE(waitFor([&] { return !log.empty(); }, 5000));
    EXPECT_EQ(log, std::vector<std::string>{"Browser not started: /usr/lib/chromium/chromium "
                                            "already runs (process 2468) without a DevTools port"});
    EXPECT_FALSE(fs::exists(s.profile));
    EXPECT_EQ(list->Count(), 0);
}

}  // namespace
}  // namespace surfdeck::chromium
