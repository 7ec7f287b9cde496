// The desktop, timer and event-loop ports on Qt.
#include <gtest/gtest.h>

#include <QTimer>

#include "QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

TEST(Ports, TheDesktopActivatesOurWindowsAndAsksTheBrowserForItsOwn) {
    QtProgram p;
    const Hwnd tab = p.shell.openWindow("http://www.example.com/").handle;
    p.shellDesktop.setForegroundWindow(tab);
    EXPECT_EQ(p.desktop.foregroundWindow(), tab);  // none of ours is active yet
    frmMain& m = p.start();
    frmWeb& web = p.program.web.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(p.host.window(web)));
    EXPECT_EQ(p.desktop.foregroundWindow(), web.hWnd());
    EXPECT_TRUE(p.desktop.setForegroundWindow(m.hWnd()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(p.host.window(m)));
    EXPECT_EQ(p.desktop.foregroundWindow(), m.hWnd());
    EXPECT_EQ(p.app.forms.activeForm(), &m);  // activating a window activates its form
    EXPECT_TRUE(p.desktop.setForegroundWindow(tab));
    EXPECT_EQ(p.shellDesktop.foregroundWindow(), tab);

    const PixelPoint inMain{px(m.left()) + 10, px(m.top()) + 20};
    EXPECT_EQ(p.desktop.screenToClient(m.hWnd(), inMain), (PixelPoint{10, 20}));
    EXPECT_EQ(p.desktop.screenToClient(tab, inMain), inMain);
}

TEST(Ports, ATimerTicksUntilStoppedFromItsOwnTickAndAWaitInsideDoesNotReenterIt) {
    QtTimers timers;
    QtEventLoop loop;
    int ticks = 0, depth = 0, deepest = 0;
    Timers::TimerId id = 0;
    id = timers.startTimer(1, [&] {
        deepest = std::max(deepest, ++depth);
        QTest::qSleep(5);  // longer than the period, in a wait that keeps messages going
        loop.doEvents();
        if (++ticks == 3) timers.stopTimer(id);
        --depth;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return timers.runningCount() == 0; }, 10000));
    QTest::qWait(20);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(deepest, 1);
}

TEST(Ports, AnIdleTimerDoesNotWakeAndTicksAgainOnceBusy) {
    QtTimers timers;
    int ticks = 0;
    const Timers::TimerId id = timers.startTimer(5, [&] { ++ticks; });
    timers.setIdle(id, true);
    EXPECT_EQ(timers.wakingCount(), 0u);
    QTest::qWait(40);
    EXPECT_EQ(ticks, 0);
    timers.setIdle(id, false);
    EXPECT_EQ(timers.wakingCount(), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
    // Idle from inside its own tick: the ticks stop there.
    ticks = 0;
    timers.stopTimer(id);
    const Timers::TimerId self = timers.startTimer(5, [&] {
        ++ticks;
        timers.setIdle(2, true);
    });
    EXPECT_EQ(self, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks == 1; }, 5000));
    QTest::qWait(40);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timers.runningCount(), 1u);
}

TEST(Ports, TheEventLoopKeepsAnEarlyQuitAndEndsWithoutClosingOurWindows) {
    QtEventLoop early;
    early.quit();
    EXPECT_EQ(early.run(), 0);  // returns at once instead of running for ever
    QtProgram p;
    frmMain& m = p.start();
    QtEventLoop loop;
    QTimer::singleShot(0, [&] { loop.quit(); });
    EXPECT_EQ(loop.run(), 0);
    EXPECT_TRUE(p.program.main.loaded());
    EXPECT_TRUE(p.host.window(m)->isVisible());
}
