#include <string>

#include "ScenarioHarness.h"
#include "settings/Settings.h"

using surfdeck::testing::Scenario;

namespace {

// An 800 x 600 screen: 12000 x 9000 twips.
constexpr int SW = 12000, SH = 9000;

struct Place {
    std::string left, top;
};

Place placeOf(Scenario& s, const std::string& form) {
    auto f = s.fact("form", form);
    return {f.get("left"), f.get("top")};
}

}  // namespace

TEST(PlaceAtLoad, AWindowWhoseTitleBandIsOffScreenIsMovedJustFarEnoughToShowIt) {
    // The main window is 2474 wide, the related panel 4000, their title bands 228 and 230.
    const struct {
        const char *what, *section, *form, *open;
        int left, top;
        int expectLeft, expectTop;
    } cases[] = {
        {"main, saved on a larger screen", "MainWindow", "frmMain", "", 14000, 8900, SW - 2474,
         SH - 228},
        {"main, band across the right edge", "MainWindow", "frmMain", "", 10000, 3000, SW - 2474,
         3000},
        {"main, above and left of the screen", "MainWindow", "frmMain", "", -3000, -50, 0, 0},
        {"main, on screen, stays", "MainWindow", "frmMain", "", 9000, 8000, 9000, 8000},
        {"main, flush with the corner, stays", "MainWindow", "frmMain", "", SW - 2474, SH - 228,
         SW - 2474, SH - 228},
        {"related panel, buttons and grip off screen", "RelatedSearchWindow", "frmBrowser",
         "click frmMain.Toolbar1:related\n", 11000, 9500, SW - 4000, SH - 230},
        {"web panel", "WebSearchWindow", "frmWeb", "click frmMain.Toolbar1:web\n", -900, 20000, 0,
         SH - 228},
    };
    for (const auto& c : cases) {
        Scenario s;
        const std::string stored = "[" + std::string(c.section) +
                                   "]\nRollUp=0\ntop=" + std::to_string(c.top) +
                                   "\nleft=" + std::to_string(c.left) + "\n";
        s.write("conf.ini", stored);
        s.ok(std::string("screen 800 600\nstart\n") + c.open);
        const Place p = placeOf(s, c.form);
        EXPECT_EQ(p.left, std::to_string(c.expectLeft)) << c.what;
        EXPECT_EQ(p.top, std::to_string(c.expectTop)) << c.what;
        // The stored place stays as it was until the window is next saved.
        EXPECT_EQ(s.read("conf.ini"), stored) << c.what;
    }
}

TEST(PlaceAtLoad, TheMovedPlaceIsWhatTheNextCloseSaves) {
    Scenario s;
    s.write("conf.ini", "[RelatedSearchWindow]\ntop=20000\nleft=30000\n");
    s.ok("screen 800 600\nstart\nclick frmMain.Toolbar1:related\nclick frmBrowser.Image5\n");
    EXPECT_EQ(surfdeck::ReadIni("RelatedSearchWindow", "Top", "", s.path("conf.ini")),
              std::to_string(SH - 230));
    EXPECT_EQ(surfdeck::ReadIni("RelatedSearchWindow", "Left", "", s.path("conf.ini")),
              std::to_string(SW - 4000));
}

TEST(TitleDragRelease, ALetGoInsideASnapZoneSnapsToThatEdge) {
    // The main window (2474 x 984, roll-up off) grabbed at 300, 100 on its title label.
    const struct {
        const char* what;
        int left, top;  // where the drag starts
        int dx, dy;     // the last move, which follows the pointer
        const char* release;
        int expectLeft, expectTop;
    } cases[] = {
        {"into the top zone", 3000, 300, 0, -225, "left", 3000, 0},
        {"into the left zone", 300, 3000, -225, 0, "left", 0, 3000},
        {"into the bottom zone", 3000, SH - 984 - 300, 0, 225, "left", 3000, SH - 984},
        {"into the right zone", SW - 2474 - 300, 3000, 225, 0, "left", SW - 2474, 3000},
        {"into a corner", 300, 300, -225, -225, "left", 0, 0},
        {"outside the zones", 3000, 3000, -225, -225, "left", 2775, 2775},
        {"to the zone's border, 201 from the edge", 3000, 426, 0, -225, "left", 3000, 201},
        {"let go with the right button", 3000, 300, 0, -225, "right", 3000, 75},
    };
    for (const auto& c : cases) {
        Scenario s;
        s.write("conf.ini", "[MainWindow]\nRollUp=0\ntop=" + std::to_string(c.top) +
                                "\nleft=" + std::to_string(c.left) + "\n");
        s.ok("screen 800 600\nstart\ndown frmMain.Label1 left 300 100\n");
        s.ok("move frmMain.Label1 left " + std::to_string(300 + c.dx) + " " +
             std::to_string(100 + c.dy) + "\n");
        const Place moved = placeOf(s, "frmMain");
        s.ok(std::string("up frmMain.Label1 ") + c.release + " 300 100\n");
        const Place p = placeOf(s, "frmMain");
        EXPECT_EQ(p.left, std::to_string(c.expectLeft))
            << c.what << " (moved to " << moved.left << ", " << moved.top << ")";
        EXPECT_EQ(p.top, std::to_string(c.expectTop)) << c.what;
    }
}
