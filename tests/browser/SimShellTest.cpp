// The simulated shell's own contract, which the tracking and scenario tests rely on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "platform/sim/SimShell.h"

namespace surfdeck::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Fixture : ::testing::Test, BrowserEvents, ShellWindowsEvents {
    SimDesktop desktop;
    SimEventLoop loop;
    SimWeb web;
    SimAutomation shell{desktop, loop, web};
    std::vector<std::string> seen;
    Dispatch* top = nullptr;
    bool cancelNext = false;
    std::function<void()> onBegin;

    std::string name(Dispatch* p) const { return p == top ? "top" : "frame"; }
    void BeforeNavigate2(BeforeNavigateArgs& a) override {
        seen.push_back("begin " + name(a.pDisp) + " " + a.url);
        if (onBegin) onBegin();
        a.cancel = cancelNext;
    }
    void NavigateComplete2(Dispatch* p, const std::string& url) override {
        seen.push_back("navigated " + name(p) + " " + url);
    }
    void DocumentComplete(Dispatch* p, const std::string& url) override {
        seen.push_back("document " + name(p) + " " + url);
    }
    void DownloadBegin() override { seen.push_back("download"); }
    void DownloadComplete() override { seen.push_back("downloaded"); }
    void CommandStateChange(std::int32_t c, bool e) override {
        seen.push_back("command " + std::to_string(c) + (e ? " on" : " off"));
    }
    void StatusTextChange(const std::string& t) override { seen.push_back("status " + t); }
    void WindowRegistered(std::int32_t c) override {
        seen.push_back("registered " + std::to_string(c));
    }
    void WindowRevoked(std::int32_t c) override { seen.push_back("revoked " + std::to_string(c)); }

    std::shared_ptr<SimShellWindow> listen(int n) {
        auto w = shell.window(n);
        w->advise(this);
        top = w.get();
        return w;
    }
};

TEST_F(Fixture, NavigationRaisesEventsInBrowserOrderWithFrames) {
    web.setPage("http://f.example/", R"(<frameset><FRAME SRC="http://f.example/a">)"
                                     R"(<iframe src='http://f.example/b'></iframe></frameset>)");
    int n = shell.openWindow("http://start.example/").number;
    listen(n);
    ASSERT_TRUE(shell.userNavigate(n, "http://f.example/"));
    EXPECT_THAT(
        seen, ElementsAre("begin top http://f.example/", "navigated top http://f.example/",
                          "navigated frame http://f.example/a",
                          "navigated frame http://f.example/b", "download", "downloaded",
                          "document frame http://f.example/a", "document frame http://f.example/b",
                          "document top http://f.example/", "command 1 off", "command 2 on"));
    EXPECT_THAT(shell.window(n)->backList(), ElementsAre("http://start.example/"));
}

TEST_F(Fixture, CancelledNavigationChangesNothing) {
    int n = shell.openWindow("http://a.example/").number;
    auto w = listen(n);
    auto doc = w->document();
    cancelNext = true;
    EXPECT_FALSE(shell.userNavigate(n, "http://b.example/"));
    EXPECT_THAT(seen, ElementsAre("begin top http://b.example/"));
    EXPECT_EQ(w->address(), "http://a.example/");
    EXPECT_EQ(w->document(), doc);
    EXPECT_THAT(w->backList(), IsEmpty());
}

TEST_F(Fixture, GoForwardDeliversBeforeNavigateInsideTheCall) {
    int n = shell.openWindow("http://a.example/").number;
    auto w = listen(n);
    w->setHistory({}, {"http://b.example/"});
    bool inCall = false;
    std::vector<bool> insideCall;
    onBegin = [&] { insideCall.push_back(inCall); };
    inCall = true;
    w->GoForward();
    inCall = false;
    EXPECT_THAT(insideCall, ElementsAre(true));
    EXPECT_EQ(w->address(), "http://b.example/");
    EXPECT_THAT(w->backList(), ElementsAre("http://a.example/"));
}

