// The wrapper: attaching a window (the handle, the document, the probe for forward
// history), what its events become on the list, and what it keeps of them.
#include <gmock/gmock.h>

#include "TrackingFixture.h"

namespace surfdeck::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using Attach = TrackingTest;

TEST_F(Attach, WithoutForwardHistoryNothingReachesTheBrowser) {
    int n = shell.openWindow("http://a.example/").number;
    shell.window(n)->setHistory({"http://back.example/"}, {});
    track();
    ASSERT_EQ(list->Count(), 1);
    auto ie = list->IE(1);
    EXPECT_FALSE(ie->EnableForward());
    EXPECT_FALSE(ctx.CancelPending);
    EXPECT_THAT(shell.requests(), IsEmpty());
    EXPECT_THAT(events, IsEmpty());
    EXPECT_EQ(ie->IEHandle(), shell.window(n)->handle());
    EXPECT_EQ(ie->IEctl(), shell.window(n));
}

TEST_F(Attach, WithForwardHistoryTheProbeIsCancelledAndItsDownloadStopped) {
    int n = openWithForward("http://a.example/", "http://b.example/");
    track();
    EXPECT_THAT(shell.requestLog(), ElementsAre("#1 forward", "#1 stop-download"));
    // Nothing of it happens.
    EXPECT_EQ(shell.window(n)->address(), "http://a.example/");
    EXPECT_THAT(shell.window(n)->forwardList(), ElementsAre("http://b.example/"));
    EXPECT_FALSE(ctx.CancelPending);
    EXPECT_FALSE(list->IE(1)->EnableForward());
}

TEST_F(Attach, UnreadableHandleEndsTheAttachBeforeTheDocumentAndTheProbe) {
    int n = openWithForward("http://a.example/", "http://b.example/");
    shell.window(n)->setHandleFails(true);
    track();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_NE(list->IE("0"), nullptr);
    EXPECT_THAT(shell.requests(), IsEmpty());
    EXPECT_EQ(shell.window(n)->document()->receiverCount(), 0u);
    // Browser events still come: the events were connected first.
    shell.userNavigate(n, "http://c.example/");
    EXPECT_EQ(events.front(), "begin 0 top http://c.example/");
}

TEST_F(Attach, FolderWindowIsTrackedWithoutDocumentEvents) {
    int n = shell.openFolderWindow("/home/user").number;
    track();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_FALSE(shell.mouseDown(n));
    shell.userNavigate(n, "file:///tmp");
    EXPECT_EQ(events.front(), "begin #1 top file:///tmp");
}

TEST_F(Attach, TheDocumentIsTakenOnlyAtAttach) {
    int n = shell.openWindow("http://a.example/").number;
    track();
    shell.userNavigate(n, "http://b.example/");
    events.clear();
    EXPECT_TRUE(shell.mouseDown(n));
    EXPECT_THAT(events, IsEmpty());
}

// A probe whose navigation comes later, from the event loop: the pending cancel takes it
// within a second, and after that expires so that it cannot stop an unrelated navigation.
TEST_F(Attach, PendingCancelHitsALateProbeWithinOneSecondOnly) {
    int n = openWithForward("http://a.example/", "http://b.example/");
    shell.window(n)->setDeferredNavigation(true);
    track();
    EXPECT_TRUE(ctx.CancelPending);
    clock.setMs(999);
    loop.doEvents();
    EXPECT_EQ(shell.window(n)->address(), "http://a.example/");
    EXPECT_FALSE(ctx.CancelPending);

    list->Refresh();  // probes again at 999 ms
    clock.setMs(1999);
    loop.doEvents();
    EXPECT_EQ(shell.window(n)->address(), "http://b.example/");
    EXPECT_FALSE(ctx.CancelPending);
    shell.window(n)->setDeferredNavigation(false);
    EXPECT_TRUE(shell.userNavigate(n, "http://c.example/"));
}

