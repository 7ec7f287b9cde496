// What a tracked window's events become on the list, and what the wrapper keeps of them.
#include <gmock/gmock.h>

#include "TrackingFixture.h"

namespace surfdeck::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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
                    "navigated #1 frame1 http://f.example/1",
                    "navigated #1 frame2 http://f.example/2", "download #1", "downloaded #1",
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

TEST_F(WrapperEvents, ReceiverChangingEnableDoesNotReachTheWrapper) {
    struct Meddler : cIEWindowsEvents {
        void IECommandStateChange(const std::int32_t&, std::int32_t, bool& Enable) override {
            Enable = false;
        }
    } meddler;
    list->addReceiver(&meddler);
    list->removeReceiver(this);
    list->addReceiver(this);  // after the meddler: sees its change
    shell.window(n)->raiseCommandStateChange(CSC_NAVIGATEFORWARD, true);
    EXPECT_TRUE(list->IE(1)->EnableForward());
    EXPECT_THAT(events, ElementsAre("command #1 1 0"));
}

TEST_F(WrapperEvents, ShiftIsTheStrongestModifierNeverASum) {
    struct Case {
        bool shift, ctrl, alt;
        int expected;
    };
    for (Case c :
         {Case{false, false, false, 0}, Case{true, false, false, 1}, Case{true, true, false, 2},
          Case{true, false, true, 4}, Case{true, true, true, 4}, Case{false, true, false, 2}}) {
        desktop.setKeyDown(VK_SHIFT, c.shift);
        desktop.setKeyDown(VK_CONTROL, c.ctrl);
        desktop.setKeyDown(VK_MENU, c.alt);
        events.clear();
        shell.mouseDown(n);
        EXPECT_THAT(events, ElementsAre("down #1 2 " + std::to_string(c.expected) + " 50,50"))
            << c.shift << c.ctrl << c.alt;
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
    EXPECT_THAT(events, ElementsAre("down #1 1 0 50,50", "up #1 1 0 50,50", "down #1 2 0 50,50",
                                    "up #1 2 0 50,50"));
}

TEST_F(WrapperEvents, MiddleButtonCountsAsRight) {
    desktop.setKeyDown(VK_MBUTTON, true);
    shell.mouseDown(n);
    EXPECT_THAT(events, ElementsAre("down #1 2 0 50,50"));
}

TEST_F(WrapperEvents, MouseEventFailsWhenThePointerCannotBeRead) {
    desktop.setCursorFails(true);
    shell.mouseDown(n);
    EXPECT_THAT(events, IsEmpty());
    EXPECT_EQ(shell.sinkErrors().size(), 1u);
}

TEST_F(WrapperEvents, ContextMenuWhileACancelIsPendingIsSuppressedOnce) {
    int m = shell.openWindow("http://c.example/").number;
    shell.window(m)->setHistory({}, {"http://d.example/"});
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
