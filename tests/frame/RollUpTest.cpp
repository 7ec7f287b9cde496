#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FrameFixture.h"
#include "mainwindow/frmMain.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

// The main window at 100, 100 pixels, fitted to 2424 x 984 twips (161 x 65 pixels).
class RollUpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m = &slot.show();
        m->move(1500, 1500);
    }
    void pointerOutside() { fx.desktop.setCursorPos({600, 600}); }
    void pointerInside() { fx.desktop.setCursorPos({150, 110}); }
    // Rolled up at 200 ms and down again at 300 ms, the pointer then inside.
    void rollUpAndDown() {
        pointerOutside();
        fx.timers.advance(200);
        ASSERT_EQ(m->height(), 208);
        pointerInside();
        fx.timers.advance(100);
        ASSERT_EQ(m->height(), 984);
    }

    FrameFixture fx;
    forms::FormSlot<frmMain> slot = fx.slot<frmMain>();
    frmMain* m = nullptr;
};

}  // namespace

TEST_F(RollUpTest, FirstTickWithThePointerAwayRollsUpAtOnce) {
    pointerOutside();
    fx.timers.advance(199);
    EXPECT_EQ(m->height(), 984);
    fx.timers.advance(1);
    EXPECT_EQ(m->height(), 208);
    EXPECT_EQ(m->Timer2.tag(), "0");
    EXPECT_EQ(m->Timer2.interval(), 100);
    // Back over the title band: the full height within one short period, refitted.
    pointerInside();
    fx.timers.advance(100);
    EXPECT_EQ(m->height(), 984);
}

TEST_F(RollUpTest, ADelayOfThreeSecondsRollsUpOnlyWhenThePointerIsAwayThen) {
    fx.app.settings.RollUpDelay = 3;
    rollUpAndDown();
    pointerOutside();
    fx.timers.advance(100);  // armed
    EXPECT_EQ(m->Timer2.tag(), "1");
    EXPECT_EQ(m->Timer2.interval(), 3000);
    fx.timers.advance(2999);
    EXPECT_EQ(m->height(), 984);
    pointerInside();
    fx.timers.advance(1);  // the pointer is back: stays up, still armed
    EXPECT_EQ(m->height(), 984);
    EXPECT_EQ(m->Timer2.tag(), "1");
    pointerOutside();
    fx.timers.advance(2999);
    EXPECT_EQ(m->height(), 984);
    fx.timers.advance(1);
    EXPECT_EQ(m->height(), 208);
}

TEST_F(RollUpTest, ADelayOfZeroRollsUpAtTheNextShortTickAndKeepsTheTimerAlive) {
    fx.app.settings.RollUpDelay = 0;
    rollUpAndDown();
    pointerOutside();
    fx.timers.advance(100);
    EXPECT_EQ(m->Timer2.tag(), "1");
    EXPECT_EQ(m->Timer2.interval(), 100);
    fx.timers.advance(100);
    EXPECT_EQ(m->height(), 208);
    pointerInside();
    fx.timers.advance(100);
    EXPECT_EQ(m->height(), 984);
}

TEST_F(RollUpTest, ADelayTooLongForTheTimerRollsUpAtTheNextTick) {
    fx.app.settings.RollUpDelay = 3'000'000;
    rollUpAndDown();
    pointerOutside();
    fx.timers.advance(100);
    EXPECT_EQ(m->Timer2.tag(), "1");
    EXPECT_EQ(m->Timer2.interval(), 100);
    fx.timers.advance(100);
    EXPECT_EQ(m->height(), 208);
}

TEST_F(RollUpTest, WithRollUpOffTheWindowNeverChangesHeight) {
    fx.app.settings.RollUp = false;
    pointerOutside();
    fx.timers.advance(10000);
    EXPECT_EQ(m->height(), 984);
    EXPECT_EQ(m->Timer2.tag(), "");
    // Turned on again, it carries on from where it was.
    fx.app.settings.RollUp = true;
    fx.timers.advance(200);
    EXPECT_EQ(m->height(), 208);
}

TEST_F(RollUpTest, ThePointerOnTheFirstPixelRowOrColumnIsOutside) {
    fx.desktop.setCursorPos({150, 101});
    fx.timers.advance(200);
    EXPECT_EQ(m->height(), 984);
    fx.desktop.setCursorPos({100, 120});
    fx.timers.advance(200);
    EXPECT_EQ(m->height(), 208);
    fx.desktop.setCursorPos({150, 100});
    fx.timers.advance(100);
    EXPECT_EQ(m->height(), 208);
}

TEST_F(RollUpTest, AtExactlyThreeHundredNothingHappens) {
    m->setHeight(300);
    pointerOutside();
    fx.timers.advance(200);
    pointerInside();
    fx.timers.advance(200);
    EXPECT_EQ(m->height(), 300);
}

TEST_F(RollUpTest, APointerThatCannotBeReadEndsTheTickQuietly) {
    std::vector<std::string> log;
    fx.app.forms.setErrorSink([&](const std::string& line) { log.push_back(line); });
    fx.desktop.setCursorFails(true);
    fx.timers.advance(1000);
    EXPECT_EQ(m->height(), 984);
    EXPECT_TRUE(log.empty());
    fx.desktop.setCursorFails(false);
    pointerOutside();
    fx.timers.advance(200);
    EXPECT_EQ(m->height(), 208);
}
