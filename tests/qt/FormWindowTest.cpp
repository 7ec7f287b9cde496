#include <gtest/gtest.h>

#include <QScreen>

#include "QtTestForms.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

// The tests assume the offscreen screen's 96 dots per inch: 15 twips to the pixel.
void expectFifteenTwipsPerPixel(QtFormHost& host) {
    ASSERT_DOUBLE_EQ(host.twipsPerPixelX(), 15.0);
    ASSERT_DOUBLE_EQ(host.twipsPerPixelY(), 15.0);
}

}  // namespace

TEST(FormWindowGeometry, TwipsBecomePixelsAndTheModelKeepsItsTwips) {
    Fixture f;
    expectFifteenTwipsPerPixel(f.host);
    FrameForm form(f.context);
    QWidget* w = showAndWait(f.host, form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), QRect(101, 100, 200, 133));
    EXPECT_EQ(f.host.widget(form.Label1)->geometry(), QRect(16, 0, 200, 14));
    EXPECT_EQ(f.host.widget(form.shpTitle)->geometry(), QRect(0, 0, 200, 15));
    // A place that is no whole pixel is drawn rounded and kept as it was.
    form.move(1510, 1507);
    QApplication::processEvents();
    EXPECT_EQ(w->pos(), QPoint(101, 100));
    EXPECT_EQ(form.left(), 1510);
    EXPECT_EQ(form.top(), 1507);
}

TEST(FormWindowGeometry, TheWindowSystemsMovesReachTheModelButLateReportsOfOursDoNot) {
    Fixture f;
    FrameForm form(f.context);
    QWindow* window = showAndWait(f.host, form)->windowHandle();
    // A drag asks for two places in a row; the report of the first comes in after both.
    form.move(3000, 1500);
    form.move(3300, 1650);
    window->setPosition(200, 100);
    QApplication::processEvents();
    EXPECT_EQ(form.left(), 3300);
    EXPECT_EQ(form.top(), 1650);
    window->setPosition(50, 60);
    QApplication::processEvents();
    EXPECT_EQ(form.left(), 750);
    EXPECT_EQ(form.top(), 900);
}

TEST(FormWindowGeometry, TouchingControlsTouchOnScreen) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    // 1000 twips is 66.7 pixels: the rounded edges still meet.
    form.Check1.move(1000, 1750, 1000, 200);
    form.Command1.move(2000, 1750, 1000, 200);
    EXPECT_EQ(f.host.widget(form.Check1)->geometry().right() + 1,
              f.host.widget(form.Command1)->geometry().left());
}

TEST(FormWindowKinds, PanelsAreToolWindowsAndTheMainWindowIsNot) {
    Fixture f;
    FrameForm main(f.context, "frmMain");
    FrameForm panel(f.context, "frmWeb");
    main.load();
    panel.load();
    EXPECT_FALSE(f.host.window(main)->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(f.host.window(panel)->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(f.host.window(panel)->windowFlags().testFlag(Qt::FramelessWindowHint));
}

TEST(FormWindowKinds, HandlesAreOurOwnCounterAndFindTheirForms) {
    Fixture f;
    FrameForm a(f.context, "frmMain");
    FrameForm b(f.context, "frmWeb");
    a.load();
    b.load();
    EXPECT_EQ(a.hWnd(), 0x00010001);
    EXPECT_EQ(b.hWnd(), 0x00010002);
    EXPECT_EQ(f.host.form(b.hWnd()), &b);
    EXPECT_EQ(f.host.form(0x1234), nullptr);
}

TEST(FormWindowKinds, TopMostSwitchesInPlaceAndTheWindowStaysShown) {
    Fixture f;
    FrameForm form(f.context);
    QWidget* w = showAndWait(f.host, form);
    ASSERT_TRUE(f.host.setTopMost(form.hWnd(), true));
    QApplication::processEvents();
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->pos(), QPoint(101, 100));
    ASSERT_TRUE(f.host.setTopMost(form.hWnd(), false));
    EXPECT_FALSE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(f.host.setTopMost(0x1234, true));
}

TEST(FormWindowControls, ModelChangesAreDrawnAndInvisibleControlsAreNot) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    EXPECT_FALSE(f.host.widget(form.Image42)->isVisible());
    form.Combo2.setListIndex(2);
    EXPECT_EQ(static_cast<QComboBox*>(f.host.widget(form.Combo2))->currentText(), "30 results");
    form.Check1.setValue(1);
    EXPECT_TRUE(static_cast<QAbstractButton*>(f.host.widget(form.Check1))->isChecked());
    form.Label1.setVisible(false);
    EXPECT_FALSE(f.host.widget(form.Label1)->isVisible());
}

TEST(FormWindowLifeCycle, UnloadTakesTheWindowAwayAndForgetsItsHandle) {
    Fixture f;
    forms::FormSlot<FrameForm> slot([&] { return std::make_unique<FrameForm>(f.context); });
    FrameForm& form = slot.show();
    QPointer<QWidget> w = f.host.window(form);
    const Hwnd h = form.hWnd();
    slot.unload();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(f.host.windowOf(h), nullptr);
}

TEST(FormWindowLifeCycle, TheSystemsCloseGoesToTheProgramsHandler) {
    Fixture f;
    forms::FormSlot<FrameForm> slot([&] { return std::make_unique<FrameForm>(f.context); });
    QWidget* w = showAndWait(f.host, slot.show());
    w->close();
    // No handler: the close is refused and the form stays.
    EXPECT_TRUE(slot.loaded());
    EXPECT_TRUE(w->isVisible());
    std::vector<std::string> closed;
    f.host.setCloseHandler([&](forms::Form& form) {
        closed.push_back(form.name());
        slot.unload();
    });
    w->close();
    EXPECT_EQ(closed, std::vector<std::string>{"frmMain"});
    EXPECT_FALSE(slot.loaded());
}

TEST(FormWindowLifeCycle, ActivatingAWindowActivatesItsForm) {
    Fixture f;
    FrameForm a(f.context, "frmMain");
    FrameForm b(f.context, "frmWeb");
    showAndWait(f.host, a);
    showAndWait(f.host, b);
    EXPECT_EQ(f.context.activeForm(), &b);
    QWidget* wa = f.host.window(a);
    wa->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(wa));
    EXPECT_EQ(f.context.activeForm(), &a);
    EXPECT_EQ(a.activations, 2);
}
