#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "mainwindow/frmMain.h"
#include "related/frmBrowser.h"
#include "search/frmNews.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {
struct MainWindowLayout : ::testing::Test, Shown<frmMain> {};
struct RelatedPanelLayout : ::testing::Test, Shown<frmBrowser> {};
}  // namespace

TEST_F(MainWindowLayout, FitsItselfAroundItsToolbar) {
    // Twelve buttons in 2340 twips wrap into two rows of six: 720 high.
    EXPECT_EQ(f.Toolbar1.height(), 720);
    EXPECT_EQ(f.width(), 2340 + 36 + 48);
    EXPECT_EQ(f.height(), 720 + 216 + 48);
    EXPECT_EQ(f.Image2.left(), 2424 - 48);
    EXPECT_EQ(f.Image4.left(), 2424 - 132 - 20 - 132);
    // The vertical view: two buttons wide, six rows.
    f.Toolbar1.setWidth(2 * 390 + 50);
    f.Form_Resize();
    EXPECT_EQ(f.width(), 830 + 36 + 48);
    EXPECT_EQ(f.height(), 6 * 360 + 216 + 48);
}

TEST_F(MainWindowLayout, RolledUpOrMinimisedWindowIsNotRefitted) {
    f.setHeight(300);
    EXPECT_EQ(f.height(), 300);
    EXPECT_EQ(f.Image3.top(), 252);
    f.setHeight(301);
    EXPECT_EQ(f.height(), 984);
    f.setWindowState(forms::WindowState::Minimized);
    f.setHeight(1500);
    EXPECT_EQ(f.height(), 1500);
}

TEST(PanelLayout, EdgesFollowTheSizeWithEachPanelsBottomEdge) {
    Shown<frmNews> news;
    news.f.setWidth(4000);
    EXPECT_EQ(news.f.Image3.top(), 5400 - 45);
    EXPECT_EQ(news.f.Image2.left(), 4000 - 48);
    EXPECT_EQ(news.f.shpTitle.width(), 4000);
    EXPECT_EQ(news.f.Image4.left(), 4000 - 20 - 2 * 132);
}

TEST_F(RelatedPanelLayout, ContentFillsThePanelAndTheRightEdgeStandsTenBeyond) {
    f.setWidth(5000);
    f.setHeight(6000);
    EXPECT_EQ(f.Image2.left(), 5000 - 48 + 10);
    EXPECT_EQ(f.Toolbar1.width(), 5000 - 48 + 10 - 36);
    EXPECT_EQ(f.Shape1.width(), 5000);
    EXPECT_EQ(f.Shape1.top(), 6000 - 48 - 252);
    EXPECT_EQ(f.lblStatus.top(), 6000 - 48 - 252 + 50);
    EXPECT_EQ(f.Image8.left(), 5000 - 144 - 48);
    EXPECT_EQ(f.Image8.top(), 6000 - 144 - 48);
    EXPECT_EQ(f.lblStatus.width(), 5000 - 392);
    EXPECT_EQ(f.WebBrowser2.width(), 5000 - 120);
    EXPECT_EQ(f.WebBrowser2.height(), 6000 - 860);
}

TEST_F(RelatedPanelLayout, BelowThreeHundredOnlyTheFrameMoves) {
    const double statusTop = f.lblStatus.top(), browserHeight = f.WebBrowser2.height();
    f.setHeight(299);
    EXPECT_EQ(f.Image3.top(), 299 - 48);
    EXPECT_EQ(f.lblStatus.top(), statusTop);
    EXPECT_EQ(f.WebBrowser2.height(), browserHeight);
}

TEST_F(RelatedPanelLayout, NeverSmallerThanItsContentNeeds) {
    f.setHeight(300);
    EXPECT_EQ(f.height(), 860);
    EXPECT_EQ(f.WebBrowser2.height(), 0);
    f.setWidth(100);
    EXPECT_EQ(f.width(), 392);
    EXPECT_EQ(f.lblStatus.width(), 0);
    EXPECT_GE(f.Toolbar1.width(), 0);
    f.setHeight(861);
    EXPECT_EQ(f.WebBrowser2.height(), 1);
}
