#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "mainwindow/frmMain.h"
#include "related/frmBrowser.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"

using namespace surfdeck;
using namespace surfdeck::testing;

TEST(MainWindowLayout, FitsItselfAroundItsToolbar) {
    FrameFixture fx;
    auto slot = fx.slot<frmMain>();
    frmMain& m = slot.show();
    // Twelve buttons in 2340 twips wrap into two rows of six: 720 high.
    EXPECT_EQ(m.Toolbar1.height(), 720);
    EXPECT_EQ(m.width(), 2340 + 36 + 48);
    EXPECT_EQ(m.height(), 720 + 216 + 48);
    // The frame follows the fitted size.
    EXPECT_EQ(m.Image2.left(), 2424 - 48);
    EXPECT_EQ(m.Image3.top(), 984 - 48);
    EXPECT_EQ(m.shpTitle.width(), 2424);
    EXPECT_EQ(m.Image5.left(), 2424 - 132 - 20);
    EXPECT_EQ(m.Image4.left(), 2424 - 132 - 20 - 132);

    // The vertical view: two buttons wide, six rows.
    m.Toolbar1.setWidth(2 * 390 + 50);
    m.Form_Resize();
    EXPECT_EQ(m.width(), 830 + 36 + 48);
    EXPECT_EQ(m.height(), 6 * 360 + 216 + 48);
}

TEST(MainWindowLayout, RolledUpOrMinimisedWindowIsNotRefitted) {
    FrameFixture fx;
    auto slot = fx.slot<frmMain>();
    frmMain& m = slot.show();
    m.setHeight(300);
    EXPECT_EQ(m.height(), 300);
    EXPECT_EQ(m.Image3.top(), 252);
    m.setHeight(301);
    EXPECT_EQ(m.height(), 984);
    m.setWindowState(forms::WindowState::Minimized);
    m.setHeight(1500);
    EXPECT_EQ(m.height(), 1500);
}

TEST(PanelLayout, EdgesFollowTheSizeWithEachPanelsBottomEdge) {
    FrameFixture fx;
    auto news = fx.slot<frmNews>();
    frmNews& n = news.show();
    n.setWidth(4000);
    EXPECT_EQ(n.Image3.top(), 5400 - 45);
    EXPECT_EQ(n.Image2.left(), 4000 - 48);
    EXPECT_EQ(n.Image4.left(), 4000 - 20 - 2 * 132);
    // The related panel's right edge picture stands 10 twips beyond the window.
    auto related = fx.slot<frmBrowser>();
    EXPECT_EQ(related.show().Image2.left(), 3804 - 48 + 10);
}

TEST(RelatedPanelLayout, ContentFillsThePanel) {
    FrameFixture fx;
    auto slot = fx.slot<frmBrowser>();
    frmBrowser& b = slot.show();
    b.setWidth(5000);
    b.setHeight(6000);
    EXPECT_EQ(b.Toolbar1.width(), 5000 - 48 + 10 - 36);
    EXPECT_EQ(b.Shape1.width(), 5000);
    EXPECT_EQ(b.Shape1.top(), 6000 - 48 - 252);
    EXPECT_EQ(b.lblStatus.top(), 6000 - 48 - 252 + 50);
    EXPECT_EQ(b.Image8.left(), 5000 - 144 - 48);
    EXPECT_EQ(b.Image8.top(), 6000 - 144 - 48);
    EXPECT_EQ(b.lblStatus.width(), 5000 - 392);
    EXPECT_EQ(b.WebBrowser2.width(), 5000 - 120);
    EXPECT_EQ(b.WebBrowser2.height(), 6000 - 860);
}

TEST(RelatedPanelLayout, BelowThreeHundredOnlyTheFrameMoves) {
    FrameFixture fx;
    auto slot = fx.slot<frmBrowser>();
    frmBrowser& b = slot.show();
    const double statusTop = b.lblStatus.top(), browserHeight = b.WebBrowser2.height();
    b.setHeight(299);
    EXPECT_EQ(b.Image3.top(), 299 - 48);
    EXPECT_EQ(b.lblStatus.top(), statusTop);
    EXPECT_EQ(b.WebBrowser2.height(), browserHeight);
}

TEST(RelatedPanelLayout, NeverSmallerThanItsContentNeeds) {
    FrameFixture fx;
    auto slot = fx.slot<frmBrowser>();
    frmBrowser& b = slot.show();
    b.setHeight(300);
    EXPECT_EQ(b.height(), 860);
    EXPECT_EQ(b.WebBrowser2.height(), 0);
    b.setWidth(100);
    EXPECT_EQ(b.width(), 392);
    EXPECT_EQ(b.lblStatus.width(), 0);
    EXPECT_GE(b.Toolbar1.width(), 0);
    b.setHeight(861);
    EXPECT_EQ(b.WebBrowser2.height(), 1);
}
