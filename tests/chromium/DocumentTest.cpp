#include <gtest/gtest.h>

#include "ChromiumTestSupport.h"

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
        connectBackend();
        tab = openTab("about:blank", &target);
        ASSERT_TRUE(tab);
        load(tab, server.url("/a.htm"));
        doc = tab->Document();
    }
    std::string target;
    std::shared_ptr<BrowserWindow> tab;
    std::shared_ptr<HtmlDocument> doc;
};

TEST_F(Document, BodyMarkupIsReadAsTheBrowserSerializesIt) {
    ASSERT_TRUE(waitFor([&] {
        try {
            return doc->bodyOuterHTML().find("Page A") != std::string::npos;
        } catch (const AutomationError&) {
            return false;
        }
    }));
    EXPECT_EQ(doc->bodyOuterHTML().rfind("<body>", 0), 0u);
}

TEST_F(Document, InnerMarkupWriteReplacesTheContentWhateverItHolds) {
    const std::string html = "<p id=\"w\">quote \" back\\slash </script> line\nbreak \xc3\xa9</p>";
    doc->setBodyInnerHTML(html);
    const std::string body = doc->bodyOuterHTML();
    EXPECT_EQ(body.find("Page A"), std::string::npos);
    EXPECT_NE(body.find("quote \" back\\slash"), std::string::npos);
    EXPECT_NE(body.find("line\nbreak \xc3\xa9"), std::string::npos);
    EXPECT_EQ(driver->eval(target, "document.getElementById('w') !== null").value("value").toBool(),
              true);

    doc->setBodyLeftMargin(3);
    doc->setBodyTopMargin(7);
    EXPECT_EQ(driver->eval(target, "getComputedStyle(document.body).marginLeft")
                  .value("value")
                  .toString(),
              "3px");
    EXPECT_EQ(
        driver->eval(target, "getComputedStyle(document.body).marginTop").value("value").toString(),
        "7px");
}

TEST_F(Document, MousePressesInThePageRaiseTheDocumentEvents) {
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
}

TEST_F(Document, EventsGoOnAfterThePageChanges) {
    DocRecorder rec;
    doc->advise(&rec);
    load(tab, server.url("/b.htm"));
    driver->mouse(target, "mousePressed", "left", 20, 20);
    ASSERT_TRUE(waitFor([&] { return !rec.lines.empty(); }));
    EXPECT_EQ(rec.lines.front(), "down");
    EXPECT_NE(doc->bodyOuterHTML().find("Page B"), std::string::npos);
}

TEST_F(Document, ThePagesOwnScriptsCannotReachOurReports) {
    EXPECT_EQ(driver->eval(target, "typeof surfdeckReport").value("value").toString(), "undefined");
    EXPECT_EQ(driver->eval(target, "typeof window.__surfdeckHooked").value("value").toString(),
              "undefined");
}

using Foreground = ChromiumTest;

TEST_F(Foreground, TheTabWhosePageTakesFocusIsInFront) {
    connectBackend();
    std::string firstId = targetOf(list->Item(0)), secondId;
    auto first = list->Item(0);
    // Loaded by us, so that the page's own first focus report is in before the test acts.
    auto second = openTab("about:blank", &secondId);
    ASSERT_TRUE(second);
    load(second, server.url("/b.htm"));
    auto fg = automation->foreground();

    driver->eval(secondId, "window.dispatchEvent(new FocusEvent('focus'))");
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == second->HWND(); }));
    driver->eval(firstId, "window.dispatchEvent(new FocusEvent('focus'))");
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == first->HWND(); }));
    driver->eval(firstId, "window.dispatchEvent(new FocusEvent('blur'))");
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == 0; }));

    // A tab that closes while in front leaves nothing in front.
    driver->eval(secondId, "window.dispatchEvent(new FocusEvent('focus'))");
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == second->HWND(); }));
    driver->closeTab(secondId);
    ASSERT_TRUE(waitFor([&] { return fg->foregroundWindow() == 0; }));
}

TEST_F(Foreground, BringingATabToTheFrontActivatesIt) {
    connectBackend();
    auto first = list->Item(0);
    auto second = openTab("about:blank");
    ASSERT_TRUE(second);
    load(second, server.url("/b.htm"));
    auto fg = automation->foreground();
    EXPECT_TRUE(fg->setForegroundWindow(first->HWND()));
    EXPECT_EQ(fg->foregroundWindow(), first->HWND());
    EXPECT_TRUE(fg->setForegroundWindow(second->HWND()));
    EXPECT_EQ(fg->foregroundWindow(), second->HWND());
    EXPECT_FALSE(fg->setForegroundWindow(12345));
}

}  // namespace
}  // namespace surfdeck::chromium::test