TEST_F(Fixture, DeferredNavigationArrivesFromTheEventLoop) {
    int n = shell.openWindow("http://a.example/").number;
    auto w = listen(n);
    w->setDeferredNavigation(true);
    w->Navigate("http://b.example/");
    EXPECT_THAT(seen, IsEmpty());
    loop.doEvents();
    EXPECT_EQ(seen.front(), "begin top http://b.example/");
    EXPECT_EQ(w->address(), "http://b.example/");
}

TEST_F(Fixture, GoingWithoutHistoryFailsAndReachesNothing) {
    auto w = shell.window(shell.openWindow("http://a.example/").number);
    EXPECT_THROW(w->GoForward(), AutomationError);
    EXPECT_THROW(w->GoBack(), AutomationError);
    EXPECT_THAT(shell.requests(), IsEmpty());
}

TEST_F(Fixture, RequestLogListsProgramRequestsWithWindowNumbers) {
    shell.setHomePage("http://home.example/");
    auto w1 = shell.window(shell.openWindow("http://a.example/").number);
    auto w2 = shell.window(shell.openWindow("http://b.example/").number);
    w2->Navigate("http://c.example/");
    w2->GoBack();
    w2->GoForward();
    shell.userNavigate(1, "http://user.example/");  // the user's own: not logged
    w1->GoHome();
    w1->Stop();
    w1->Refresh2();
    w1->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER);
    w1->setFullScreen(true);
    w1->setToolBar(0);
    EXPECT_THAT(
        shell.requestLog(),
        ElementsAre("#2 navigate http://c.example/", "#2 back", "#2 forward", "#1 home", "#1 stop",
                    "#1 refresh", "#1 stop-download", "#1 fullscreen -1", "#1 toolbar 0"));
    EXPECT_EQ(w1->address(), "http://home.example/");
    EXPECT_THAT(shell.requestLog(2),
                ElementsAre("#2 navigate http://c.example/", "#2 back", "#2 forward"));
}

TEST_F(Fixture, FolderWindowHasEventsButNoHtmlDocument) {
    int n = shell.openFolderWindow("/home/user").number;
    auto w = listen(n);
    EXPECT_EQ(w->LocationURL(), "file:///home/user");
    try {
        w->Document();
        FAIL() << "a folder has no HTML document";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), automation_error::TypeMismatch);
    }
    shell.userNavigate(n, "file:///tmp");
    EXPECT_EQ(seen.front(), "begin top file:///tmp");
    EXPECT_FALSE(shell.mouseDown(n));
}

TEST_F(Fixture, ClosedWindowIsGoneEverywhere) {
    auto opened = shell.openWindow("http://a.example/");
    auto w = shell.window(opened.number);
    EXPECT_EQ(w->HWND(), opened.handle);
    EXPECT_TRUE(desktop.exists(opened.handle));
    w->setHandleFails(true);
    EXPECT_THROW(w->HWND(), AutomationError);
    ASSERT_TRUE(shell.closeWindow(opened.number));
    EXPECT_FALSE(desktop.exists(opened.handle));
    EXPECT_THROW(w->LocationURL(), AutomationError);
    EXPECT_THROW(w->Navigate("http://b.example/"), AutomationError);
    EXPECT_FALSE(shell.closeWindow(opened.number));
}

TEST_F(Fixture, ListObjectsHearOpenAndCloseAndItemFailsForAGoneEntry) {
    auto a = shell.createShellWindows();
    auto b = shell.createShellWindows();
    a->advise(this);
    Cookie cb = b->advise(this);
    b->unadvise(cb);
    shell.openWindow("http://a.example/");
    shell.openWindow("http://b.example/");
    shell.closeWindow(1);
    EXPECT_THAT(seen, ElementsAre("registered 1", "registered 2", "revoked 1"));

    shell.openWindow("http://c.example/");
    ASSERT_EQ(a->Count(), 2);
    shell.closeDuringNextItem(3);
    EXPECT_THROW(a->Item(1), AutomationError);
    EXPECT_EQ(seen.back(), "revoked 3");
}

