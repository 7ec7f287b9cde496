#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "related/frmBrowser.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

// The related panel at the size it loads with when nothing is stored, 4000 x 6000, its grip pressed
// with the pointer at 500, 500 pixels.
struct ResizeGripTest : ::testing::Test, Shown<frmBrowser> {
    ResizeGripTest() {
        desktop.setCursorPos({500, 500});
        f.Image8.mouseDown(forms::LeftButton, 0, 10, 10);
    }
    // The pointer moves, and the grip timer ticks once.
    void pointerTo(int x, int y) {
        desktop.setCursorPos({x, y});
        timers.advance(70);
    }
};

}  // namespace

TEST_F(ResizeGripTest, FollowsThePointerInStepsOfMoreThanFifteenPixels) {
    pointerTo(515, 515);
    EXPECT_EQ(f.width(), 4000);
    EXPECT_EQ(f.height(), 6000);
    pointerTo(520, 515);
    EXPECT_EQ(f.width(), 4000 + 300);
    EXPECT_EQ(f.height(), 6000);
    pointerTo(535, 520);  // 15 and 20 from the last step
    EXPECT_EQ(f.width(), 4300);
    EXPECT_EQ(f.height(), 6000 + 300);
    // The grip stays in the corner, and the content follows.
    EXPECT_EQ(f.Image8.left(), 4300 - 144 - 48);
    EXPECT_EQ(f.Image8.top(), 6300 - 144 - 48);
    EXPECT_EQ(f.WebBrowser2.height(), 6300 - 860);
    // Released, it no longer follows, and its timer need not wake until the next press.
    EXPECT_FALSE(f.Timer1.idle());
    f.Image8.mouseUp(forms::LeftButton, 0, 300, 300);
    pointerTo(700, 700);
    EXPECT_EQ(f.width(), 4300);
    EXPECT_TRUE(f.Timer1.idle());
    EXPECT_EQ(timers.idleCount(), 1u);
    f.Image8.mouseDown(forms::LeftButton, 0, 10, 10);
    EXPECT_EQ(timers.idleCount(), 0u);
    pointerTo(720, 700);
    EXPECT_EQ(f.width(), 4300 + 300);
}

TEST_F(ResizeGripTest, NeverShrinksThePanelBelowWhatItsContentNeeds) {
    pointerTo(0, 0);
    EXPECT_EQ(f.width(), 392);
    EXPECT_EQ(f.height(), 860);
    EXPECT_EQ(f.lblStatus.width(), 0);
    EXPECT_EQ(f.WebBrowser2.height(), 0);
    pointerTo(20, 0);
    EXPECT_EQ(f.width(), 392 + 300);
}