class WrapperEvents : public TrackingTest {
  protected:
    int n = 0;
    void SetUp() override {
        web.setPage(
            "http://f.example/",
            R"(<frameset><frame src="http://f.example/1"><frame src="http://f.example/2">)");
        n = shell.openWindow("http://a.example/").number;
        track();
        events.clear();
        // The window sits at 100,80 on the screen.
        desktop.setCursorPos({150, 130});
    }
};

TEST_F(WrapperEvents, FramesArriveAsNavigationsButOnlyTheTopDocumentCompletes) {
    shell.userNavigate(n, "http://f.example/");
    EXPECT_THAT(
        events,
        ElementsAre("begin #1 top http://f.example/", "navigated #1 top http://f.example/",
                    "navigated #1 frame http://f.example/1",
                    "navigated #1 frame http://f.example/2", "download #1", "downloaded #1",
                    "document #1 top http://f.example/", "command #1 1 0", "command #1 2 -1"));
    EXPECT_TRUE(list->IE(1)->EnableBack());
}

TEST_F(WrapperEvents, CommandStateSetsForwardForOneBackForTwoAndNothingElse) {
    auto w = shell.window(n);
    auto ie = list->IE(1);
    w->raiseCommandStateChange(CSC_NAVIGATEFORWARD, true);
    EXPECT_TRUE(ie->EnableForward());
    EXPECT_FALSE(ie->EnableBack());
    w->raiseCommandStateChange(CSC_NAVIGATEBACK, true);
    EXPECT_TRUE(ie->EnableBack());
    w->raiseCommandStateChange(CSC_UPDATECOMMANDS, false);
    EXPECT_TRUE(ie->EnableForward());
    EXPECT_TRUE(ie->EnableBack());
    EXPECT_THAT(events, ElementsAre("command #1 1 -1", "command #1 2 -1", "command #1 -1 0"));
}

// Each receiver gets the list's own copies of Cancel and Enable.
TEST_F(WrapperEvents, ReceiverChangingCancelOrEnableReachesNeitherBrowserNorWrapper) {
    struct Meddler : cIEWindowsEvents {
        void IENavigationBegin(const std::int32_t&, Dispatch*, const std::string&,
                               const std::int32_t&, const std::string&, const std::string&,
                               const std::string&, bool& Cancel) override {
            Cancel = true;
        }
        void IECommandStateChange(const std::int32_t&, std::int32_t, bool& Enable) override {
            Enable = false;
        }
    } meddler;
    list->removeReceiver(this);
    list->addReceiver(&meddler);
    list->addReceiver(this);  // after the meddler: sees its changes
    bool cancelSeen = false;
    onBegin = [&](bool& Cancel) { cancelSeen = Cancel; };
    EXPECT_TRUE(shell.userNavigate(n, "http://b.example/"));
    EXPECT_EQ(shell.window(n)->address(), "http://b.example/");
    EXPECT_TRUE(cancelSeen);
    events.clear();
    shell.window(n)->raiseCommandStateChange(CSC_NAVIGATEFORWARD, true);
    EXPECT_TRUE(list->IE(1)->EnableForward());
    EXPECT_THAT(events, ElementsAre("command #1 1 0"));
}

TEST_F(WrapperEvents, ShiftIsTheStrongestModifierNeverASum) {
    for (const auto& [keys, expected] :
         {std::pair{"", 0}, {"S", 1}, {"SC", 2}, {"SA", 4}, {"SCA", 4}, {"C", 2}}) {
        const std::string held = keys;
        desktop.setKeyDown(VK_SHIFT, held.find('S') != held.npos);
        desktop.setKeyDown(VK_CONTROL, held.find('C') != held.npos);
        desktop.setKeyDown(VK_MENU, held.find('A') != held.npos);
        events.clear();
        shell.mouseDown(n);
        EXPECT_THAT(events, ElementsAre("down #1 2 " + std::to_string(expected) + " 50,50"))
            << held;
    }
}

TEST_F(WrapperEvents, ReleaseReportsTheButtonOfThePress) {
    desktop.setKeyDown(VK_LBUTTON, true);
    shell.mouseDown(n);
    desktop.setKeyDown(VK_LBUTTON, false);
    shell.mouseUp(n);
    // A right press followed by a release with the left button held.
    shell.mouseDown(n);
    desktop.setKeyDown(VK_LBUTTON, true);
    shell.mouseUp(n);
    // The middle button counts as the right one.
    desktop.setKeyDown(VK_LBUTTON, false);
    desktop.setKeyDown(VK_MBUTTON, true);
    shell.mouseDown(n);
    EXPECT_THAT(events, ElementsAre("down #1 1 0 50,50", "up #1 1 0 50,50", "down #1 2 0 50,50",
                                    "up #1 2 0 50,50", "down #1 2 0 50,50"));
}

TEST_F(WrapperEvents, MouseEventFailsWhenThePointerCannotBeRead) {
    desktop.setCursorFails(true);
    shell.mouseDown(n);
    EXPECT_THAT(events, IsEmpty());
    EXPECT_EQ(shell.sinkErrors().size(), 1u);
}

TEST_F(WrapperEvents, ContextMenuWhileACancelIsPendingIsSuppressedOnce) {
    int m = openWithForward("http://c.example/", "http://d.example/");
    shell.window(m)->setDeferredNavigation(true);  // the probe's navigation comes later
    list->Refresh();
    ASSERT_TRUE(ctx.CancelPending);
    events.clear();
    EXPECT_FALSE(shell.contextMenu(n));
    EXPECT_FALSE(ctx.CancelPending);
    EXPECT_THAT(events, ElementsAre("menu #1"));
    EXPECT_TRUE(shell.contextMenu(n));
    // The menu took the cancel, so the late probe navigation goes ahead.
    loop.doEvents();
    EXPECT_EQ(shell.window(m)->address(), "http://d.example/");
}

}  // namespace
}  // namespace surfdeck::test
