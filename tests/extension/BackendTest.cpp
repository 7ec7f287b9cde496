// The extension backend against fake browsers over its real socket.
#include <gmock/gmock.h>

#include <sys/fsuid.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "ExtensionTestSupport.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "platform/extension/ExtensionShellWindows.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"

namespace surfdeck::extension::test {
namespace {

using ::testing::ElementsAre;

struct ListEvents : ShellWindowsEvents {
    std::vector<std::string> lines;
    void WindowRegistered(std::int32_t h) override { lines.push_back("+" + std::to_string(h)); }
    void WindowRevoked(std::int32_t h) override { lines.push_back("-" + std::to_string(h)); }
};

class ExtensionBackend : public ::testing::Test {
  protected:
    Scratch scratch;
    Backend backend{scratch, 300};
    std::shared_ptr<ShellWindows> list = backend.automation->createShellWindows();
    ListEvents events;
    void SetUp() override { list->advise(&events); }

    std::unique_ptr<FakePeer> browser(std::vector<Json> windows, long long pid = 4242) {
        auto peer = std::make_unique<FakePeer>(backend.automation->socketPath());
        peer->hello(pid);
        peer->send(state(std::move(windows)));
        return peer;
    }
    std::vector<Hwnd> handles() {
        std::vector<Hwnd> all;
        for (int i = 0; i < list->Count(); ++i) all.push_back(list->Item(i)->HWND());
        return all;
    }
};

TEST_F(ExtensionBackend, PushedStateBecomesTheListWithHandlesNeverReused) {
    auto peer = browser({window(1, {tab(11, 1, 1, "http://b/"), tab(10, 1, 0, "http://a/")}),
                         window(2, {tab(20, 2, 0, "http://c/")})});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 3; }));
    EXPECT_TRUE(waitUntil([&] { return peer->count("settings") == 1; }))
        << "settings follow the hello";
    const auto first = handles();
    EXPECT_EQ(list->Item(0)->LocationURL(), "http://a/") << "window order, then tab-strip order";
    EXPECT_EQ(list->Item(2)->LocationURL(), "http://c/");
    EXPECT_THAT(first, ElementsAre(0x00200002, 0x00200001, 0x00200003));
    EXPECT_EQ(events.lines.size(), 3u);

    // A new whole picture: tab 11 gone, tab 12 new; the others keep their handles.
    peer->send(state({window(1, {tab(10, 1, 0, "http://a/"), tab(12, 1, 1, "http://d/")}),
                      window(2, {tab(20, 2, 0, "http://c/")})}));
    ASSERT_TRUE(waitUntil([&] { return events.lines.size() == 5; }));
    EXPECT_THAT(handles(), ElementsAre(0x00200002, 0x00200004, 0x00200003));
    EXPECT_EQ(events.lines[3], "-2097153");
    EXPECT_EQ(events.lines[4], "+2097156");
    peer->send({{"type", "tabRemoved"}, {"tabId", 20}, {"windowId", 2}});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 2; }));
}

TEST_F(ExtensionBackend, ANavigationRaisesItsEventsInTheOrderTheCoreRelies) {
    auto peer = browser({window(1, {tab(10, 1, 0, "http://a/")})});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 1; }));
    auto tab10 = list->Item(0);
    Recorder rec;
    tab10->advise(&rec);
    ASSERT_TRUE(waitUntil([&] { return rec.lines.size() == 2; }));
    EXPECT_THAT(rec.lines, ElementsAre("command 2 0", "command 1 0")) << "told at once on advise";
    rec.lines.clear();

    peer->send({{"type", "beforeNavigate"},
                {"id", 7},
                {"tabId", 10},
                {"frameId", 0},
                {"url", "http://b/"},
                {"cancellable", true}});
    peer->send({{"type", "committed"},
                {"tabId", 10},
                {"frameId", 0},
                {"url", "http://b/"},
                {"transition", "link"}});
    peer->send({{"type", "tab"}, {"tab", tab(10, 1, 0, "http://b/", true, false)}});
    peer->send({{"type", "completed"}, {"tabId", 10}, {"frameId", 0}, {"url", "http://b/"}});
    ASSERT_TRUE(waitUntil([&] { return rec.lines.size() >= 8; }));
    EXPECT_THAT(rec.lines, ElementsAre("before http://b/", "begin", "navigated http://b/",
                                       "command 2 0", "command 1 0", "command 2 1", "command 1 0",
                                       "end", "complete http://b/"));
    ASSERT_TRUE(peer->last("decision"));
    EXPECT_EQ((*peer->last("decision"))["id"], 7);
    EXPECT_EQ((*peer->last("decision"))["cancel"], false);
    EXPECT_EQ(tab10->LocationURL(), "http://b/");

    // A receiver that cancels: the page is told, and nothing loads.
    rec.lines.clear();
    rec.onBefore = [](BeforeNavigateArgs& a) { a.cancel = true; };
    peer->send({{"type", "beforeNavigate"},
                {"id", 8},
                {"tabId", 10},
                {"frameId", 0},
                {"url", "http://x/"},
                {"cancellable", true}});
    ASSERT_TRUE(waitUntil([&] { return peer->count("decision") == 2; }));
    EXPECT_EQ((*peer->last("decision"))["cancel"], true);
    EXPECT_THAT(rec.lines, ElementsAre("before http://x/"));
}

