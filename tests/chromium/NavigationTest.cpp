#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <algorithm>

#include "support/ChromiumTestSupport.h"

// The event order of a navigation, cancelling and plain back and forward are the shared
// contract's (tests/contract); here is what only this backend does.

namespace surfdeck::chromium::test {
namespace {

class Navigation : public ChromiumTest {
  protected:
    // A tab opened by the user at a.htm, with a recorder advised.
    void SetUp() override {
        ChromiumTest::SetUp();
        // Opened blank and then loaded by us, so that the page is whole before a test acts.
        tab = openTab("about:blank", &target);
        ASSERT_TRUE(tab);
        load(tab, a());
        rec = std::make_unique<Recorder>(tab.get());
        recCookie = tab->advise(rec.get());
    }
    std::string a() const { return server.url("/a.htm"); }
    std::string b() const { return server.url("/b.htm"); }
    std::string c() const { return server.url("/c.htm"); }
    std::ptrdiff_t position(const std::string& line) const {
        auto it = std::find(rec->lines.begin(), rec->lines.end(), line);
        return it == rec->lines.end() ? -1 : it - rec->lines.begin();
    }
    ::testing::AssertionResult waitLine(const std::string& line) {
        if (waitFor([&] { return rec->has(line); })) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no \"" << line << "\" in" << rec->dump();
    }

    std::string target;
    std::shared_ptr<BrowserWindow> tab;
    std::unique_ptr<Recorder> rec;
    Cookie recCookie = 0;
};

TEST_F(Navigation, NavigateLoadsThatTabOnlyAndCancelledSendsNothing) {
    auto other = list->Item(0);
    ASSERT_NE(other.get(), tab.get());
    Recorder otherRec(other.get());
    other->advise(&otherRec);
    const std::string otherUrl = other->LocationURL();

    rec->cancelIf = [&](const std::string& url) { return url == b(); };
    tab->Navigate(b());
    EXPECT_TRUE(rec->has("before " + b()));
    tab->Navigate(c());
    ASSERT_TRUE(waitLine("complete " + c()));
    EXPECT_EQ(tab->LocationURL(), c());
    EXPECT_EQ(other->LocationURL(), otherUrl);
    EXPECT_TRUE(otherRec.lines.empty());
    EXPECT_FALSE(rec->has("navigated " + b()));
    EXPECT_EQ(server.requests("/b.htm"), 0);
}

TEST_F(Navigation, AFirstTabHasNoHistoryAndACachedPageCompletesOnce) {
    // The browser's first tab has only its blank page: the probe finds no forward.
    auto first = list->Item(0);
    ASSERT_EQ(driver->history(targetOf(first)).value("entries").toArray().size(), 1);
    Recorder firstRec(first.get());
    first->advise(&firstRec);
    EXPECT_THROW(first->GoBack(), AutomationError);
    firstRec.cancelPending = true;
    EXPECT_THROW(first->GoForward(), AutomationError);
    EXPECT_TRUE(firstRec.cancelPending) << "no BeforeNavigate2 came to consume it";
    EXPECT_TRUE(firstRec.lines.empty());

    // A page kept in the back-forward cache completes once when it comes back.
    const std::string one = server.url("/kept/1.htm"), two = server.url("/kept/2.htm");
    server.page("/kept/1.htm", "<html><body>one</body></html>");
    server.page("/kept/2.htm", "<html><body>two</body></html>");
    load(tab, one);
    load(tab, two);
    rec->lines.clear();
    tab->GoBack();
    ASSERT_TRUE(waitLine("complete " + one));
    EXPECT_EQ(tab->LocationURL(), one);
    tab->GoForward();
    ASSERT_TRUE(waitLine("complete " + two));
    EXPECT_EQ(tab->LocationURL(), two);
    EXPECT_EQ(server.requests("/kept/2.htm"), 1) << "came back whole, not loaded again";
    load(tab, c());  // a second completion of either page would show by now
    EXPECT_EQ(rec->count("before " + one), 1);
    EXPECT_EQ(rec->count("complete " + one), 1) << rec->dump();
    EXPECT_EQ(rec->count("complete " + two), 1) << rec->dump();
}

TEST_F(Navigation, HomeRefreshStopAndWindowStateActOnTheTab) {
    tab->GoHome();
    ASSERT_TRUE(waitLine("complete " + server.url("/home.htm")));
    EXPECT_EQ(tab->LocationURL(), server.url("/home.htm"));
    load(tab, a());

    const int before = server.requests("/a.htm");
    rec->lines.clear();
    tab->Refresh2();
    ASSERT_TRUE(waitLine("complete " + a()));
    EXPECT_EQ(rec->count("before " + a()), 1);
    EXPECT_EQ(server.requests("/a.htm"), before + 1);
    EXPECT_EQ(tab->LocationURL(), a());

    // Stop and the stop-download command abandon a load in progress.
    for (int round = 1; round <= 2; ++round) {
        rec->lines.clear();
        tab->Navigate(server.url("/slow.htm"));
        ASSERT_TRUE(
            waitFor([&] { return server.requests("/slow.htm") == round && rec->has("begin"); }));
        if (round == 1)
            tab->Stop();
        else
            tab->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER);
        ASSERT_TRUE(waitLine("end"));
        EXPECT_FALSE(rec->hasPrefix("complete "));
        EXPECT_EQ(tab->LocationURL(), a());
    }
    EXPECT_THROW(tab->ExecWB(17, 0), AutomationError) << "other commands are not carried out";

