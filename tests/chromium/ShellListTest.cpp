#include <gtest/gtest.h>

#include <utility>

#include "platform/devtools/CdpBrowser.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

using ShellList = ChromiumTest;

// The rebuilder does what the core does in its registered event: a new list, and on every
// window a synchronous probe whose own events arrive inside the calls. A receiver unadvised
// inside an event hears nothing more.
TEST_F(ShellList, FollowsTabsOpeningAndClosingWithOneEventEachAndStableHandles) {
    ListEvents events, rebuilder, quiet;
    Cookie quietCookie = 0;
    int probesWithoutForward = 0;
    rebuilder.onRegistered = [&] {
        if (quietCookie) list->unadvise(std::exchange(quietCookie, 0));
        auto fresh = automation->createShellWindows();
        for (int i = 0; i < fresh->Count(); ++i) {
            auto window = fresh->Item(i);
            window->HWND();
            try {
                window->GoForward();
            } catch (const AutomationError&) {
                ++probesWithoutForward;
            }
        }
    };
    list->advise(&events);
    list->advise(&rebuilder);
    quietCookie = list->advise(&quiet);
    ASSERT_EQ(list->Count(), 1);
    const Hwnd first = list->Item(0)->HWND();
    EXPECT_GE(first, CdpBrowser::kFirstHandle);

    std::string secondId, thirdId;
    auto second = openTab(server.url("/a.htm"), &secondId);
    ASSERT_TRUE(second);
    ASSERT_TRUE(waitFor([&] { return events.registered == 1; }));
    EXPECT_EQ(list->Count(), 2);
    auto third = openTab(server.url("/b.htm"), &thirdId);
    ASSERT_TRUE(third);
    ASSERT_TRUE(waitFor([&] { return events.registered == 2; }));
    EXPECT_EQ(rebuilder.registered, 2);
    EXPECT_EQ(probesWithoutForward, 2 + 3);
    EXPECT_EQ(quiet.registered, 0);
    // In the order the browser reported them, each with a handle of its own.
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(targetOf(list->Item(1)), secondId);
    EXPECT_EQ(targetOf(list->Item(2)), thirdId);
    EXPECT_NE(second->HWND(), first);
    EXPECT_NE(third->HWND(), second->HWND());
    EXPECT_GT(third->HWND(), 0);

    // Navigating and closing other tabs leaves a tab's handle alone.
    const Hwnd thirdHandle = third->HWND();
    load(third, server.url("/c.htm"));
    driver->closeTab(secondId);
    ASSERT_TRUE(waitFor([&] { return events.revoked == 1; }));
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(events.registered, 2);
    EXPECT_EQ(tabFor(secondId), nullptr);
    EXPECT_EQ(targetOf(list->Item(1)), thirdId);
    // A fresh list object names the same tab by the same handle and the same object.
    auto again = automation->createShellWindows();
    ASSERT_EQ(again->Count(), 2);
    EXPECT_EQ(again->Item(0)->HWND(), first);
    EXPECT_EQ(again->Item(1)->HWND(), thirdHandle);
    EXPECT_EQ(again->Item(1).get(), third.get());

    // The closed tab's object fails every call; an entry past the end fails.
    EXPECT_THROW(second->HWND(), AutomationError);
    EXPECT_THROW(second->Navigate(server.url("/b.htm")), AutomationError);
    EXPECT_THROW(second->GoBack(), AutomationError);
    EXPECT_THROW(list->Item(5), AutomationError);
}

}  // namespace
}  // namespace surfdeck::chromium::test
