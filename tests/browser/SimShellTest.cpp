// The simulated shell's own event order and timing, which tracking relies on; the rest of
// its contract is exercised through tracking and the program's scenarios.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/sim/SimShell.h"

namespace surfdeck::test {
namespace {

using ::testing::ElementsAre;

struct SimShellTest : ::testing::Test, BrowserEvents {
    SimDesktop desktop;
    SimEventLoop loop;
    SimWeb web;
    SimAutomation shell{desktop, loop, web};
    std::vector<std::string> seen;
    Dispatch* top = nullptr;
    bool inCall = false;

    std::string name(Dispatch* p) const { return p == top ? "top " : "frame "; }
    void BeforeNavigate2(BeforeNavigateArgs& a) override {
        seen.push_back((inCall ? "begin in call " : "begin ") + name(a.pDisp) + a.url);
    }
    void NavigateComplete2(Dispatch* p, const std::string& url) override {
        seen.push_back("navigated " + name(p) + url);
    }
    void DocumentComplete(Dispatch* p, const std::string& url) override {
        seen.push_back("document " + name(p) + url);
    }
    void DownloadBegin() override { seen.push_back("download"); }
    void DownloadComplete() override { seen.push_back("downloaded"); }
    void CommandStateChange(std::int32_t c, bool e) override {
        seen.push_back("command " + std::to_string(c) + (e ? " on" : " off"));
    }
    template <class Browser>
    std::shared_ptr<Browser> listen(std::shared_ptr<Browser> b) {
        b->advise(this);
        top = b.get();
        return b;
    }
};

TEST_F(SimShellTest, NavigationRaisesEventsInBrowserOrderWithFrames) {
    web.setPage("http://f.example/", R"(<frameset><FRAME SRC="http://f.example/a">)"
                                     R"(<iframe src='http://f.example/b'></iframe></frameset>)");
    int n = shell.openWindow("http://start.example/").number;
    listen(shell.window(n));
    ASSERT_TRUE(shell.userNavigate(n, "http://f.example/"));
    EXPECT_THAT(
        seen, ElementsAre("begin top http://f.example/", "navigated top http://f.example/",
                          "navigated frame http://f.example/a",
                          "navigated frame http://f.example/b", "download", "downloaded",
                          "document frame http://f.example/a", "document frame http://f.example/b",
                          "document top http://f.example/", "command 1 off", "command 2 on"));
    EXPECT_THAT(shell.window(n)->backList(), ElementsAre("http://start.example/"));
}

// The history entry that the navigation goes to is moved by that navigation.
TEST_F(SimShellTest, GoForwardDeliversBeforeNavigateInsideTheCall) {
    auto w = listen(shell.window(shell.openWindow("http://a.example/").number));
    w->setHistory({}, {"http://b.example/"});
    inCall = true;
    w->GoForward();
    inCall = false;
    EXPECT_EQ(seen.front(), "begin in call top http://b.example/");
    EXPECT_EQ(w->address(), "http://b.example/");
    EXPECT_THAT(w->backList(), ElementsAre("http://a.example/"));
}

// Imitating a browser whose back passes over pages the user never touched: a page left
// untouched on the program's word gives no way back; one clicked in does.
TEST_F(SimShellTest, BackPassesOverUntouchedPagesOnlyWhereTheImitatedBrowserDoes) {
    for (bool skips : {false, true}) {
        SCOPED_TRACE(skips);
        shell.imitate(skips ? kExtensionTraits : kSimTraits);
        const int n = shell.openWindow("http://a.example/").number;
        auto w = listen(shell.window(n));
        w->Navigate("http://b.example/");
        EXPECT_EQ(seen.back(), skips ? "command 2 off" : "command 2 on");
        shell.mouseDown(n);
        w->Navigate("http://c.example/");
        EXPECT_EQ(seen.back(), "command 2 on");
        w->GoBack();
        EXPECT_EQ(w->address(), "http://b.example/");
        if (skips) {
            EXPECT_EQ(seen.back(), "command 2 off");
            EXPECT_THROW(w->GoBack(), AutomationError);
        } else {
            w->GoBack();
            EXPECT_EQ(w->address(), "http://a.example/");
        }
        // Forward from the first page reached passes over nothing the user touched.
        while (!w->forwardList().empty()) w->GoForward();
        EXPECT_EQ(w->address(), "http://c.example/");
        shell.closeWindow(n);
    }
}

TEST_F(SimShellTest, EmbeddedBrowserLoadsWhenTheLoopPumpsAndStopAbandons) {
    web.setPage("http://q.example/", "<BODY><p>q</p></BODY>");
    auto q = listen(
        std::dynamic_pointer_cast<SimWebBrowser>(shell.createEmbeddedBrowser(EmbeddedRole::Query)));
    q->Navigate("http://q.example/");
    EXPECT_TRUE(q->loadPending());
    q->Stop();
    loop.doEvents();
    EXPECT_THAT(seen, ElementsAre("begin top http://q.example/"));
    q->Navigate("http://q.example/");
    loop.doEvents();
    EXPECT_EQ(seen.back(), "document top http://q.example/");
    EXPECT_EQ(q->Document()->bodyOuterHTML(), "<BODY><p>q</p></BODY>");  // the page's own tag
}

}  // namespace
}  // namespace surfdeck::test