TEST_F(ExtensionBackend, AttachProbeOnATabWithForwardHistorySendsNothing) {
    auto peer = browser({window(1, {tab(10, 1, 0, "http://a/", true, true)})});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 1; }));
    SimDesktop desktop;
    SimEventLoop loop;
    SimClock clock;
    TrackingContext ctx{desktop, loop, clock, *backend.automation};
    cIEWindows windows(ctx);
    ASSERT_EQ(windows.Count(), 1);
    EXPECT_FALSE(ctx.CancelPending) << "the probe's own BeforeNavigate2 took the cancel";
    auto wrapper = windows.NewEnum().front();
    ASSERT_TRUE(waitUntil([&] { return wrapper->EnableBack() && wrapper->EnableForward(); }));
    EXPECT_EQ(peer->count("call"), 0) << "neither the cancelled forward nor a stop went out";
}

TEST_F(ExtensionBackend, CallsAreAnsweredOrFailWithTimeoutOrDisconnected) {
    auto peer = browser({window(1, {tab(10, 1, 0, "http://a/")})});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 1; }));
    auto doc = list->Item(0)->Document();
    peer->respond = [](const Json& call) -> std::optional<Json> {
        if (call["method"] == "getBody") return Json{{"html", "<body>hi</body>"}};
        return std::nullopt;
    };
    EXPECT_EQ(doc->bodyOuterHTML(), "<body>hi</body>");
    try {
        doc->setBodyTopMargin(3);
        FAIL() << "no answer came";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), automation_error::Timeout);
    }
    // The browser closes while a call waits: the call fails at once as disconnected.
    peer->respond = [&](const Json&) -> std::optional<Json> {
        peer->close();
        return std::nullopt;
    };
    try {
        doc->bodyOuterHTML();
        FAIL() << "the browser went";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), automation_error::Disconnected);
    }
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 0; }));
    EXPECT_THROW(doc->bodyOuterHTML(), AutomationError);
}

TEST_F(ExtensionBackend, TwoBrowsersShareOneList) {
    auto a = browser({window(1, {tab(10, 1, 0, "http://a/")})}, 100);
    auto b = browser({window(1, {tab(10, 1, 0, "http://b/")})}, 200);
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 2; }));
    EXPECT_NE(list->Item(0)->HWND(), list->Item(1)->HWND()) << "the same tab id in two browsers";
    a->send({{"type", "focus"}, {"windowId", 1}, {"tabId", 10}});
    b->send({{"type", "focus"}, {"windowId", 1}, {"tabId", 10}});
    auto fg = backend.automation->foreground();
    ASSERT_TRUE(waitUntil([&] { return fg->foregroundWindow() != 0; }));
    EXPECT_EQ(fg->foregroundWindow(), list->Item(1)->HWND()) << "the browser focused last";
    b->send({{"type", "focus"}, {"windowId", -1}, {"tabId", -1}});
    ASSERT_TRUE(waitUntil([&] { return fg->foregroundWindow() == list->Item(0)->HWND(); }));
    a->close();
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 1; }));
    EXPECT_EQ(list->Item(0)->LocationURL(), "http://b/");
}

TEST_F(ExtensionBackend, GarbageAndUnknownMessagesAreDroppedWithOneLineEach) {
    auto peer = std::make_unique<FakePeer>(backend.automation->socketPath());
    peer->send({{"type", "hello"}, {"browser", "evil\nInjected line"}});
    peer->send(state({window(1, {tab(10, 1, 0, "http://a/")})}));
    peer->sendRaw(wire::encodeFrame("{not json"));
    peer->sendRaw(wire::encodeFrame("[1,2]"));
    peer->sendRaw(wire::encodeFrame(R"({"type":5})"));
    peer->sendRaw(wire::encodeFrame(std::string(100, '[') + std::string(100, ']')));
    peer->send({{"type", "fromTheFuture"}, {"x", 1}});
    peer->send({{"type", "saveText"}, {"text", 5}});
    peer->send({{"type", "tab"}, {"tab", {{"id", "eleven"}}}});
    peer->send({{"type", "tab"}, {"tab", tab(11, 1, 1, "http://b/")}});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 2; })) << "the connection stays";
    EXPECT_EQ(backend.log.size(), 6u) << "connected, four dropped messages, no text to save";
    EXPECT_TRUE(backend.logged("Browser message dropped: not JSON"));
    EXPECT_TRUE(backend.logged("nested too deeply"));
    for (const auto& line : backend.log) EXPECT_EQ(line.find('\n'), std::string::npos) << line;
}

