#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "search/frmWeb.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

// The web panel, 3456 x 4680, on a 15360 x 11520 twips screen.
class TitleDragging : public ::testing::Test {
  protected:
    frmWeb& showAt(double left, double top) {
        frmWeb& f = slot.show();
        f.move(left, top);
        return f;
    }
    FrameFixture fx;
    forms::FormSlot<frmWeb> slot = fx.slot<frmWeb>();
    static constexpr double W = 3456, H = 4680, SW = 15360, SH = 11520;
};

}  // namespace

TEST_F(TitleDragging, FreeWindowFollowsThePointer) {
    frmWeb& f = showAt(3000, 3000);
    pressTitle(f, 4000, 3100);
    dragTitle(f, 4500, 3400);
    EXPECT_EQ(f.left(), 3500);
    EXPECT_EQ(f.top(), 3300);
    // The label moved with the window: the pointer is at the grabbed place again.
    dragTitle(f, 4510, 3390);
    EXPECT_EQ(f.left(), 3510);
    EXPECT_EQ(f.top(), 3290);
}

TEST_F(TitleDragging, TopEdgeSnapsHoldsAndBreaksAwayAt201) {
    frmWeb& f = showAt(3000, 150);
    pressTitle(f, 4000, 250);
    dragTitle(f, 4100, 250);  // only sideways
    EXPECT_EQ(f.top(), 0);
    EXPECT_EQ(f.left(), 3100);
    // Upward from the zone's last twip.
    f.setTop(200);
    pressTitle(f, 4100, 300);
    dragTitle(f, 4100, 290);
    EXPECT_EQ(f.top(), 0);

    pressTitle(f, 4100, 100);
    dragTitle(f, 4100, 250);  // pulled down 150: held
    EXPECT_EQ(f.top(), 0);
    dragTitle(f, 4100, 301);  // more than 200: freed one twip outside the margin
    EXPECT_EQ(f.top(), 201);
    // The desktop shows it at a whole pixel, but the model keeps its twips, so the next
    // move follows the pointer instead of snapping back.
    EXPECT_EQ(fx.desktop.window(f.hWnd())->top, 13);
    dragTitle(f, 4100, 311);
    EXPECT_EQ(f.top(), 211);
}

TEST_F(TitleDragging, BottomEdgeSnapsHoldsAndBreaksAway) {
    frmWeb& f = showAt(3000, SH - H - 100);
    pressTitle(f, 4000, SH - H);
    dragTitle(f, 4200, SH - H);  // sideways
    EXPECT_EQ(f.top(), SH - H);

    pressTitle(f, 4200, SH - H + 100);
    dragTitle(f, 4200, SH - H - 50);  // up 150: held
    EXPECT_EQ(f.top(), SH - H);
    dragTitle(f, 4200, SH - H - 101);  // up 201: freed
    EXPECT_EQ(f.top(), SH - H - 201);
    dragTitle(f, 4200, SH - H - 111);
    EXPECT_EQ(f.top(), SH - H - 211);
}

TEST_F(TitleDragging, LeftEdgeSnapsHoldsAndBreaksAway) {
    frmWeb& f = showAt(150, 3000);
    pressTitle(f, 1150, 3100);
    dragTitle(f, 1150, 3200);  // only downward
    EXPECT_EQ(f.left(), 0);
    EXPECT_EQ(f.top(), 3100);

    pressTitle(f, 1000, 3200);
    dragTitle(f, 1150, 3200);
    EXPECT_EQ(f.left(), 0);
    dragTitle(f, 1201, 3200);
    EXPECT_EQ(f.left(), 201);
}

TEST_F(TitleDragging, RightEdgeSnapsHoldsAndBreaksAway) {
    frmWeb& f = showAt(SW - W - 100, 3000);
    pressTitle(f, SW - W, 3100);
    dragTitle(f, SW - W + 10, 3100);
    EXPECT_EQ(f.left(), SW - W);

    pressTitle(f, SW - W + 1000, 3100);
    dragTitle(f, SW - W + 850, 3100);
    EXPECT_EQ(f.left(), SW - W);
    dragTitle(f, SW - W + 799, 3100);
    EXPECT_EQ(f.left(), SW - W - 201);
}

TEST_F(TitleDragging, OnAScreenTooSmallForBothZonesTheTopAndLeftRulesWin) {
    fx.desktop.setScreenSize(300, 320);  // 4500 x 4800 twips: the zones overlap
    frmWeb& f = showAt(100, 100);
    pressTitle(f, 1100, 200);
    dragTitle(f, 1100, 200);
    EXPECT_EQ(f.top(), 0);
    EXPECT_EQ(f.left(), 0);
    // Freed from the top, it lies in the bottom zone and drops to the bottom edge.
    dragTitle(f, 1000, 401);
    EXPECT_EQ(f.top(), 201);
    dragTitle(f, 1000, 401);
    EXPECT_EQ(f.top(), 4800 - H);
}

TEST_F(TitleDragging, OnlyTheLeftButtonAloneMovesTheWindow) {
    frmWeb& f = showAt(3000, 3000);
    pressTitle(f, 4000, 3100, forms::RightButton);
    for (int buttons : std::initializer_list<int>{
             forms::NoButton, forms::RightButton, forms::MiddleButton,
             forms::LeftButton | forms::RightButton, forms::LeftButton | forms::MiddleButton}) {
        dragTitle(f, 5000, 4100, buttons);
        EXPECT_EQ(f.left(), 3000) << buttons;
        EXPECT_EQ(f.top(), 3000) << buttons;
    }
    // The right-button press still marked the grab; shift keys do not matter.
    f.Label1.mouseMove(forms::LeftButton, forms::ShiftKey, 1260, 200);
    EXPECT_EQ(f.left(), 3500);
    EXPECT_EQ(f.top(), 3100);
}

TEST_F(TitleDragging, TheGrabbedPlaceIsRoundedHalvesToEven) {
    frmWeb& f = showAt(3000, 3000);
    f.Label1.mouseDown(forms::LeftButton, 0, 100.5f, 100.5f);
    EXPECT_EQ(f.drag().DragStartX, 100);
    f.Label1.mouseMove(forms::LeftButton, 0, 100.5f, 100.5f);
    EXPECT_EQ(f.top(), 3000.5);
    f.Label1.mouseDown(forms::LeftButton, 0, 101.5f, 101.5f);
    EXPECT_EQ(f.drag().DragStartY, 102);
    f.Label1.mouseMove(forms::LeftButton, 0, 101.5f, 101.5f);
    EXPECT_EQ(f.top(), 3000);
}
