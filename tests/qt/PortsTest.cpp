#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCursor>
#include <QScreen>
#include <QTimer>

#include "QtTestForms.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

struct OtherWindows : Foreground {
    Hwnd front = 0x7001;
    std::vector<Hwnd> asked;
    Hwnd foregroundWindow() override { return front; }
    bool setForegroundWindow(Hwnd w) override {
        asked.push_back(w);
        return true;
    }
};

}  // namespace

TEST(QtDesktopPort, OurActiveWindowIsInFrontElseTheBrowsersAnswer) {
    Fixture f;
    OtherWindows tabs;
    QtDesktop desktop(f.host, &tabs);
    EXPECT_EQ(desktop.foregroundWindow(), 0x7001);
    FrameForm form(f.context);
    QWidget* w = showAndWait(f.host, form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    EXPECT_EQ(desktop.foregroundWindow(), form.hWnd());
    EXPECT_TRUE(desktop.setForegroundWindow(0x7002));
    EXPECT_EQ(tabs.asked, std::vector<Hwnd>{0x7002});
    QtDesktop alone(f.host);
    EXPECT_FALSE(alone.setForegroundWindow(0x7002));
}

TEST(QtDesktopPort, BringsOurOtherWindowToTheFront) {
    Fixture f;
    QtDesktop desktop(f.host);
    FrameForm a(f.context, "frmMain");
    FrameForm b(f.context, "frmWeb");
    showAndWait(f.host, a);
    showAndWait(f.host, b);
    EXPECT_TRUE(desktop.setForegroundWindow(a.hWnd()));
    ASSERT_TRUE(QTest::qWaitForWindowActive(f.host.window(a)));
    EXPECT_EQ(desktop.foregroundWindow(), a.hWnd());
}

TEST(QtDesktopPort, ScreenAndPointerInPixels) {
    Fixture f;
    QtDesktop desktop(f.host);
    QScreen* screen = QGuiApplication::primaryScreen();
    EXPECT_EQ(desktop.screenWidthPixels(), screen->geometry().width());
    EXPECT_DOUBLE_EQ(desktop.twipsPerPixelX(), 1440.0 / screen->logicalDotsPerInchX());
    FrameForm form(f.context);
    showAndWait(f.host, form);
    EXPECT_EQ(desktop.screenToClient(form.hWnd(), {111, 120}), (PixelPoint{10, 20}));
    EXPECT_EQ(desktop.screenToClient(0x7001, {111, 120}), (PixelPoint{111, 120}));
    QCursor::setPos(200, 150);
    EXPECT_EQ(desktop.cursorPos(), (PixelPoint{200, 150}));
    EXPECT_EQ(desktop.asyncKeyState(VK_LBUTTON), 0);
    EXPECT_FALSE(desktop.setTopMost(0x7001, true));
}

TEST(QtTimersPort, TicksUntilStoppedFromItsOwnTick) {
    QtTimers timers;
    int ticks = 0;
    Timers::TimerId id = 0;
    id = timers.startTimer(5, [&] {
        if (++ticks == 3) timers.stopTimer(id);
    });
    QTest::qWait(300);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(timers.runningCount(), 0u);
}

TEST(QtTimersPort, ATickThatWaitsIsNotEnteredAgain) {
    QtTimers timers;
    int depth = 0, deepest = 0, ticks = 0;
    QtEventLoop loop;
    timers.startTimer(5, [&] {
        ++ticks;
        deepest = std::max(deepest, ++depth);
        // A wait that keeps messages flowing, as the program's waits do.
        for (int i = 0; i < 5; ++i) {
            QTest::qSleep(5);
            loop.doEvents();
        }
        --depth;
    });
    QTest::qWait(250);
    EXPECT_GT(ticks, 1);
    EXPECT_EQ(deepest, 1);
}

TEST(QtEventLoopPort, AQuitBeforeTheLoopStartsIsKept) {
    QtEventLoop loop;
    loop.quit();
    EXPECT_EQ(loop.run(), 0);  // returns at once instead of running for ever
}

TEST(QtEventLoopPort, QuitEndsTheLoopWithoutClosingOurWindows) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    int closes = 0;
    f.host.setCloseHandler([&](forms::Form&) { ++closes; });
    QtEventLoop loop;
    QTimer::singleShot(10, [&] { loop.quit(); });
    EXPECT_EQ(loop.run(), 0);
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(f.host.window(form)->isVisible());
}