TEST_F(ExtensionBackend, AHugeOrHelloLessConnectionIsDropped) {
    auto huge = browser({window(1, {tab(10, 1, 0, "http://a/")})});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 1; }));
    huge->sendRaw(std::string("\xff\xff\xff\x7f", 4) + "{");
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 0; }));
    EXPECT_TRUE(backend.logged("over the limit of 8388608; connection dropped"));

    FakePeer rude(backend.automation->socketPath());
    rude.send(state({window(1, {tab(10, 1, 0, "http://a/")})}));
    ASSERT_TRUE(waitUntil([&] { return backend.logged("before saying hello"); }));
    EXPECT_EQ(list->Count(), 0);
}

TEST_F(ExtensionBackend, ASecondBackendLeavesTheSocketToTheFirst) {
    Backend second(scratch);
    EXPECT_FALSE(second.automation->listening());
    EXPECT_THAT(second.log, ElementsAre("Another Surfdeck is tracking the browser; this one "
                                        "tracks nothing"));
    auto peer = browser({window(1, {tab(10, 1, 0, "http://a/")})});
    ASSERT_TRUE(waitUntil([&] { return list->Count() == 1; }));
    EXPECT_EQ(second.automation->createShellWindows()->Count(), 0);
}

TEST_F(ExtensionBackend, TheLookupBrowserFetchesThroughAConnectedBrowser) {
    auto query = backend.automation->createEmbeddedBrowser(EmbeddedRole::Query);
    Recorder rec;
    query->advise(&rec);
    query->Navigate("http://q/?a");
    ASSERT_TRUE(waitUntil([&] { return backend.logged("no browser is connected"); }));
    auto peer = browser({});
    peer->respond = [](const Json& call) -> std::optional<Json> {
        return Json{{"html", "<body>" + call["url"].get<std::string>() + "</body>"}};
    };
    ASSERT_TRUE(waitUntil([&] { return backend.automation->hub().anyPeer() != 0; }));
    query->Navigate("http://q/?b");
    query->Stop();  // abandoned: no DocumentComplete for it
    query->Navigate("http://q/?c");
    ASSERT_TRUE(waitUntil([&] { return rec.lines.size() == 4; }));
    EXPECT_THAT(rec.lines, ElementsAre("before http://q/?a", "before http://q/?b",
                                       "before http://q/?c", "complete http://q/?c"));
    EXPECT_EQ(query->Document()->bodyOuterHTML(), "<body>http://q/?c</body>");
}

TEST_F(ExtensionBackend, TheLookupBrowserReadsASavedPageItselfBoundedInSize) {
    auto query = backend.automation->createEmbeddedBrowser(EmbeddedRole::Query);
    Recorder rec;
    query->advise(&rec);
    const std::string saved = ::testing::TempDir() + "/lookup-saved.htm";
    const std::string huge = ::testing::TempDir() + "/lookup-huge.htm";
    std::ofstream(saved) << "<body>saved</body>";
    std::ofstream(huge) << std::string((4u << 20) + 1, 'x');
    // No browser is connected: the saved page needs none.
    query->Navigate(saved);
    ASSERT_TRUE(waitUntil([&] { return rec.lines.size() == 2; }));
    EXPECT_EQ(rec.lines[1], "complete " + saved);
    EXPECT_EQ(query->Document()->bodyOuterHTML(), "<body>saved</body>");
    for (const std::string& bad : {huge, saved + ".missing"}) {
        query->Navigate("file://" + bad);
        ASSERT_TRUE(waitUntil([&] { return backend.logged("cannot read " + bad); }));
    }
    EXPECT_EQ(rec.lines.size(), 4u);  // two more befores, no completion
    std::remove(saved.c_str());
    std::remove(huge.c_str());
}

TEST_F(ExtensionBackend, AConnectionFromAnotherUserIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
    const std::string path = backend.automation->socketPath();
    const pid_t child = fork();
    if (child == 0) {
        // Another user as the socket sees it; the folder is still searched as root.
        if (seteuid(65534) != 0 || setfsuid(0) < 0) _exit(2);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        path.copy(a.sun_path, path.size());
        if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) _exit(3);
        const std::string hello = wire::encodeFrame(R"({"type":"hello"})");
        (void)!write(fd, hello.data(), hello.size());
        char c;
        _exit(read(fd, &c, 1) <= 0 ? 0 : 4);  // closed on us (reset: it read nothing)
    }
    ASSERT_TRUE(waitUntil([&] { return backend.logged("another user (uid 65534)"); }));
    int status = -1;
    ASSERT_TRUE(waitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(backend.automation->hub().peerCount(), 0u);
}

