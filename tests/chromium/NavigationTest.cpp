#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <algorithm>

#include "ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

class Navigation : public ChromiumTest {
  protected:
    // A tab opened by the user at a.htm, with a recorder advised.
    void SetUp() override {
        ChromiumTest::SetUp();
        connectBackend();
        // Opened blank and then loaded by us, so that the page is whole before a test acts.
        tab = openTab("about:blank", &target);
        ASSERT_TRUE(tab);
        load(tab, a());
        rec = std::make_unique<Recorder>(tab.get());
        tab->advise(rec.get());
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
    int historyIndex() { return driver->history(target).value("currentIndex").toInt(); }

    std::string target;
    std::shared_ptr<BrowserWindow> tab;
    std::unique_ptr<Recorder> rec;
};

TEST_F(Navigation, NavigateLoadsThatTabOnlyWithTheEventsInOrder) {
    auto other = list->Item(0);
    ASSERT_NE(other.get(), tab.get());
    Recorder otherRec(other.get());
    other->advise(&otherRec);
    const std::string otherUrl = other->LocationURL();

    tab->Navigate(b());
    ASSERT_TRUE(waitLine("complete " + b()));
    EXPECT_EQ(tab->LocationURL(), b());
    EXPECT_EQ(other->LocationURL(), otherUrl);
    EXPECT_TRUE(otherRec.lines.empty());

    EXPECT_EQ(rec->count("before " + b()), 1) << "our own navigation is announced once";
    EXPECT_LT(position("before " + b()), position("begin"));
    EXPECT_LT(position("begin"), position("navigated " + b()));
    EXPECT_LT(position("navigated " + b()), position("end"));
    EXPECT_LT(position("end"), position("complete " + b()));
}

TEST_F(Navigation, ACancelledNavigateSendsNothing) {
    rec->cancelIf = [&](const std::string& url) { return url == b(); };
    tab->Navigate(b());
    EXPECT_TRUE(rec->has("before " + b()));
    tab->Navigate(c());
    ASSERT_TRUE(waitLine("complete " + c()));
    EXPECT_FALSE(rec->has("navigated " + b()));
    EXPECT_EQ(server.requests("/b.htm"), 0);
}

TEST_F(Navigation, BackAndForwardFollowTheHistoryAndReportCommandState) {
    load(tab, b());
    ASSERT_TRUE(waitFor([&] { return rec->back == 1 && rec->forward == 0; })) << rec->dump();

    tab->GoBack();
    ASSERT_TRUE(waitLine("complete " + a()));
    EXPECT_EQ(tab->LocationURL(), a());
    ASSERT_TRUE(waitFor([&] { return rec->forward == 1; })) << rec->dump();
    EXPECT_EQ(rec->back, historyIndex() > 0 ? 1 : 0);

    rec->lines.clear();
    tab->GoForward();
    ASSERT_TRUE(waitLine("complete " + b()));
    EXPECT_EQ(tab->LocationURL(), b());
    ASSERT_TRUE(waitFor([&] { return rec->forward == 0 && rec->back == 1; })) << rec->dump();

    EXPECT_THROW(tab->GoForward(), AutomationError);
}

TEST_F(Navigation, APageKeptInTheCacheCompletesOnceWhenItComesBack) {
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

TEST_F(Navigation, ATabWithoutHistoryCannotGoBackOrForwardAndTheProbeFindsThat) {
    // The browser's first tab has only its blank page.
    auto first = list->Item(0);
    ASSERT_EQ(driver->history(targetOf(first)).value("entries").toArray().size(), 1);
    Recorder firstRec(first.get());
    first->advise(&firstRec);
    EXPECT_THROW(first->GoBack(), AutomationError);
    firstRec.cancelPending = true;
    EXPECT_THROW(first->GoForward(), AutomationError);
    EXPECT_TRUE(firstRec.cancelPending) << "no BeforeNavigate2 came to consume it";
    EXPECT_TRUE(firstRec.lines.empty());
}

TEST_F(Navigation, HomeGoesToTheConfiguredPage) {
    tab->GoHome();
    ASSERT_TRUE(waitLine("complete " + server.url("/home.htm")));
    EXPECT_EQ(tab->LocationURL(), server.url("/home.htm"));
}

TEST_F(Navigation, RefreshReloadsTheSamePage) {
    const int before = server.requests("/a.htm");
    tab->Refresh2();
    ASSERT_TRUE(waitLine("complete " + a()));
    EXPECT_EQ(rec->count("before " + a()), 1);
    EXPECT_EQ(server.requests("/a.htm"), before + 1);
    EXPECT_EQ(tab->LocationURL(), a());
}

TEST_F(Navigation, StopAndTheStopDownloadCommandAbandonALoadInProgress) {
    tab->Navigate(server.url("/slow.htm"));
    ASSERT_TRUE(waitFor([&] { return server.requests("/slow.htm") == 1 && rec->has("begin"); }));
    tab->Stop();
    ASSERT_TRUE(waitLine("end"));
    EXPECT_FALSE(rec->hasPrefix("complete "));
    EXPECT_EQ(tab->LocationURL(), a());

    rec->lines.clear();
    tab->Navigate(server.url("/slow.htm"));
    ASSERT_TRUE(waitFor([&] { return server.requests("/slow.htm") == 2 && rec->has("begin"); }));
    tab->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER);
    ASSERT_TRUE(waitLine("end"));
    EXPECT_FALSE(rec->hasPrefix("complete "));
    EXPECT_EQ(tab->LocationURL(), a());
    EXPECT_THROW(tab->ExecWB(17, 0), AutomationError) << "other commands are not carried out";
}

TEST_F(Navigation, ALinkClickRaisesBeforeNavigateAndCancelledLeavesTheTabWhereItWas) {
    rec->cancelIf = [&](const std::string& url) { return url == b(); };
    driver->eval(target, "document.getElementById('l').click()");
    ASSERT_TRUE(waitLine("before " + b()));
    ASSERT_TRUE(waitLine("end"));
    EXPECT_EQ(driver->eval(target, "location.href").value("value").toString().toStdString(), a());
    EXPECT_EQ(
        driver->eval(target, "document.getElementById('t').textContent").value("value").toString(),
        "Page A");
    EXPECT_EQ(tab->LocationURL(), a());
    EXPECT_FALSE(rec->hasPrefix("navigated "));
    EXPECT_EQ(server.requests("/b.htm"), 0);
}

TEST_F(Navigation, ALinkClickAllowedGoesOnWithOneAnnouncement) {
    driver->eval(target, "document.getElementById('l').click()");
    ASSERT_TRUE(waitLine("complete " + b()));
    EXPECT_EQ(rec->count("before " + b()), 1);
    EXPECT_EQ(tab->LocationURL(), b());
}

TEST_F(Navigation, FramesReportObjectsOfTheirOwn) {
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
}

// The core's attach step: a pending cancel, GoForward, then the stop-download command.
TEST_F(Navigation, TheAttachProbeLeavesATabWithForwardHistoryOnItsPage) {
    load(tab, b());
    tab->GoBack();
    ASSERT_TRUE(waitLine("complete " + a()));
    const int index = historyIndex();
    const int bRequests = server.requests("/b.htm");
    rec->lines.clear();

    rec->cancelPending = true;
    EXPECT_NO_THROW(tab->GoForward());
    EXPECT_FALSE(rec->cancelPending) << "the probe's own BeforeNavigate2 consumed it";
    EXPECT_TRUE(rec->has("before " + b()));
    tab->ExecWB(OLECMDID_STOPDOWNLOAD, OLECMDEXECOPT_DONTPROMPTUSER);

    // Anything the probe had set going would show before a later navigation completes.
    load(tab, c());
    EXPECT_FALSE(rec->has("navigated " + b()));
    EXPECT_EQ(server.requests("/b.htm"), bRequests);
    tab->GoBack();
    ASSERT_TRUE(waitLine("complete " + a()));
    EXPECT_EQ(historyIndex(), index);
}

TEST_F(Navigation, ScriptAndDataAddressesAreRefusedWithALogLine) {
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
}

TEST_F(Navigation, ALocalPathOpensAsAFile) {
    QTemporaryDir dir;
    QFile file(dir.filePath("local.htm"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html><body>local</body></html>");
    file.close();
    const std::string url = "file://" + file.fileName().toStdString();
    tab->Navigate(file.fileName().toStdString());
    ASSERT_TRUE(waitLine("complete " + url));
    EXPECT_EQ(tab->LocationURL(), url);
}

TEST_F(Navigation, AnUnreachableAddressStaysTheAddressOfItsErrorPage) {
    const std::string url = "http://127.0.0.1:1/nothing.htm";  // nothing listens there
    tab->Navigate(url);
    ASSERT_TRUE(waitLine("navigated " + url));
    EXPECT_EQ(tab->LocationURL(), url);
}

TEST_F(Navigation, FullScreenIsReadAndWrittenThroughTheWindowState) {
    EXPECT_FALSE(tab->FullScreen());
    tab->setFullScreen(true);
    EXPECT_TRUE(tab->FullScreen());
    tab->setToolBar(0);
    tab->setFullScreen(false);
    EXPECT_FALSE(tab->FullScreen());
    tab->setToolBar(-1);
}

}  // namespace
}  // namespace surfdeck::chromium::test
