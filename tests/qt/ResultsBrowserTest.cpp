// The related-sites panel's results browser: on its own, and in the panel, where a click
// on a link opens the address in the browser window in front and the page stays.
#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QTextBrowser>
#include <QTextFrame>

#include "QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

TEST(ResultsBrowser, ANavigationIsOfferedFirstAndCompletesOnceControlIsBack) {
    struct : BrowserEvents {
        std::vector<std::string> log;
        void BeforeNavigate2(BeforeNavigateArgs& a) override { log.push_back("before " + a.url); }
        void DocumentComplete(Dispatch*, const std::string& u) override { log.push_back(u); }
    } events;
    QtResultsBrowser browser;
    browser.advise(&events);
    browser.Document()->setBodyInnerHTML("<p>old</p>");
    browser.Navigate("about:blank");
    EXPECT_EQ(events.log, std::vector<std::string>{"before about:blank"});
    EXPECT_EQ(browser.Document()->bodyOuterHTML(), "<body></body>");
    QApplication::processEvents();
    EXPECT_EQ(events.log.back(), "about:blank");
}

TEST(ResultsBrowser, TheStandardContextMenuShowsUnlessTheDocumentSaysNo) {
    QtResultsBrowser browser;
    browser.widget()->show();
    QWidget* viewport = browser.view()->viewport();
    const auto menuShows = [&] {
        QContextMenuEvent e(QContextMenuEvent::Mouse, {5, 5}, viewport->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(viewport, &e);
        QWidget* menu = QApplication::activePopupWidget();
        if (menu) menu->close();
        return menu != nullptr;
    };
    EXPECT_TRUE(menuShows());
    struct : DocumentEvents {
        bool oncontextmenu() override { return false; }
    } no;
    browser.Document()->advise(&no);
    EXPECT_FALSE(menuShows());
    browser.widget()->hide();
}

TEST(ResultsBrowser, InThePanelALinkOpensInTheBrowserInFrontAndHoverShowsItsAddress) {
    QtProgram p;
    p.openTab("http://www.example.com/");
    p.answerRelatedQuery("www.example.com");
    frmBrowser& panel = p.program.related.show();
    p.app.forms.dispatch([&] { panel.UpdateRelated(); });
    p.shellLoop.doEvents();
    QTextBrowser* view = dynamic_cast<QtResultsBrowser&>(*panel.WebBrowser2.browser()).view();
    const QTextFrameFormat margins = view->document()->rootFrame()->frameFormat();
    EXPECT_EQ(margins.leftMargin(), 3);
    EXPECT_EQ(margins.topMargin(), 3);
    const QString shown = view->toPlainText();
    QTextCursor c(view->document());
    c.setPosition(shown.indexOf("www.iana.example") + 2);
    const QPoint link = view->cursorRect(c).center();
    const std::string address = view->anchorAt(link).toStdString();
    ASSERT_EQ(address.rfind("http://www.iana.example/", 0), 0u);
    QTest::mouseMove(view->viewport(), link);
    EXPECT_EQ(panel.lblStatus.caption(), address);
    p.shell.clearRequests();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, link);
    QApplication::processEvents();
    EXPECT_EQ(p.shell.requestLog(), std::vector<std::string>{"#1 navigate " + address});
    EXPECT_EQ(view->toPlainText(), shown);
}

// Whatever a page in the panel links to, only web addresses reach the user's window: a
// scheme-relative link is no "file://host/" to the view either.
TEST(ResultsBrowser, InThePanelLocalAndBrowserPagesAreNeverOpened) {
    QtProgram p;
    p.openTab("http://www.example.com/");
    frmBrowser& panel = p.program.related.show();
    QTextBrowser* view = dynamic_cast<QtResultsBrowser&>(*panel.WebBrowser2.browser()).view();
    const char* links[] = {"file:///etc/passwd", "//host.example/share", "chrome://settings/",
                           "javascript:alert(1)", "https://www.example.org/"};
    std::string html;
    for (const char* l : links) html += std::string("<p><a href=\"") + l + "\">" + l + "</a></p>";
    panel.WebBrowser2.browser()->Document()->setBodyInnerHTML(html);
    QApplication::processEvents();
    const QString shown = view->toPlainText();
    p.shell.clearRequests();
    for (const char* l : links) {
        QTextCursor c(view->document());
        c.setPosition(shown.indexOf(QString::fromUtf8(l)) + 2);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(c).center());
        QApplication::processEvents();
    }
    EXPECT_EQ(p.shell.requestLog(),
              std::vector<std::string>{"#1 navigate https://www.example.org/"});
    EXPECT_EQ(view->toPlainText(), shown);
    const std::string log = p.log();
    for (const char* l : {"file:///etc/passwd", "//host.example/share", "chrome://settings/"})
        EXPECT_NE(log.find(std::string("Link left out ") + l), std::string::npos) << l << log;
}

TEST(ResultsBrowser, ItsViewFillsTheBrowserControlAndOutlivesThePanel) {
    QtProgram p;
    frmBrowser& panel = p.program.related.show();
    auto browser = panel.WebBrowser2.browser();
    QPointer<QWidget> view = dynamic_cast<QtEmbeddedWidget&>(*browser).widget();
    QWidget* place = p.host.widget(panel.WebBrowser2);
    EXPECT_EQ(view->parentWidget(), place);
    EXPECT_EQ(view->geometry(), QRect(QPoint(0, 0), place->size()));
    p.program.related.unload();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(view->parentWidget(), nullptr);
    browser.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull());
}