TEST(ExtensionSocket, AStaleSocketFileIsReplacedAndTheFolderIsPrivate) {
    Scratch scratch;
    { Backend gone(scratch); }
    // One that crashed leaves its socket file behind.
    std::filesystem::create_directories(scratch.socketFolder());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const std::string path = scratch.socketFolder() + "/socket";
    path.copy(a.sun_path, path.size());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    close(fd);
    std::filesystem::permissions(scratch.socketFolder(), std::filesystem::perms::all);
    Backend backend(scratch);
    EXPECT_TRUE(backend.automation->listening());
    EXPECT_EQ(
        std::filesystem::status(scratch.socketFolder()).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_all);
}

TEST(Fragments, SavedTextIsExactAndNeverOverwritten) {
    Scratch scratch;
    const std::string folder = (scratch.dir / "Fragments").string();
    const std::string text = "line one\r\nline two\n\ttabbed \xc3\xa9\n";
    std::string why;
    const std::string first = saveFragment(folder, text, &why);
    const std::string second = saveFragment(folder, "other", &why);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    EXPECT_NE(first, second);
    std::ifstream in(first, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
    EXPECT_THAT(std::filesystem::path(first).filename().string(),
                ::testing::MatchesRegex("fragment-[0-9]{8}-[0-9]{6}(-[0-9]+)?\\.txt"));
    // A folder that cannot be made: nothing written, the reason told.
    EXPECT_EQ(saveFragment(first + "/sub", "x", &why), "");
    EXPECT_THAT(why, ::testing::HasSubstr("sub"));
}

TEST(Foreground, TheActiveWindowPicksTheBrowserAndItsWindow) {
    const std::vector<BrowserView> browsers{
        {100,
         1,
         {{1, "Mail", false, 11, {{11, "Mail"}, {12, "Mail settings"}}},
          {2, "News", true, 21, {{21, "News"}, {22, "Twin"}, {23, "Twin"}}}}},
        {200, 2, {{1, "Docs", true, 31, {{31, "Docs"}, {32, ""}}}}},
    };
    struct Case {
        long long pid;
        std::string title;
        Hwnd tab;
    } cases[] = {
        {100, "Mail - Chromium", 11},
        {100, "News - Chromium", 21},
        {100, "Other - Chromium", 21},  // unknown title: the browser's focused window
        {200, "anything", 31},
        {0, "Docs - Firefox", 31},  // no pid: by title
        {300, "Terminal", 0},
        // A tab in front before the browser said so: the window system's title names it,
        // the longest title that fits winning over one that only begins it.
        {100, "Mail settings - Chromium", 12},
        {0, "Mail settings - Chromium", 12},
        // Two tabs of one title: not guessed, the browser's report stands.
        {100, "Twin - Chromium", 21},
        // A tab without a title names nothing.
        {200, " - Chromium", 31},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pickForegroundTab(browsers, c.pid, c.title), c.tab) << c.pid << " " << c.title;
}

TEST(Foreground, WhicheverOfTitleAndReportMovedLastIsBelieved) {
    // One browser window with two tabs; `active` is the tab its extension reports active.
    auto browser = [](Hwnd active, bool withBeta = true) {
        WindowView w{1, "", true, active, {{11, "Alpha"}}};
        if (withBeta) w.tabs.push_back({12, "Beta"});
        return std::vector<BrowserView>{{100, 1, {w}}};
    };
    struct Step {
        Hwnd active;
        const char* title;
        bool withBeta;
        Hwnd chosen;
    } steps[] = {
        {11, "Alpha - Chromium", true, 11},
        {11, "Beta - Chromium", true, 12},  // the window system is first
        {11, "Beta - Chromium", true, 12},  // and stays believed until the report comes
        {12, "Beta - Chromium", true, 12},
        {11, "Beta - Chromium", true, 11},  // now the report is first
        {11, "Beta - Chromium", true, 11},  // and is not undone by the older title
        {11, "Alpha - Chromium", true, 11},
        {11, "Beta - Chromium", true, 12},
        {11, "Beta - Chromium", false, 11},  // the tab chosen by its title closed
    };
    ForegroundChoice choice;
    int i = 0;
    for (const auto& s : steps) {
        EXPECT_EQ(choice.choose(browser(s.active, s.withBeta), 100, s.title), s.chosen)
            << "step " << i;
        ++i;
    }
}

}  // namespace
}  // namespace surfdeck::extension::test