TEST_F(Fixture, ReceiverFailureStopsAtTheShell) {
    struct Thrower : ShellWindowsEvents {
        void WindowRegistered(std::int32_t) override { throw std::runtime_error("boom"); }
    } thrower;
    auto a = shell.createShellWindows();
    a->advise(&thrower);
    a->advise(this);
    EXPECT_NO_THROW(shell.openWindow("http://a.example/"));
    EXPECT_THAT(shell.sinkErrors(), ElementsAre("boom"));
    EXPECT_THAT(seen, ElementsAre("registered 1"));
}

TEST(SimWebDocument, BodyMarkupKeepsThePagesOwnTag) {
    SimWebDocument upper("<HTML><BODY bgcolor=white><P>x</P></BODY></HTML>", nullptr);
    EXPECT_EQ(upper.bodyOuterHTML(), "<BODY bgcolor=white><P>x</P></BODY>");
    SimWebDocument bare("<html><head><title>t</title></head><p>y</p></html>", nullptr);
    EXPECT_EQ(bare.bodyOuterHTML(), "<body><p>y</p></body>");
    upper.setBodyInnerHTML("<b>new</b>");
    EXPECT_EQ(upper.bodyOuterHTML(), "<BODY bgcolor=white><b>new</b></BODY>");
}

TEST(SimWeb, ServesPagesFilesAndNotFound) {
    SimWeb web;
    web.setPage("http://a.example/", "<p>a</p>");
    const std::string path = ::testing::TempDir() + "simweb_page.htm";
    std::ofstream(path) << "<body>from disk</body>";
    EXPECT_EQ(web.fetch("http://a.example/"), "<p>a</p>");
    EXPECT_EQ(web.fetch("file://" + path), "<body>from disk</body>");
    EXPECT_EQ(web.fetch(path), "<body>from disk</body>");
    EXPECT_NE(web.fetch("http://nowhere.example/<x>").find("&lt;x&gt;"), std::string::npos);
    std::remove(path.c_str());
}

TEST_F(Fixture, QueryBrowserLoadsWhenTheLoopPumpsAndStopAbandons) {
    web.setPage("http://q.example/", "<body><iframe src=\"http://q.example/f\"></iframe></body>");
    auto q =
        std::dynamic_pointer_cast<SimWebBrowser>(shell.createEmbeddedBrowser(EmbeddedRole::Query));
    q->advise(this);
    top = q.get();
    q->Navigate("http://q.example/");
    EXPECT_TRUE(q->loadPending());
    q->Stop();
    loop.doEvents();
    EXPECT_EQ(seen, std::vector<std::string>{"begin top http://q.example/"});

    seen.clear();
    q->Navigate("http://q.example/");
    loop.doEvents();
    EXPECT_THAT(seen,
                ElementsAre("begin top http://q.example/", "navigated top http://q.example/",
                            "navigated frame http://q.example/f", "download", "downloaded",
                            "document frame http://q.example/f", "document top http://q.example/"));
    EXPECT_EQ(q->Document()->bodyOuterHTML(),
              "<body><iframe src=\"http://q.example/f\"></iframe></body>");
}

TEST_F(Fixture, ResultsBrowserAsksBeforeEveryNavigation) {
    auto r = std::dynamic_pointer_cast<SimWebBrowser>(
        shell.createEmbeddedBrowser(EmbeddedRole::Results));
    EXPECT_EQ(shell.embedded(EmbeddedRole::Results), r);
    r->advise(this);
    top = r.get();
    r->Navigate("about:blank");
    EXPECT_EQ(seen.back(), "document top about:blank");
    r->Document()->setBodyInnerHTML("<a href=\"http://x.example/\">x</a>");
    EXPECT_EQ(r->bodyHTML(), "<a href=\"http://x.example/\">x</a>");

    cancelNext = true;
    EXPECT_FALSE(r->clickLink("http://x.example/"));
    EXPECT_EQ(r->bodyHTML(), "<a href=\"http://x.example/\">x</a>");
    r->hoverLink("http://x.example/");
    EXPECT_EQ(seen.back(), "status http://x.example/");
}

}  // namespace
}  // namespace surfdeck::test
