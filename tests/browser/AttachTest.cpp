// Attaching a wrapper: the handle, the document, and the probe for forward history.
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
    auto w = shell.window(n);
    EXPECT_THAT(shell.requestLog(), ElementsAre("#1 forward", "#1 stop-download"));
    // A rebuild probes again; receivers hear the probe's navigation begin.
    list->Refresh();
    EXPECT_THAT(shell.requestLog(),
                ElementsAre("#1 forward", "#1 stop-download", "#1 forward", "#1 stop-download"));
    EXPECT_THAT(events, ElementsAre("begin #1 top http://b.example/"));
    // Nothing of it happens.
    EXPECT_EQ(w->address(), "http://a.example/");
    EXPECT_THAT(w->forwardList(), ElementsAre("http://b.example/"));
    EXPECT_FALSE(ctx.CancelPending);
    EXPECT_FALSE(list->IE(1)->EnableForward());
}

TEST_F(Attach, UnreadableHandleEndsTheAttachBeforeTheDocumentAndTheProbe) {
    int n = openWithForward("http://a.example/", "http://b.example/");
    shell.window(n)->setHandleFails(true);
    track();
    ASSERT_EQ(list->Count(), 1);
    EXPECT_EQ(list->IE(1)->IEHandle(), 0);
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

// A probe whose navigation comes later, from the event loop.
TEST_F(Attach, PendingCancelHitsTheLateProbeWithinOneSecond) {
    int n = openWithForward("http://a.example/", "http://b.example/");
    shell.window(n)->setDeferredNavigation(true);
    track();
    EXPECT_TRUE(ctx.CancelPending);
    clock.setMs(999);
    loop.doEvents();
    EXPECT_EQ(shell.window(n)->address(), "http://a.example/");
    EXPECT_FALSE(ctx.CancelPending);
}

TEST_F(Attach, PendingCancelExpiresAfterOneSecond) {
    int n = openWithForward("http://a.example/", "http://b.example/");
    shell.window(n)->setDeferredNavigation(true);
    track();
    clock.setMs(1000);
    loop.doEvents();
    // Too late to be the probe's: the navigation goes ahead.
    EXPECT_EQ(shell.window(n)->address(), "http://b.example/");
    EXPECT_FALSE(ctx.CancelPending);
    // And the next unrelated navigation is untouched as well.
    shell.window(n)->setDeferredNavigation(false);
    EXPECT_TRUE(shell.userNavigate(n, "http://c.example/"));
}

}  // namespace
}  // namespace surfdeck::test
