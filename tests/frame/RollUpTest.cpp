#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "FrameFixture.h"
#include "mainwindow/frmMain.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

// The main window at 100, 100 pixels, fitted to 2424 x 984 twips (161 x 65 pixels):
// 984 high when down, 208 when rolled up.
constexpr PixelPoint out{600, 600}, in{150, 110};

// The pointer put somewhere, time run on, and the window's height then.
struct Tick {
    PixelPoint pointer;
    int ms;
    double height;
};

struct RollUpTest : ::testing::Test, Shown<frmMain> {
    RollUpTest() { f.move(1500, 1500); }
    void run(std::initializer_list<Tick> ticks) {
        for (const Tick& t : ticks) {
            desktop.setCursorPos(t.pointer);
            timers.advance(t.ms);
            EXPECT_EQ(f.height(), t.height)
                << "at " << t.pointer.x << ", " << t.pointer.y << " for " << t.ms << " ms";
        }
    }
};

}  // namespace

TEST_F(RollUpTest, FirstTickWithThePointerAwayRollsUpAtOnceAndTheTitleRollsItDown) {
    run({{out, 199, 984}, {out, 1, 208}, {in, 99, 208}, {in, 1, 984}});
}

TEST_F(RollUpTest, ADelayOfThreeSecondsRollsUpOnlyWhenThePointerIsAwayThen) {
    app.settings.RollUpDelay = 3;
    run({{out, 200, 208}, {in, 100, 984}, {out, 100, 984}});  // armed
    EXPECT_EQ(f.Timer2.interval(), 3000);
    run({{out, 2999, 984}, {in, 1, 984}});  // the pointer is back then: stays up, still armed
    run({{out, 2999, 984}, {out, 1, 208}});
}

// A period of 0 would stop the timer for good; one too long for the timer is refused.
TEST_F(RollUpTest, ADelayOfZeroOrTooLongRollsUpAtTheNextShortTick) {
    for (int delay : {0, 3'000'000}) {
        SCOPED_TRACE(delay);
        app.settings.RollUpDelay = delay;
        run({{out, 200, 208}, {in, 100, 984}, {out, 100, 984}, {out, 100, 208}, {in, 100, 984}});
    }
}

TEST_F(RollUpTest, WithRollUpOffTheWindowNeverChangesHeightAndTurnedOnCarriesOn) {
    app.settings.RollUp = false;
    run({{out, 10000, 984}});
    app.settings.RollUp = true;
    run({{out, 200, 208}});
}

TEST_F(RollUpTest, ThePointerOnTheFirstPixelRowOrColumnIsOutside) {
    run({{{150, 101}, 200, 984}, {{100, 120}, 200, 208}, {{150, 100}, 100, 208}});
}

TEST_F(RollUpTest, AtExactlyThreeHundredNothingHappens) {
    f.setHeight(300);
    run({{out, 200, 300}, {in, 200, 300}});
}

TEST_F(RollUpTest, APointerThatCannotBeReadEndsTheTickQuietly) {
    std::vector<std::string> log;
    app.forms.setErrorSink([&](const std::string& line) { log.push_back(line); });
    desktop.setCursorFails(true);
    run({{out, 1000, 984}});
    EXPECT_TRUE(log.empty());
    desktop.setCursorFails(false);
    run({{out, 200, 208}});
}
