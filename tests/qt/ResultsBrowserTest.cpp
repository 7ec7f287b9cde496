#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QTextBrowser>
#include <QTextFrame>

#include "QtTestForms.h"
#include "platform/qt/QtResultsBrowser.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

struct Recorder : BrowserEvents {
    std::vector<std::string> log;
    bool cancel = false;
    void BeforeNavigate2(BeforeNavigateArgs& a) override {
        log.push_back("before " + a.url);
        a.cancel = cancel;
    }
    void DocumentComplete(Dispatch*, const std::string& url) override {
        log.push_back("complete " + url);
    }
    void StatusTextChange(const std::string& text) override { log.push_back("status " + text); }
};

struct NoMenu : DocumentEvents {
    bool oncontextmenu() override { return false; }
};

const std::string page =
    "<p>Related</p><a href=\"http://www.example.org/a\">Example A</a><p>more text</p>";

// A browser shown in a window of its own, with a page holding one link.
struct Shown {
    int dispatched = 0;
    std::shared_ptr<QtResultsBrowser> browser =
        std::make_shared<QtResultsBrowser>([this](const std::function<void()>& h) {
            ++dispatched;
            h();
        });
    Recorder events;
    Shown() {
        browser->advise(&events);
        browser->Document()->setBodyInnerHTML(page);
        browser->widget()->resize(300, 200);
        browser->widget()->show();
        (void)QTest::qWaitForWindowExposed(browser->widget());
    }
    ~Shown() { browser->widget()->hide(); }
    QWidget* viewport() { return browser->view()->viewport(); }
    QPoint link() {
        QTextBrowser* v = browser->view();
        const int at = v->toPlainText().indexOf("Example A") + 2;
        QTextCursor c(v->document());
        c.setPosition(at);
        return v->cursorRect(c).center();
    }
};

}  // namespace

TEST(ResultsBrowser, AboutBlankRaisesBeforeNavigateThenCompletesLater) {
    Shown s;
    s.browser->Navigate("about:blank");
    EXPECT_EQ(s.events.log, std::vector<std::string>{"before about:blank"});
    EXPECT_EQ(s.browser->Document()->bodyOuterHTML(), "<body></body>");
    QApplication::processEvents();
    EXPECT_EQ(s.events.log.back(), "complete about:blank");
}

TEST(ResultsBrowser, ACancelledNavigateLeavesThePageAndNeverCompletes) {
    Shown s;
    s.events.cancel = true;
    s.browser->Navigate("about:blank");
    QApplication::processEvents();
    EXPECT_EQ(s.events.log, std::vector<std::string>{"before about:blank"});
    EXPECT_EQ(s.browser->Document()->bodyOuterHTML(), "<body>" + page + "</body>");
}

TEST(ResultsBrowser, StopDropsAPendingCompletion) {
    Shown s;
    s.browser->Navigate("about:blank");
    s.browser->Stop();
    QApplication::processEvents();
    EXPECT_EQ(s.events.log.size(), 1u);
}

TEST(ResultsBrowser, WrittenMarkupShowsWithItsMarginsKept) {
    Shown s;
    auto doc = s.browser->Document();
    doc->setBodyLeftMargin(3);
    doc->setBodyTopMargin(3);
    doc->setBodyInnerHTML("<b>new list</b>");
    EXPECT_EQ(doc->bodyOuterHTML(), "<body><b>new list</b></body>");
    EXPECT_EQ(s.browser->view()->toPlainText(), "new list");
    const QTextFrameFormat f = s.browser->view()->document()->rootFrame()->frameFormat();
    EXPECT_EQ(f.leftMargin(), 3);
    EXPECT_EQ(f.topMargin(), 3);
    EXPECT_EQ(s.browser->Document(), doc);  // one document across rebuilds
}

TEST(ResultsBrowser, ALinkClickIsOfferedAndCancelledLeavesThePage) {
    Shown s;
    s.events.cancel = true;
    const int before = s.dispatched;
    QTest::mouseClick(s.viewport(), Qt::LeftButton, {}, s.link());
    QApplication::processEvents();
    ASSERT_FALSE(s.events.log.empty());
    EXPECT_EQ(s.events.log.back(), "before http://www.example.org/a");
    EXPECT_EQ(s.browser->Document()->bodyOuterHTML(), "<body>" + page + "</body>");
    EXPECT_TRUE(s.browser->view()->toPlainText().contains("Example A"));
    EXPECT_GT(s.dispatched, before);
}

TEST(ResultsBrowser, ALinkClickLetThroughLeavesThePage) {
    Shown s;
    QTest::mouseClick(s.viewport(), Qt::LeftButton, {}, s.link());
    QApplication::processEvents();
    EXPECT_EQ(s.events.log.back(), "complete http://www.example.org/a");
    EXPECT_EQ(s.browser->locationURL(), "http://www.example.org/a");
}

TEST(ResultsBrowser, TheAddressUnderThePointerIsTheStatusText) {
    Shown s;
    QTest::mouseMove(s.viewport(), s.link());
    QApplication::processEvents();
    ASSERT_FALSE(s.events.log.empty());
    EXPECT_EQ(s.events.log.back(), "status http://www.example.org/a");
    QTest::mouseMove(s.viewport(), QPoint(250, 180));
    QApplication::processEvents();
    EXPECT_EQ(s.events.log.back(), "status ");
}

TEST(ResultsBrowser, TheContextMenuShowsUnlessTheDocumentSaysNo) {
    Shown s;
    QContextMenuEvent ask(QContextMenuEvent::Mouse, QPoint(10, 10),
                          s.viewport()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(s.viewport(), &ask);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    menu->close();
    NoMenu no;
    s.browser->Document()->advise(&no);
    QContextMenuEvent again(QContextMenuEvent::Mouse, QPoint(10, 10),
                            s.viewport()->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(s.viewport(), &again);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

namespace {

class BrowserForm : public forms::Form {
  public:
    explicit BrowserForm(forms::FormContext& c) : Form(c, "frmBrowser") {
        designSize(1500, 1500, 3804, 5328);
        add(WebBrowser2);
        WebBrowser2.move(60, 600, 3612, 3792);
    }
    forms::WebBrowserHost WebBrowser2{*this, "WebBrowser2"};
};

}  // namespace

TEST(ResultsBrowser, ItsViewFillsTheBrowserControlAndOutlivesTheWindow) {
    Fixture f;
    auto browser = std::make_shared<QtResultsBrowser>();
    QPointer<QWidget> view = browser->widget();
    {
        forms::FormSlot<BrowserForm> slot([&] { return std::make_unique<BrowserForm>(f.context); });
        BrowserForm& form = slot.load();
        form.WebBrowser2.setBrowser(browser);
        QWidget* w = showAndWait(f.host, form);
        EXPECT_TRUE(w->isAncestorOf(view));
        EXPECT_EQ(QRect(view->mapTo(w, QPoint(0, 0)), view->size()), QRect(4, 40, 241, 253));
        slot.unload();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(view->parentWidget(), nullptr);
    browser.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(view.isNull());
}

TEST(ResultsBrowser, WithoutADispatcherAnEscapingErrorStopsAtTheBrowser) {
    auto browser = std::make_shared<QtResultsBrowser>();
    struct Throws : BrowserEvents {
        void StatusTextChange(const std::string&) override { throw AutomationError(5, "refused"); }
    } sink;
    browser->advise(&sink);
    EXPECT_NO_THROW(browser->linkHovered("http://www.example.org/"));
}
