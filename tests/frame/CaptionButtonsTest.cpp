#include <gtest/gtest.h>

#include "FrameFixture.h"
#include "frame/TopMost.h"
#include "mainwindow/frmMain.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"

using namespace surfdeck;
using namespace surfdeck::testing;

namespace {

void expectFaces(SkinnedForm& f, const std::string& first, const std::string& firstPressed) {
    EXPECT_EQ(f.Image4.picture(), first);
    f.Image4.mouseDown(forms::RightButton, 0, 5, 5);
    EXPECT_EQ(f.Image4.picture(), firstPressed);
    f.Image4.mouseUp(forms::RightButton, 0, 5, 5);
    EXPECT_EQ(f.Image4.picture(), first);
    f.Image5.mouseDown(forms::LeftButton, 0, 5, 5);
    EXPECT_EQ(f.Image5.picture(), "close-pressed.svg");
    f.Image5.mouseUp(forms::LeftButton, 0, 5, 5);
    EXPECT_EQ(f.Image5.picture(), "close.svg");
}

template <class Panel>
void expectCollapseAndExpand(double designedHeight, double band) {
    FrameFixture fx;
    auto slot = fx.slot<Panel>();
    Panel& p = slot.show();
    p.Image4.click();
    EXPECT_EQ(p.height(), band);
    p.Image4.click();
    EXPECT_EQ(p.height(), designedHeight);
    p.setHeight(1001);
    p.Image4.click();
    EXPECT_EQ(p.height(), band);
    p.setHeight(1000);
    p.Image4.click();
    EXPECT_EQ(p.height(), designedHeight);
}

}  // namespace

TEST(CaptionButtons, EachButtonShowsItsPressedFaceWhileHeld) {
    FrameFixture fx;
    auto main = fx.slot<frmMain>();
    auto web = fx.slot<frmWeb>();
    expectFaces(main.show(), "min.svg", "min-pressed.svg");
    expectFaces(web.show(), "collapse.svg", "collapse-pressed.svg");
}

TEST(CaptionButtons, PanelsCollapseToTheirBandAndExpandToTheirDesignedHeight) {
    expectCollapseAndExpand<frmWeb>(4680, 228);
    expectCollapseAndExpand<frmNews>(5400, 230);
    expectCollapseAndExpand<frmImage>(4740, 228);
    expectCollapseAndExpand<frmBrowser>(5328, 230);
}

TEST(CaptionButtons, RelatedToolbarHidesBelowTheBandWhenCollapsed) {
    FrameFixture fx;
    auto slot = fx.slot<frmBrowser>();
    frmBrowser& b = slot.show();
    b.Image4.click();
    EXPECT_EQ(b.Toolbar1.top(), 250);
    b.Image4.click();
    EXPECT_EQ(b.Toolbar1.top(), 210);
}

TEST(CaptionButtons, MainWindowMinimisesAndCloseEndsTheProgram) {
    FrameFixture fx;
    auto slot = fx.slot<frmMain>();
    frmMain& m = slot.show();
    m.closeRequested = [&] {
        slot.unload();
        fx.loop.quit();
    };
    m.Image4.click();
    EXPECT_EQ(m.windowState(), forms::WindowState::Minimized);
    fx.app.forms.dispatch([&] { m.Image5.click(); });
    EXPECT_FALSE(slot.loaded());
    EXPECT_TRUE(fx.loop.quitRequested());
}

TEST(CaptionButtons, PanelCloseUnloadsThePanel) {
    FrameFixture fx;
    auto slot = fx.slot<frmImage>();
    frmImage& p = slot.show();
    p.closeRequested = [&] { slot.unload(); };
    fx.app.forms.dispatch([&] { p.Image5.click(); });
    EXPECT_FALSE(slot.loaded());
}

TEST(Activation, MainWindowRestoresItsFittedHeightAndTitle) {
    FrameFixture fx;
    auto main = fx.slot<frmMain>();
    auto web = fx.slot<frmWeb>();
    frmMain& m = main.show();
    m.setHeight(208);
    m.Label1.setCaption("");
    web.show();
    fx.host.activate(m);
    EXPECT_EQ(m.height(), 984);
    EXPECT_EQ(m.Label1.caption(), "Surfdeck");
}

TEST(Activation, PanelsShowTheirCaptionAndTheRelatedPanelKeepsItsTitle) {
    FrameFixture fx;
    auto news = fx.slot<frmNews>();
    auto related = fx.slot<frmBrowser>();
    int connects = 0;
    frmNews& n = news.load();
    n.Label1.setCaption("");
    news.show();
    EXPECT_EQ(n.Label1.caption(), "Newsgroup search");
    frmBrowser& b = related.load();
    b.connectDocumentEvents = [&] { ++connects; };
    related.show();
    EXPECT_EQ(b.caption(), "Surfmate");
    EXPECT_EQ(b.Label1.caption(), "Related links");
    EXPECT_EQ(connects, 1);
}

TEST(AlwaysOnTop, PanelsAreOnTopFromTheirLoad) {
    FrameFixture fx;
    auto web = fx.slot<frmWeb>();
    auto related = fx.slot<frmBrowser>();
    EXPECT_TRUE(fx.desktop.isTopMost(web.load().hWnd()));
    EXPECT_TRUE(fx.desktop.isTopMost(related.load().hWnd()));
}

TEST(AlwaysOnTop, MainWindowFollowsItsSetting) {
    FrameFixture fx;
    auto main = fx.slot<frmMain>();
    frmMain& m = main.show();
    for (bool setting : {true, false}) {
        fx.app.settings.AlwaysOnTop = setting;
        EXPECT_TRUE(SetTopMost(fx.desktop, m.hWnd(), fx.app.settings.AlwaysOnTop));
        EXPECT_EQ(fx.desktop.isTopMost(m.hWnd()), setting);
    }
}
