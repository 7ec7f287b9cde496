// What the DevTools backend adds to the shared contract (tests/contract): page events that
// survive a page change, hooks hidden from the page's own scripts, and the foreground
// following focus reports, blurs and closed tabs.
#include <gtest/gtest.h>

#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

struct DocRecorder : DocumentEvents {
    void onmousedown() override { lines.push_back("down"); }
    void onmouseup() override { lines.push_back("up"); }
    bool oncontextmenu() override {
        lines.push_back("menu");
        return true;
    }
    std::vector<std::string> lines;
};

using Document = ChromiumTest;

TEST_F(Document, PageEventsGoOnAfterThePageChangesAndTheHooksAreHiddenFromThePage) {
    std::string target;
    auto tab = openTab("about:blank", &target);
    ASSERT_TRUE(tab);
    load(tab, server.url("/a.htm"));
    auto doc = tab->Document();
    DocRecorder rec;
    doc->advise(&rec);
    EXPECT_EQ(driver->eval(target, "typeof surfdeckReport").toString(), "undefined");
    EXPECT_EQ(driver->eval(target, "typeof window.__surfdeckHooked").toString(), "undefined");

    load(tab, server.url("/b.htm"));
    driver->mouse(target, "mousePressed", "left", 20, 20);
    ASSERT_TRUE(waitFor([&] { return !rec.lines.empty(); }));
    EXPECT_EQ(rec.lines.front(), "down");
    EXPECT_NE(doc->bodyOuterHTML().find("Page B"), std::string::npos);
}

using Foreground = ChromiumTest;

TEST_F(Foreground, ABlurOrAClosedTabLeavesNothingInFront) {
    std::string firstId = targetOf(list->Item(0)), secondId;
    auto first = list->Item(0);
    // Loaded by us, so that the page's own first focus report is in before the test acts.
    auto second = openTab("about:blank", &secondId);
    ASSERT_TRUE(second);
    load(second, server.url("/b.htm"));
    auto fg = automation->foreground();

    auto focus = [&](const std::string& id, const std::string& type, Hwnd expected) {
        driver->eval(id, "window.dispatchEvent(new FocusEvent('" + type + "'))");
        return waitFor([&] { return fg->foregroundWindow() == expected; });
    };
    ASSERT_TRUE(focus(firstId, "focus", first->HWND()));
    ASSERT_TRUE(focus(firstId, "blur", 0));
    ASSERT_TRUE(focus(secondId, "focus", second->HWND()));
    driver->closeTab(secondId);
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == 0; }));
}

}  // namespace
}  // namespace surfdeck::chromium::test
