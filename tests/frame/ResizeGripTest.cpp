#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "related/frmBrowser.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

class ResizeGripTest : public ::testing::Test {
  protected:
    void SetUp() override {
        b = &slot.show();
        fx.desktop.setCursorPos({500, 500});
        b->Image8.mouseDown(forms::LeftButton, 0, 10, 10);
    }
    // The pointer moves, and the grip timer ticks once.
    void pointerTo(int x, int y) {
        fx.desktop.setCursorPos({x, y});
        fx.timers.advance(70);
    }

    FrameFixture fx;
    forms::FormSlot<frmBrowser> slot = fx.slot<frmBrowser>();
    frmBrowser* b = nullptr;
};

}  // namespace

TEST_F(ResizeGripTest, FollowsThePointerInStepsOfMoreThanFifteenPixels) {
    pointerTo(515, 515);
    EXPECT_EQ(b->width(), 3804);
    EXPECT_EQ(b->height(), 5328);
    pointerTo(520, 515);
    EXPECT_EQ(b->width(), 3804 + 300);
    EXPECT_EQ(b->grip().GripLastX, 520);
    EXPECT_EQ(b->height(), 5328);
    pointerTo(535, 520);  // 15 and 20 from the last step
    EXPECT_EQ(b->width(), 4104);
    EXPECT_EQ(b->height(), 5328 + 300);
    // The grip stays in the corner, and the content follows.
    EXPECT_EQ(b->Image8.left(), 4104 - 144 - 48);
    EXPECT_EQ(b->Image8.top(), 5628 - 144 - 48);
    EXPECT_EQ(b->WebBrowser2.height(), 5628 - 860);
}

TEST_F(ResizeGripTest, ReleasedGripNoLongerFollows) {
    b->Image8.mouseUp(forms::LeftButton, 0, 300, 300);
    pointerTo(700, 700);
    EXPECT_EQ(b->width(), 3804);
    EXPECT_EQ(b->height(), 5328);
}

TEST_F(ResizeGripTest, NeverShrinksThePanelBelowWhatItsContentNeeds) {
    pointerTo(0, 0);
    EXPECT_EQ(b->width(), 392);
    EXPECT_EQ(b->height(), 860);
    EXPECT_EQ(b->lblStatus.width(), 0);
    EXPECT_EQ(b->WebBrowser2.height(), 0);
    pointerTo(20, 0);
    EXPECT_EQ(b->width(), 392 + 300);
}
