#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/devtools/BrowserLauncher.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

using QueryBrowser = ChromiumTest;

TEST_F(QueryBrowser, ReadsASavedAnswerPageOutOfSightOfTheUsersTabsAndDropsAStoppedLookup) {
    QTemporaryDir dir;
    QFile page(dir.filePath("g1.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write(
        "<html><body><div class=\"g\"><a href=\"http://related.example/\">Related "
        "site</a></div><p>Category: <b>Saved</b></p></body></html>");
    page.close();

    // Stopped before its browser is up, a lookup is dropped.
    auto query = automation->createEmbeddedBrowser(EmbeddedRole::Query);
    Recorder rec(query.get());
    query->advise(&rec);
    query->Navigate(server.url("/a.htm"));
    query->Stop();
    query->Navigate(page.fileName().toStdString());  // returns before the page is there
    const std::string url = "file://" + page.fileName().toStdString();
    ASSERT_TRUE(waitFor([&] { return rec.has("complete " + url); }, 30000)) << rec.dump();
    EXPECT_EQ(rec.count("before " + url), 1) << rec.dump();
    EXPECT_EQ(server.requests("/a.htm"), 0);

    const std::string body = query->Document()->bodyOuterHTML();
    EXPECT_NE(body.find("<a href=\"http://related.example/\">Related site</a>"), std::string::npos)
        << body;
    EXPECT_EQ(list->Count(), 1) << "the user's browser got no tab";

    // A second lookup goes to the same page.
    query->Navigate(server.url("/b.htm"));
    ASSERT_TRUE(waitFor([&] { return rec.has("complete " + server.url("/b.htm")); }));
    EXPECT_NE(query->Document()->bodyOuterHTML().find("Page B"), std::string::npos);
    EXPECT_EQ(automation->createEmbeddedBrowser(EmbeddedRole::Query), query);
}

TEST(QueryBrowserRole, RefusesScriptAddressesAndLeavesTheResultsViewToTheFrontEnd) {
    BrowserSettings s;
    s.address = "127.0.0.1:1";  // nothing answers there, and nothing is started
    s.startBrowser = false;
    s.reconnectMs = 0;
    std::vector<std::string> log;
    ChromiumAutomation automation(s, [&](const std::string& line) { log.push_back(line); });
    auto query = automation.createEmbeddedBrowser(EmbeddedRole::Query);
    EXPECT_THROW(query->Navigate("javascript:document.body.innerHTML='x'"), AutomationError);
    EXPECT_EQ(log, std::vector<std::string>{"Navigation refused: javascript address"});
    EXPECT_THROW(automation.createEmbeddedBrowser(EmbeddedRole::Results), AutomationError);
}

TEST(QueryBrowserProfiles, OnlyThoseOfSurfdecksThatNoLongerRunAreRemoved) {
    QTemporaryDir temp;
    const QByteArray savedTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.path().toUtf8());
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString dead = "surfdeck-query-" + QString::number(gone) + "-AbC123";
    const QString alive = "surfdeck-query-" + QString::number(::getppid()) + "-AbC123";
    const QString mine = "surfdeck-query-" + QString::number(::getpid()) + "-AbC123";
    const QString other = "surfdeck-query-notapid";
    const QString outside = "outside";
    QDir root(temp.path());
    for (const QString& name : {dead, alive, mine, other, outside}) {
        ASSERT_TRUE(root.mkpath(name + "/Default"));
    }
    // A link into a folder kept elsewhere is not followed.
    const QString link = "surfdeck-query-" + QString::number(gone) + "-Link";
    ASSERT_TRUE(QFile::link(root.filePath(outside), root.filePath(link)));

    EXPECT_EQ(removeOrphanProfiles(), 1);
    EXPECT_FALSE(root.exists(dead));
    for (const QString& name : {alive, mine, other, outside, outside + "/Default"}) {
        EXPECT_TRUE(root.exists(name)) << name.toStdString();
    }
    if (savedTemp.isNull()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", savedTemp);
    }
}

}  // namespace
}  // namespace surfdeck::chromium::test
