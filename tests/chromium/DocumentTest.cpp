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

class Document : public ChromiumTest {
  protected:
    void SetUp() override {
        ChromiumTest::SetUp();
        tab = openTab("about:blank", &target);
        ASSERT_TRUE(tab);
        load(tab, server.url("/a.htm"));
        doc = tab->Document();
    }
    std::string target;
    std::shared_ptr<BrowserWindow> tab;
    std::shared_ptr<HtmlDocument> doc;
};

TEST_F(Document, BodyMarkupIsReadAndWrittenWhateverItHolds) {
    ASSERT_TRUE(waitFor([&] {
        try {
            return doc->bodyOuterHTML().find("Page A") != std::string::npos;
        } catch (const AutomationError&) {
            return false;
        }
    }));
    EXPECT_EQ(doc->bodyOuterHTML().rfind("<body>", 0), 0u);

    const std::string html = "<p id=\"w\">quote \" back\\slash </script> line\nbreak \xc3\xa9</p>";
    doc->setBodyInnerHTML(html);
    const std::string body = doc->bodyOuterHTML();
    EXPECT_EQ(body.find("Page A"), std::string::npos);
    EXPECT_NE(body.find("quote \" back\\slash"), std::string::npos);
    EXPECT_NE(body.find("line\nbreak \xc3\xa9"), std::string::npos);
    EXPECT_TRUE(driver->eval(target, "document.getElementById('w') !== null").toBool());

    doc->setBodyLeftMargin(3);
    doc->setBodyTopMargin(7);
    EXPECT_EQ(driver->eval(target, "getComputedStyle(document.body).marginLeft").toString(), "3px");
    EXPECT_EQ(driver->eval(target, "getComputedStyle(document.body).marginTop").toString(), "7px");
}

TEST_F(Document, MousePressesInThePageRaiseTheDocumentEventsAlsoAfterThePageChanges) {
    DocRecorder rec, gone;
    doc->advise(&rec);
    doc->unadvise(doc->advise(&gone));
    driver->mouse(target, "mousePressed", "left", 20, 20);
    driver->mouse(target, "mouseReleased", "left", 20, 20);
    driver->mouse(target, "mousePressed", "right", 20, 20);
    driver->mouse(target, "mouseReleased", "right", 20, 20);
    ASSERT_TRUE(waitFor([&] { return rec.lines.size() >= 5; }));
    EXPECT_EQ(rec.lines, (std::vector<std::string>{"down", "up", "down", "menu", "up"}));
    EXPECT_TRUE(gone.lines.empty()) << "an unadvised receiver hears nothing";
    // The page's own scripts cannot reach our reports.
    EXPECT_EQ(driver->eval(target, "typeof surfdeckReport").toString(), "undefined");
    EXPECT_EQ(driver->eval(target, "typeof window.__surfdeckHooked").toString(), "undefined");

    rec.lines.clear();
    load(tab, server.url("/b.htm"));
    driver->mouse(target, "mousePressed", "left", 20, 20);
    ASSERT_TRUE(waitFor([&] { return !rec.lines.empty(); }));
    EXPECT_EQ(rec.lines.front(), "down");
    EXPECT_NE(doc->bodyOuterHTML().find("Page B"), std::string::npos);
}

using Foreground = ChromiumTest;

TEST_F(Foreground, TheTabWhosePageTakesFocusIsInFrontAndBringingATabToTheFrontActivatesIt) {
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
    ASSERT_TRUE(focus(secondId, "focus", second->HWND()));
    ASSERT_TRUE(focus(firstId, "focus", first->HWND()));
    ASSERT_TRUE(focus(firstId, "blur", 0));

    EXPECT_TRUE(fg->setForegroundWindow(first->HWND()));
    EXPECT_EQ(fg->foregroundWindow(), first->HWND());
    EXPECT_TRUE(fg->setForegroundWindow(second->HWND()));
    EXPECT_EQ(fg->foregroundWindow(), second->HWND());
    EXPECT_FALSE(fg->setForegroundWindow(12345));

    // A tab that closes while in front leaves nothing in front.
    ASSERT_TRUE(focus(secondId, "focus", second->HWND()));
    driver->closeTab(secondId);
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == 0; }));
}

}  // namespace
}  // namespace surfdeck::chromium::test
