// The core's browser tracking (the window list and its wrappers) over the real browser:
// the re-entrancy it is written for, with real answers and real nested events.
#include <gtest/gtest.h>

#include <QJsonArray>

#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

struct IEListEvents : cIEWindowsEvents {
    void IEWindowRegistered() override { ++registered; }
    void IEWindowRevoked() override { ++revoked; }
    int registered = 0;
    int revoked = 0;
};

using CoreTracking = ChromiumTest;

// The core's attach step on every tab: a pending cancel, GoForward, the stop-download command.
TEST_F(CoreTracking, TheAttachProbeLeavesATabWithForwardHistoryOnItsPage) {
    std::string id;
    auto tab = openTab("about:blank", &id);
    load(tab, server.url("/a.htm"));
    load(tab, server.url("/b.htm"));
    Recorder rec(tab.get());
    tab->advise(&rec);
    tab->GoBack();
    ASSERT_TRUE(waitFor([&] { return rec.has("complete " + server.url("/a.htm")); }));
    const int bRequests = server.requests("/b.htm");

    SimDesktop desktop;
    SimEventLoop loop;
    SimClock clock;
    TrackingContext ctx{desktop, loop, clock, *automation};
    cIEWindows windows(ctx);
    IEListEvents events;
    windows.addReceiver(&events);
    ASSERT_EQ(windows.Count(), 2);
    EXPECT_EQ(rec.count("before " + server.url("/b.htm")), 1)
        << "the probe went forward, cancelled";
    EXPECT_FALSE(ctx.CancelPending);

    // Opening a tab rebuilds every wrapper, probing every tab again.
    openTab(server.url("/c.htm"));
    ASSERT_TRUE(waitFor([&] { return events.registered == 1 && windows.Count() == 3; }));
    EXPECT_EQ(rec.count("before " + server.url("/b.htm")), 2);
    EXPECT_FALSE(ctx.CancelPending);

    load(tab, server.url("/home.htm"));  // anything the probes set going shows by now
    EXPECT_FALSE(rec.has("navigated " + server.url("/b.htm")));
    EXPECT_EQ(server.requests("/b.htm"), bRequests);
    EXPECT_EQ(driver->history(id).value("entries").toArray().size(), 3);
    // The wrappers follow the command state of their tabs.
    std::shared_ptr<IE_Class> wrapper;
    for (auto& w : windows.NewEnum())
        if (w->IEHandle() == tab->HWND()) wrapper = w;
    ASSERT_TRUE(wrapper);
    // A fresh wrapper first hears the tab's state as it was before the load (forward
    // history too): wait for the load's own report.
    ASSERT_TRUE(waitFor([&] { return wrapper->EnableBack() && !wrapper->EnableForward(); }));
    tab->GoBack();
    ASSERT_TRUE(waitFor([&] { return wrapper->EnableForward(); }));

    // Closing the browser empties the list.
    chrome.crash();
    ASSERT_TRUE(waitFor([&] { return events.revoked == 1; }));
    EXPECT_EQ(windows.Count(), 0);
}

// Closed normally, the browser ends its tabs one by one while the list rebuilds itself
// inside calls to them: no wrapper of a closed tab may stay behind in the list.
TEST_F(CoreTracking, ABrowserClosedNormallyLeavesAnEmptyList) {
    for (const char* page : {"/a.htm", "/b.htm", "/c.htm"}) openTab(server.url(page));
    SimDesktop desktop;
    SimEventLoop loop;
    SimClock clock;
    TrackingContext ctx{desktop, loop, clock, *automation};
    cIEWindows windows(ctx);
    ASSERT_EQ(windows.Count(), 4);

    driver->closeBrowser();
    ASSERT_TRUE(waitFor([&] { return !automation->connected(); }));
    waitFor([] { return false; }, 500);  // whatever else the browser had to say
    EXPECT_EQ(windows.Count(), 0);
    for (const auto& ie : windows.NewEnum()) {
        EXPECT_NO_THROW(ie->IEctl()->HWND()) << "a wrapper of a closed tab is still listed";
    }
}

}  // namespace
}  // namespace surfdeck::chromium::test
