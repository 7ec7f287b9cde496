#include <gtest/gtest.h>

#include "ChromiumTestSupport.h"
#include "platform/chromium/CdpBrowser.h"

namespace surfdeck::chromium::test {
namespace {

struct ListEvents : ShellWindowsEvents {
    void WindowRegistered(std::int32_t) override { ++registered; }
    void WindowRevoked(std::int32_t) override { ++revoked; }
    int registered = 0;
    int revoked = 0;
};

std::vector<Hwnd> handles(ShellWindows& list) {
    std::vector<Hwnd> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Item(i)->HWND());
    return out;
}

using ShellList = ChromiumTest;

TEST_F(ShellList, FollowsTabsOpeningAndClosingWithOneEventEach) {
    connectBackend();
    ListEvents events;
    list->advise(&events);
    ASSERT_EQ(list->Count(), 1);

    std::string second, third;
    auto tab = openTab(server.url("/a.htm"), &second);
    ASSERT_TRUE(tab);
    ASSERT_TRUE(waitFor([&] { return events.registered == 1; }));
    EXPECT_EQ(list->Count(), 2);
    openTab(server.url("/b.htm"), &third);
    ASSERT_TRUE(waitFor([&] { return events.registered == 2; }));
    // In the order the browser reported them.
    ASSERT_EQ(list->Count(), 3);
    EXPECT_EQ(targetOf(list->Item(1)), second);
    EXPECT_EQ(targetOf(list->Item(2)), third);

    driver->closeTab(second);
    ASSERT_TRUE(waitFor([&] { return events.revoked == 1; }));
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(events.registered, 2);
    EXPECT_EQ(tabFor(second), nullptr);
    EXPECT_EQ(targetOf(list->Item(1)), third);

    // The closed tab's object fails every call; an entry past the end fails.
    EXPECT_THROW(tab->HWND(), AutomationError);
    EXPECT_THROW(tab->Navigate(server.url("/b.htm")), AutomationError);
    EXPECT_THROW(tab->GoBack(), AutomationError);
    EXPECT_THROW(list->Item(5), AutomationError);
}

TEST_F(ShellList, HandlesArePositiveDistinctAndStableForTheTabsLife) {
    connectBackend();
    const Hwnd first = list->Item(0)->HWND();
    EXPECT_GE(first, CdpBrowser::kFirstHandle);

    std::string secondId, thirdId;
    auto second = openTab(server.url("/a.htm"), &secondId);
    auto third = openTab(server.url("/b.htm"), &thirdId);
    ASSERT_TRUE(second && third);
    EXPECT_NE(second->HWND(), first);
    EXPECT_NE(third->HWND(), second->HWND());
    EXPECT_GT(third->HWND(), 0);

    // Navigating and closing other tabs leaves a tab's handle alone, and a fresh list
    // object names the same tab by the same handle and the same object.
    const Hwnd secondHandle = second->HWND();
    load(second, server.url("/c.htm"));
    driver->closeTab(thirdId);
    ASSERT_TRUE(waitFor([&] { return list->Count() == 2; }));
    auto again = automation->createShellWindows();
    EXPECT_EQ(handles(*again), (std::vector<Hwnd>{first, secondHandle}));
    EXPECT_EQ(again->Item(1).get(), second.get());
}

// What the core does in its registered event: a new list, and on every window a
// synchronous probe whose own events arrive inside the calls.
struct RebuildingListener : ShellWindowsEvents {
    explicit RebuildingListener(ChromiumAutomation& a) : automation(a) {}
    void WindowRegistered(std::int32_t) override {
        auto fresh = automation.createShellWindows();
        for (int i = 0; i < fresh->Count(); ++i) {
            auto window = fresh->Item(i);
            window->HWND();
            try {
                window->GoForward();
            } catch (const AutomationError&) {
                ++probesWithoutForward;
            }
        }
        ++rebuilds;
    }
    ChromiumAutomation& automation;
    int rebuilds = 0;
    int probesWithoutForward = 0;
};

TEST_F(ShellList, SynchronousCallsInsideTheRegisteredEventWork) {
    connectBackend();
    RebuildingListener listener(*automation);
    list->advise(&listener);
    openTab(server.url("/a.htm"));
    openTab(server.url("/b.htm"));
    ASSERT_TRUE(waitFor([&] { return listener.rebuilds == 2; }));
    EXPECT_EQ(listener.probesWithoutForward, 2 + 3);
}

TEST_F(ShellList, AReceiverUnadvisedInsideAnEventHearsNothingMore) {
    connectBackend();
    struct Quitter : ShellWindowsEvents {
        void WindowRegistered(std::int32_t) override {
            ++heard;
            list->unadvise(*other);
        }
        ShellWindows* list = nullptr;
        Cookie* other = nullptr;
        int heard = 0;
    };
    Quitter first;
    ListEvents second;
    Cookie secondCookie = 0;
    first.list = list.get();
    first.other = &secondCookie;
    list->advise(&first);
    secondCookie = list->advise(&second);
    openTab(server.url("/a.htm"));
    ASSERT_TRUE(waitFor([&] { return first.heard == 1; }));
    EXPECT_EQ(second.registered, 0);
}

}  // namespace
}  // namespace surfdeck::chromium::test
