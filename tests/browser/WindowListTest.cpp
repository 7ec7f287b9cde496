// The list: keys and positions, rebuilding on every open and close, nested rebuilds,
// and forwarding to receivers.
#include <gmock/gmock.h>

#include "TrackingFixture.h"

namespace surfdeck::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

using WindowList = TrackingTest;

std::vector<std::int32_t> handles(const cIEWindows& list) {
    std::vector<std::int32_t> out;
    for (const auto& ie : list.NewEnum()) out.push_back(ie->IEHandle());
    return out;
}

std::vector<std::int32_t> openHandles(const SimAutomation& shell) {
    std::vector<std::int32_t> out;
    for (int n : shell.openWindowNumbers()) out.push_back(shell.window(n)->handle());
    return out;
}

TEST_F(WindowList, EmptyShellGivesAnEmptyList) {
    track();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_THAT(list->NewEnum(), IsEmpty());
    EXPECT_THROW(list->IE(1), std::out_of_range);
}

TEST_F(WindowList, WrappersAreKeyedByDecimalHandleInShellOrder) {
    shell.openWindow("http://a.example/");
    shell.openFolderWindow("/tmp");
    shell.openWindow("http://c.example/");
    track();
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(handles(*list), openHandles(shell));
    const auto h2 = shell.window(2)->handle();
    EXPECT_EQ(list->IE(std::to_string(h2)), list->IE(2));
    EXPECT_THROW(list->IE("0"), std::out_of_range);
    EXPECT_THROW(list->IE(4), std::out_of_range);
    list->Remove(std::to_string(h2));
    EXPECT_EQ(list->Count(), 2);
    EXPECT_THROW(list->IE(std::to_string(h2)), std::out_of_range);
}

TEST_F(WindowList, DuplicateHandlesKeepOnlyTheFirstWrapper) {
    int a = shell.openWindow("http://a.example/").number;
    int b = shell.openWindow("http://b.example/").number;
    shell.window(a)->setHandleFails(true);
    shell.window(b)->setHandleFails(true);
    track();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->IE("0")->IEctl(), shell.window(a));
    // The dropped wrapper hears nothing more: no event comes twice or from it.
    shell.userNavigate(b, "http://c.example/");
    EXPECT_THAT(events, IsEmpty());
}

TEST_F(WindowList, EveryOpenAndCloseRebuildsAllWrappersAndRaisesOnce) {
    for (int i = 0; i < 3; ++i) shell.openWindow("http://w" + std::to_string(i) + ".example/");
    shell.window(2)->setHistory({}, {"http://next.example/"});
    track();
    const auto before = list->NewEnum();
    shell.clearRequests();
    const int listsBefore = shell.shellWindowsCreated();

    shell.openWindow("http://new.example/");
    EXPECT_EQ(shell.shellWindowsCreated(), listsBefore + 1);
    ASSERT_EQ(list->Count(), 4);
    for (const auto& old : before)
        for (const auto& now : list->NewEnum()) EXPECT_NE(old, now);
    // The attach step ran again on every window, the probe included.
    EXPECT_THAT(shell.requestLog(), ElementsAre("#2 forward", "#2 stop-download"));
    EXPECT_THAT(events, ElementsAre("begin #2 top http://next.example/", "registered"));

    events.clear();
    shell.closeWindow(1);
    EXPECT_EQ(handles(*list), openHandles(shell));
    EXPECT_THAT(events, ElementsAre("begin #2 top http://next.example/", "revoked"));
    EXPECT_FALSE(list->isRefreshing());
}

TEST_F(WindowList, NestedRebuildRunsToItsEndAndTheOuterOneCompletesIt) {
    shell.openWindow("http://a.example/");
    shell.openWindow("http://b.example/");
    track();
    // While the rebuild for #3 walks the shell, #4 opens and announces itself.
    shell.openDuringNextItem("http://d.example/");
    shell.openWindow("http://c.example/");
    EXPECT_EQ(handles(*list), openHandles(shell));
    EXPECT_THAT(events, ElementsAre("registered", "registered"));
    EXPECT_FALSE(list->isRefreshing());
    // Exactly one connection to the shell remains: the next open is heard once.
    events.clear();
    shell.openWindow("http://e.example/");
    EXPECT_THAT(events, ElementsAre("registered"));
    EXPECT_EQ(list->Count(), 5);
}

