// The list: keys and positions, rebuilding on every open and close, nested rebuilds,
// and forwarding to receivers.
#include <gmock/gmock.h>

#include "TrackingFixture.h"

namespace surfdeck::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The list's handles in its own order must be the open windows' in the shell's order.
class WindowList : public TrackingTest {
  protected:
    void expectListMatchesShell() {
        std::vector<std::int32_t> tracked, open;
        for (const auto& ie : list->NewEnum()) tracked.push_back(ie->IEHandle());
        for (int n : shell.openWindowNumbers()) open.push_back(shell.window(n)->handle());
        EXPECT_EQ(tracked, open);
        EXPECT_FALSE(list->isRefreshing());
    }
};

TEST_F(WindowList, WrappersAreKeyedByDecimalHandleInShellOrder) {
    track();
    EXPECT_EQ(list->Count(), 0);
    EXPECT_THAT(list->NewEnum(), IsEmpty());
    shell.openWindow("http://a.example/");
    shell.openFolderWindow("/tmp");
    shell.openWindow("http://c.example/");
    expectListMatchesShell();
    const std::string key2 = std::to_string(shell.window(2)->handle());
    EXPECT_EQ(list->IE(key2), list->IE(2));
    EXPECT_THROW(list->IE("0"), std::out_of_range);
    EXPECT_THROW(list->IE(4), std::out_of_range);
    list->Remove(key2);
    EXPECT_EQ(list->Count(), 2);
    EXPECT_THROW(list->IE(key2), std::out_of_range);
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
    expectListMatchesShell();
    EXPECT_THAT(events, ElementsAre("begin #2 top http://next.example/", "revoked"));
}

TEST_F(WindowList, NestedRebuildRunsToItsEndAndTheOuterOneCompletesIt) {
    shell.openWindow("http://a.example/");
    shell.openWindow("http://b.example/");
    track();
    // While the rebuild for #3 walks the shell, #4 opens and announces itself.
    shell.openDuringNextItem("http://d.example/");
    shell.openWindow("http://c.example/");
    expectListMatchesShell();
    EXPECT_THAT(events, ElementsAre("registered", "registered"));
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
    expectListMatchesShell();
    // The same while tracking: the close announces itself nested inside the rebuild.
    shell.closeDuringNextItem(1);
    shell.openWindow("http://x.example/");
    expectListMatchesShell();
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

TEST_F(WindowList, EachKindRaisesItsEventWithItsArgumentsAndOtherKindsNothing) {
    shell.openWindow("http://a.example/");
    track();
    auto ie = list->IE(1);
    Dispatch* top = ie->IEctl().get();
    const std::string url = "http://b.example/", none;
    const std::int32_t flags = 0, command = 2;
    bool cancel = false;
    const bool enable = true;
    const std::int16_t button = 1, shift = 4;
    const float x = 5, y = 6;
    const std::vector<IEEventArg> nav{top, &url, &flags, &none, &none, &none, &cancel},
        page{top, &url}, mouse{&button, &shift, &x, &y}, state{&command, &enable};
    const std::vector<IEEventArg> args[] = {{},    nav,   page, {},    {}, page,
                                            mouse, mouse, {},   state, {}};
    for (std::int32_t kind = 0; kind <= 10; ++kind)
        ForwardIEEvent(ctx, *ie, kind, ie->IEHandle(), args[kind]);
    ForwardIEEvent(ctx, *ie, 42, ie->IEHandle(), nav);
    EXPECT_THAT(events,
                ElementsAre("begin #1 top http://b.example/", "navigated #1 top http://b.example/",
                            "download #1", "downloaded #1", "document #1 top http://b.example/",
                            "down #1 1 4 5,6", "up #1 1 4 5,6", "menu #1", "command #1 2 -1"));
}

// Here a receiver ends the list from inside one of its events.
TEST_F(WindowList, EventsAfterTheListEndedAreDropped) {
    int n = shell.openWindow("http://a.example/").number;
    track();
    auto kept = list->NewEnum();
    struct Ender : cIEWindowsEvents {
        std::unique_ptr<cIEWindows>* list;
        void IEWindowRegistered() override { list->reset(); }
    } ender;
    ender.list = &list;
    list->removeReceiver(this);
    list->addReceiver(&ender);
    list->addReceiver(this);
    shell.openWindow("http://b.example/");
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(ctx.IEWindowsPtr, nullptr);
    EXPECT_TRUE(shell.userNavigate(n, "http://c.example/"));
    EXPECT_EQ(shell.window(n)->receiverCount(), 0u);
    EXPECT_THAT(events, IsEmpty());
    EXPECT_THAT(shell.sinkErrors(), IsEmpty());

    // A new list hears each event once, from its own wrapper only.
    track();
    ASSERT_NE(kept.front(), list->IE(1));
    shell.userNavigate(n, "http://d.example/");
    EXPECT_EQ(std::count(events.begin(), events.end(), "begin #1 top http://d.example/"), 1);
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

}  // namespace
}  // namespace surfdeck::test
