// What the program's windows do while nothing happens, and their tooltips over the browser.
#include <gtest/gtest.h>

#include <QToolTip>

#include "QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

// Counts paint events on every widget of the application.
struct PaintCounter : QObject {
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) ++paints;
        return false;
    }
    int paints = 0;
};

}  // namespace

TEST(Quiet, PollingTicksThatChangeNothingRepaintNothing) {
    QtProgram p;
    frmMain& m = p.start();
    const Hwnd tab = p.openTab("http://a.example/");
    p.shellDesktop.setForegroundWindow(tab);
    p.program.related.show();
    // The first ticks take the tab's state; from then on every tick finds the same.
    QTest::qWait(400);
    PaintCounter counter;
    qApp->installEventFilter(&counter);
    QTest::qWait(1000);
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(counter.paints, 0);
    // A change is still drawn.
    qApp->installEventFilter(&counter);
    m.Toolbar1.setButtonEnabled("back", !m.Toolbar1.buttonByKey("back")->enabled);
    QTest::qWait(50);
    qApp->removeEventFilter(&counter);
    EXPECT_GT(counter.paints, 0);
}

TEST(Quiet, TooltipsShowWhileAnotherWindowIsActive) {
    QtProgram p;
    frmMain& m = p.start();
    // The browser stands in front: some other window is the active one.
    QWidget other;
    other.setGeometry(600, 400, 100, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    ASSERT_FALSE(p.host.window(m)->isActiveWindow());
    QToolButton* news = p.button(m.Toolbar1, "news");
    QTest::mouseMove(news, news->rect().center());
    QTest::mouseMove(news, news->rect().center() + QPoint(1, 0));
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }, 3000));
    EXPECT_EQ(QToolTip::text(), "Search in the newsgroup");
    QToolTip::hideText();
}