TEST_F(WindowList, WindowClosingDuringTheWalkIsLeftOut) {
    for (int i = 0; i < 3; ++i) shell.openWindow("http://w" + std::to_string(i) + ".example/");
    shell.closeDuringNextItem(3);
    ASSERT_NO_THROW(track());
    EXPECT_EQ(handles(*list), openHandles(shell));
    EXPECT_FALSE(list->isRefreshing());

    // The same while tracking: the close announces itself nested inside the rebuild.
    shell.closeDuringNextItem(1);
    shell.openWindow("http://x.example/");
    EXPECT_EQ(handles(*list), openHandles(shell));
    EXPECT_THAT(shell.sinkErrors(), IsEmpty());
}

TEST_F(WindowList, ReaderInsideARebuildIsAnsweredInsteadOfWaitingForEver) {
    openWithForward("http://a.example/", "http://b.example/");
    bool sawRefreshing = false;
    int countSeen = -1;
    onBegin = [&](bool&) {
        if (!list) return;  // still being made
        sawRefreshing = list->isRefreshing();
        countSeen = list->Count();
        EXPECT_THROW(list->IE(1), std::out_of_range);
    };
    track();
    list->Refresh();
    EXPECT_TRUE(sawRefreshing);
    EXPECT_EQ(countSeen, 0);
    EXPECT_EQ(list->Count(), 1);
}

TEST_F(WindowList, ReceiverSettingCancelDoesNotStopTheNavigation) {
    int n = shell.openWindow("http://a.example/").number;
    track();
    std::vector<bool> cancelSeen;
    onBegin = [&](bool& Cancel) { Cancel = true; };
    struct Second : cIEWindowsEvents {
        std::vector<bool>* seen;
        void IENavigationBegin(const std::int32_t&, Dispatch*, const std::string&,
                               const std::int32_t&, const std::string&, const std::string&,
                               const std::string&, bool& Cancel) override {
            seen->push_back(Cancel);
        }
    } second;
    second.seen = &cancelSeen;
    list->addReceiver(&second);
    EXPECT_TRUE(shell.userNavigate(n, "http://b.example/"));
    EXPECT_EQ(shell.window(n)->address(), "http://b.example/");
    EXPECT_THAT(cancelSeen, ElementsAre(true));  // one copy for all receivers of the event
}

TEST_F(WindowList, EventsAfterTheListEndedAreDropped) {
    int n = shell.openWindow("http://a.example/").number;
    track();
    auto kept = list->NewEnum();
    list.reset();
    EXPECT_EQ(ctx.IEWindowsPtr, nullptr);
    EXPECT_TRUE(shell.userNavigate(n, "http://b.example/"));
    EXPECT_EQ(shell.window(n)->receiverCount(), 0u);

    // A new list hears each event once, from its own wrapper only.
    track();
    ASSERT_NE(kept.front(), list->IE(1));
    events.clear();
    shell.userNavigate(n, "http://c.example/");
    EXPECT_EQ(std::count(events.begin(), events.end(), "begin #1 top http://c.example/"), 1);
}

TEST_F(WindowList, ReceiverMayEndTheListFromInsideAnEvent) {
    shell.openWindow("http://a.example/");
    track();
    struct Ender : cIEWindowsEvents {
        std::unique_ptr<cIEWindows>* list;
        void IEWindowRegistered() override { list->reset(); }
    } ender;
    ender.list = &list;
    list->addReceiver(&ender);
    list->removeReceiver(this);
    list->addReceiver(this);
    shell.openWindow("http://b.example/");
    EXPECT_EQ(list, nullptr);
    EXPECT_THAT(events, IsEmpty());
    EXPECT_THAT(shell.sinkErrors(), IsEmpty());
}

TEST_F(WindowList, FailingShellGoesToTheCreatorAndLeavesNoListBehind) {
    struct Broken : Automation {
        std::shared_ptr<ShellWindows> createShellWindows() override {
            throw AutomationError(automation_error::Failed, "Unspecified error");
        }
        std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole) override {
            return nullptr;
        }
    } broken;
    TrackingContext brokenCtx{desktop, loop, clock, broken};
    EXPECT_THROW(cIEWindows{brokenCtx}, AutomationError);
    EXPECT_EQ(brokenCtx.IEWindowsPtr, nullptr);
}

TEST_F(WindowList, UnknownKindRaisesNothing) {
    shell.openWindow("http://a.example/");
    track();
    auto ie = list->IE(1);
    const std::int32_t handle = ie->IEHandle();
    ForwardIEEvent(ctx, *ie, 42, handle, {});
    ForwardIEEvent(ctx, *ie, ie_event::DownloadBegin, handle, {});
    EXPECT_THAT(events, ElementsAre("download #1"));
}

}  // namespace
}  // namespace surfdeck::test
