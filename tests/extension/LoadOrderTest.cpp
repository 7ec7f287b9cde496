// When a load begins: Firefox reports a tab loading before its blocking request listener
// announces the load, so there the announcement begins it; the Chromium family announces
// the page's own navigations before the tab reports loading.
#include <gmock/gmock.h>

#include <stdexcept>

#include "ExtensionTestSupport.h"

namespace surfdeck::extension::test {
namespace {

using ::testing::ElementsAre;

struct LoadOrder {
    const char* browser;
    std::vector<std::string> lines;
};

// A browser that said hello with one tab at http://a/, whose events a recorder hears from
// now on.
struct OneTab {
    OneTab(const char* browser, int timeoutMs) : backend{scratch, timeoutMs} {
        peer.send({{"type", "hello"}, {"protocol", 1}, {"browser", browser}});
        peer.send(state({window(1, {tab(10, 1, 0, "http://a/")})}));
        if (!waitUntil([&] { return list->Count() == 1; }))
            throw std::runtime_error("the tab was never listed");
        tab10 = list->Item(0);
        tab10->advise(&rec);
        if (!waitUntil([&] { return rec.lines.size() == 2; }))
            throw std::runtime_error("the new receiver was not told the tab's state");
        rec.lines.clear();
    }
    Scratch scratch;
    Backend backend;
    std::shared_ptr<ShellWindows> list = backend.automation->createShellWindows();
    FakePeer peer{backend.automation->socketPath()};
    std::shared_ptr<BrowserWindow> tab10;
    Recorder rec;
};

class LoadBegins : public ::testing::TestWithParam<LoadOrder> {};

TEST_P(LoadBegins, WithTheAnnouncementWhereTheBrowserAnnouncesEveryLoad) {
    OneTab one(GetParam().browser, 300);
    FakePeer& peer = one.peer;
    Recorder& rec = one.rec;

    Json loading = tab(10, 1, 0, "http://a/");
    loading["status"] = "loading";
    peer.send({{"type", "tab"}, {"tab", loading}});
    peer.send({{"type", "beforeNavigate"},
               {"id", 3},
               {"tabId", 10},
               {"frameId", 0},
               {"url", "http://b/"},
               {"cancellable", true}});
    peer.send({{"type", "committed"},
               {"tabId", 10},
               {"frameId", 0},
               {"url", "http://b/"},
               {"transition", "link"}});
    peer.send({{"type", "completed"}, {"tabId", 10}, {"frameId", 0}, {"url", "http://b/"}});
    ASSERT_TRUE(waitUntil([&] { return rec.lines.size() >= 5; }));
    rec.lines.erase(std::remove_if(rec.lines.begin(), rec.lines.end(),
                                   [](const std::string& l) { return l.rfind("command", 0) == 0; }),
                    rec.lines.end());
    EXPECT_EQ(rec.lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Browsers, LoadBegins,
    ::testing::Values(LoadOrder{"firefox",
                                {"before http://b/", "begin", "navigated http://b/", "end",
                                 "complete http://b/"}},
                      LoadOrder{"chromium",
                                {"begin", "before http://b/", "navigated http://b/", "end",
                                 "complete http://b/"}}),
    [](const auto& browser) { return std::string(browser.param.browser); });

TEST(LoadBegins, ForTheProgramsOwnNavigationInFirefoxBeforeItCommits) {
    OneTab one("firefox", 2000);
    FakePeer& peer = one.peer;
    Recorder& rec = one.rec;
    peer.respond = [&](const Json& call) -> std::optional<Json> {
        // The browser announces the load the program started, then commits it.
        if (call["method"] == "navigate") {
            peer.send({{"type", "beforeNavigate"},
                       {"id", 4},
                       {"tabId", 10},
                       {"frameId", 0},
                       {"url", "http://c/"},
                       {"cancellable", true}});
        }
        return Json::object();
    };
    one.tab10->Navigate("http://c/");
    ASSERT_TRUE(waitUntil([&] { return rec.lines.size() >= 2; }));
    EXPECT_THAT(rec.lines, ElementsAre("before http://c/", "begin"))
        << "announced once, and the load began with the browser's announcement";
}

}  // namespace
}  // namespace surfdeck::extension::test