    EXPECT_FALSE(tab->FullScreen());
    tab->setFullScreen(true);
    EXPECT_TRUE(tab->FullScreen());
    tab->setToolBar(0);
    tab->setFullScreen(false);
    EXPECT_FALSE(tab->FullScreen());
    tab->setToolBar(-1);
}

// Script and data addresses are refused with a log line; a link click in the page raises a
// before-navigate that, cancelled, leaves the tab where it was.
TEST_F(Navigation, RefusedAndCancelledNavigationsLeaveTheTabWhereItWas) {
    for (const std::string url : {"javascript:alert(1)", "  JavaScript:alert(1)", "java\tscript:x",
                                  "data:text/html,<p>x</p>", "VBScript:msgbox"}) {
        try {
            tab->Navigate(url);
            ADD_FAILURE() << "navigated to " << url;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.number(), automation_error::Refused);
        }
    }
    EXPECT_FALSE(rec->hasPrefix("before "));
    EXPECT_EQ(logCount("Navigation refused: javascript address"), 3);
    EXPECT_EQ(logCount("Navigation refused: data address"), 1);
    EXPECT_EQ(logCount("Navigation refused: vbscript address"), 1);
    EXPECT_EQ(tab->LocationURL(), a());

    rec->cancelIf = [&](const std::string& url) { return url == b(); };
    driver->eval(target, "document.getElementById('l').click()");
    ASSERT_TRUE(waitLine("before " + b()));
    EXPECT_EQ(driver->eval(target, "location.href").toString().toStdString(), a());
    EXPECT_EQ(driver->eval(target, "document.getElementById('t').textContent").toString(),
              "Page A");
    EXPECT_EQ(tab->LocationURL(), a());
    EXPECT_FALSE(rec->hasPrefix("navigated "));
    EXPECT_FALSE(rec->has("begin")) << "a cancelled navigation downloads nothing";
    EXPECT_EQ(server.requests("/b.htm"), 0);

    // Allowed, it goes on with one announcement.
    rec->cancelIf = nullptr;
    rec->lines.clear();
    driver->eval(target, "document.getElementById('l').click()");
    ASSERT_TRUE(waitLine("complete " + b()));
    EXPECT_EQ(rec->count("before " + b()), 1);
    EXPECT_EQ(tab->LocationURL(), b());
}

// A receiver that takes its time does not stall the user's browsing: the request goes on
// after half a second, with a log line, and a late cancel changes nothing.
TEST_F(Navigation, ARequestHeldLongerThanHalfASecondGoesOnByItself) {
    bool loadedWhileHeld = false;
    rec->cancelIf = [&](const std::string& url) {
        if (url != b()) return false;
        loadedWhileHeld = waitFor([&] { return server.requests("/b.htm") > 0; }, 3000);
        return true;
    };
    driver->eval(target, "document.getElementById('l').click()");
    ASSERT_TRUE(waitLine("complete " + b()));
    EXPECT_TRUE(loadedWhileHeld);
    EXPECT_EQ(logCount("Navigation held too long, let go: " + b()), 1);
    EXPECT_EQ(tab->LocationURL(), b());

    // Without a receiver, nothing is held at all.
    rec->cancelIf = nullptr;
    tab->unadvise(recCookie);
    logLines.clear();
    driver->eval(target, "location.href = '" + a() + "'");
    ASSERT_TRUE(waitFor([&] { return tab->LocationURL() == a(); }));
    EXPECT_EQ(logCount("Navigation held too long, let go: " + a()), 0);
}

TEST_F(Navigation, FramesLocalPathsAndUnreachableAddresses) {
    // Frames report objects of their own.
    load(tab, server.url("/frames.htm"));
    const std::string inner = server.url("/inner.htm");
    ASSERT_TRUE(waitLine("complete " + server.url("/frames.htm")));
    EXPECT_TRUE(rec->has("frame navigated " + inner));
    EXPECT_TRUE(rec->has("frame complete " + inner));
    EXPECT_LT(position("frame complete " + inner),
              position("complete " + server.url("/frames.htm")));
    ASSERT_EQ(rec->frameDispatches.size(), 2u);
    EXPECT_EQ(rec->frameDispatches[0], rec->frameDispatches[1]);
    EXPECT_NE(rec->frameDispatches[0], static_cast<Dispatch*>(tab.get()));

    // A local path opens as a file; an unreachable address stays the address of its error page.
    QTemporaryDir dir;
    QFile file(dir.filePath("local.htm"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html><body>local</body></html>");
    file.close();
    const std::string url = "file://" + file.fileName().toStdString();
    tab->Navigate(file.fileName().toStdString());
    ASSERT_TRUE(waitLine("complete " + url));
    EXPECT_EQ(tab->LocationURL(), url);

    const std::string unreachable = "http://127.0.0.1:1/nothing.htm";  // nothing listens there
    tab->Navigate(unreachable);
    ASSERT_TRUE(waitLine("navigated " + unreachable));
    EXPECT_EQ(tab->LocationURL(), unreachable);
}

}  // namespace
}  // namespace surfdeck::chromium::test
