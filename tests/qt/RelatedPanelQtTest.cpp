// The related-sites panel on Qt with a simulated browser shell: a click in the results
// page opens the address in the browser window in front and leaves the page in place;
// the address under the pointer shows in the status line.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTextBrowser>

#include "QtTestForms.h"
#include "mainwindow/frmMain.h"
#include "platform/CompositeAutomation.h"
#include "platform/FileRegistry.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtResultsBrowser.h"
#include "platform/sim/SimShell.h"
#include "related/frmBrowser.h"
#include "shell/Main.h"

using namespace surfdeck;

namespace {

struct QtWithSimulatedBrowser {
    QTemporaryDir folder;
    SimDesktop shellDesktop;
    SimEventLoop shellLoop;
    SimWeb web;
    SimAutomation shell{shellDesktop, shellLoop, web};
    CompositeAutomation automation{shell, [] { return makeQtResultsBrowser(); }};
    QtFormHost host{QStringLiteral(SURFDECK_BIN_DIR)};
    QtDesktop desktop{host, &shellDesktop};
    QtTimers timers;
    QtEventLoop loop;
    QtClock clock;
    FileRegistry registry{folder.filePath("registry.reg").toStdString()};
    AppContext app{folder.path().toStdString(), desktop, timers, loop, clock, host};
    Program program{app, automation, registry};
    QtWithSimulatedBrowser() { app.settings.RollUp = false; }
};

const std::string page =
    "<p>Related</p><a href=\"http://www.example.org/a\">Example A</a><p>end</p>";

QPoint linkIn(QTextBrowser* v) {
    QTextCursor c(v->document());
    c.setPosition(v->toPlainText().indexOf("Example A") + 2);
    return v->cursorRect(c).center();
}

}  // namespace

TEST(RelatedPanelOnQt, ALinkClickOpensInTheBrowserInFrontAndHoverShowsTheAddress) {
    QtWithSimulatedBrowser p;
    const auto tab = p.shell.openWindow("http://www.example.com/");
    p.app.forms.dispatch([&] {
        p.program.main.load().ActiveIEHwnd = tab.handle;
        p.program.related.show();
    });
    frmBrowser& panel = *p.program.related.get();
    auto* results = dynamic_cast<QtResultsBrowser*>(panel.WebBrowser2.browser().get());
    ASSERT_NE(results, nullptr);
    (void)QTest::qWaitForWindowExposed(p.host.window(panel));
    results->Document()->setBodyInnerHTML(page);
    QApplication::processEvents();
    QWidget* viewport = results->view()->viewport();
    const QPoint link = linkIn(results->view());

    QTest::mouseMove(viewport, link);
    EXPECT_EQ(panel.lblStatus.caption(), "http://www.example.org/a");

    p.shell.clearRequests();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, link);
    QApplication::processEvents();
    EXPECT_EQ(p.shell.requestLog(),
              std::vector<std::string>{"#1 navigate http://www.example.org/a"});
    EXPECT_EQ(results->Document()->bodyOuterHTML(), "<body>" + page + "</body>");
    EXPECT_TRUE(results->view()->toPlainText().contains("Example A"));
}
