#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "FrameFixture.h"
#include "search/frmWeb.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

// The web panel, 3456 x 4680, on the 15360 x 11520 twips screen.
constexpr double W = 3456, H = 4680, SW = 15360, SH = 11520;

struct TitleDragging : ::testing::Test, Shown<frmWeb> {
    // The pointer at a screen place in twips, as the title label sees it.
    void press(double x, double y, int button = forms::LeftButton) {
        f.Label1.mouseDown(button, 0, x - f.left() - f.Label1.left(), y - f.top() - f.Label1.top());
    }
    void drag(double x, double y, int buttons = forms::LeftButton) {
        f.Label1.mouseMove(buttons, 0, x - f.left() - f.Label1.left(),
                           y - f.top() - f.Label1.top());
    }
};

// A pointer place on the screen and where the window is then, all in twips.
struct Step {
    double x, y, left, top;
};

}  // namespace

TEST_F(TitleDragging, SnapsHoldsAndBreaksAwayOnEveryEdge) {
    const double B = SH - H, R = SW - W;  // the window flush with the bottom or right edge
    // The window put at the first step's place and pressed there, then moved to the others.
    const std::pair<const char*, std::vector<Step>> drags[] = {
        {"free: follows, the pointer back at the grabbed place",
         {{4000, 3100, 3000, 3000}, {4500, 3400, 3500, 3300}, {4510, 3390, 3510, 3290}}},
        {"top: sideways in the zone", {{4000, 250, 3000, 150}, {4100, 250, 3100, 0}}},
        {"top: upward from the zone's last twip", {{4000, 300, 3000, 200}, {4000, 290, 3000, 0}}},
        {"top: held up to a pull of 200, freed to 201 and kept there in twips, then free",
         {{4000, 100, 3000, 0},
          {4000, 300, 3000, 0},
          {4000, 301, 3000, 201},
          {4000, 311, 3000, 211}}},
        {"bottom: sideways in the zone", {{4000, B, 3000, B - 100}, {4200, B, 3200, B}}},
        {"bottom: held up to a pull of 200, then freed",
         {{4000, B + 100, 3000, B}, {4000, B - 100, 3000, B}, {4000, B - 101, 3000, B - 201}}},
        {"left: downward in the zone", {{1150, 3100, 150, 3000}, {1150, 3200, 0, 3100}}},
        {"left: held, then freed",
         {{1000, 3100, 0, 3000}, {1150, 3100, 0, 3000}, {1201, 3100, 201, 3000}}},
        {"right: sideways outward in the zone",
         {{R, 3100, R - 100, 3000}, {R + 10, 3100, R, 3000}}},
        {"right: held, then freed",
         {{R + 1000, 3100, R, 3000}, {R + 850, 3100, R, 3000}, {R + 799, 3100, R - 201, 3000}}},
    };
    for (const auto& [what, steps] : drags) {
        f.move(steps[0].left, steps[0].top);
        press(steps[0].x, steps[0].y);
        for (const Step& s : steps) {
            if (&s != &steps[0]) drag(s.x, s.y);
            EXPECT_EQ(f.left(), s.left) << what << " at " << s.x << ", " << s.y;
            EXPECT_EQ(f.top(), s.top) << what << " at " << s.x << ", " << s.y;
        }
    }
}

TEST_F(TitleDragging, OnAScreenTooSmallForBothZonesTheTopAndLeftRulesWin) {
    desktop.setScreenSize(300, 320);  // 4500 x 4800 twips: the zones overlap
    f.move(100, 100);
    press(1100, 200);
    drag(1100, 200);
    EXPECT_EQ(f.top(), 0);
    EXPECT_EQ(f.left(), 0);
    // Freed from the top, it lies in the bottom zone and drops to the bottom edge.
    drag(1000, 401);
    EXPECT_EQ(f.top(), 201);
    drag(1000, 401);
    EXPECT_EQ(f.top(), 4800 - H);
}

TEST_F(TitleDragging, OnlyTheLeftButtonAloneMovesTheWindow) {
    f.move(3000, 3000);
    press(4000, 3100, forms::RightButton);
    for (int buttons : std::initializer_list<int>{
             forms::NoButton, forms::RightButton, forms::MiddleButton,
             forms::LeftButton | forms::RightButton, forms::LeftButton | forms::MiddleButton}) {
        drag(5000, 4100, buttons);
        EXPECT_EQ(f.left(), 3000) << buttons;
        EXPECT_EQ(f.top(), 3000) << buttons;
    }
    // The right-button press still marked the grab; shift keys do not matter.
    f.Label1.mouseMove(forms::LeftButton, forms::ShiftKey, 1260, 200);
    EXPECT_EQ(f.left(), 3500);
    EXPECT_EQ(f.top(), 3100);
}

TEST_F(TitleDragging, TheGrabbedPlaceIsRoundedHalvesToEven) {
    f.move(3000, 3000);
    f.Label1.mouseDown(forms::LeftButton, 0, 100.5f, 101.5f);
    EXPECT_EQ(f.drag().DragStartX, 100);
    EXPECT_EQ(f.drag().DragStartY, 102);
    f.Label1.mouseMove(forms::LeftButton, 0, 100.5f, 101.5f);
    EXPECT_EQ(f.left(), 3000.5);
    EXPECT_EQ(f.top(), 2999.5);
}
