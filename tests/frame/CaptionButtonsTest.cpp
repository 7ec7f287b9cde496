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

// Any mouse button shows a caption button's pressed face while it is held.
void expectFaces(SkinnedForm& f, const std::string& first) {
    for (const auto& [button, face] : {std::pair{&f.Image4, first}, {&f.Image5, "close"}}) {
        EXPECT_EQ(button->picture(), face + ".svg");
        button->mouseDown(forms::RightButton, 0, 5, 5);
        EXPECT_EQ(button->picture(), face + "-pressed.svg");
        button->mouseUp(forms::RightButton, 0, 5, 5);
        EXPECT_EQ(button->picture(), face + ".svg");
    }
}

// 1000 twips or lower expands to the designed height, 1001 or more collapses to the band.
template <class Panel>
void expectCollapseAndExpand(double designedHeight, double band) {
    Shown<Panel> p;
    for (const auto& [before, after] : {std::pair{designedHeight, band},
                                        {band, designedHeight},
                                        {1001.0, band},
                                        {1000.0, designedHeight}}) {
        p.f.setHeight(before);
        p.f.Image4.click();
        EXPECT_EQ(p.f.height(), after) << p.f.caption() << " from " << before;
    }
}

}  // namespace

TEST(CaptionButtons, EachButtonShowsItsPressedFaceWhileHeld) {
    expectFaces(Shown<frmMain>().f, "min");
    expectFaces(Shown<frmWeb>().f, "collapse");
}

TEST(CaptionButtons, PanelsCollapseToTheirBandAndExpandToTheirDesignedHeight) {
    expectCollapseAndExpand<frmWeb>(4680, 228);
    expectCollapseAndExpand<frmNews>(5400, 230);
    expectCollapseAndExpand<frmImage>(4740, 228);
    expectCollapseAndExpand<frmBrowser>(5328, 230);
    // The related panel's toolbar goes below the visible band when collapsed.
    Shown<frmBrowser> related;
    related.f.Image4.click();
    EXPECT_EQ(related.f.Toolbar1.top(), 250);
    related.f.Image4.click();
    EXPECT_EQ(related.f.Toolbar1.top(), 210);
}

// The close button hands over to what the program wired, which may unload the window
// from inside its own click.
TEST(CaptionButtons, MainWindowMinimisesAndCloseEndsTheProgram) {
    Shown<frmMain> fx;
    fx.f.closeRequested = [&] {
        fx.window.unload();
        fx.loop.quit();
    };
    fx.f.Image4.click();
    EXPECT_EQ(fx.f.windowState(), forms::WindowState::Minimized);
    fx.app.forms.dispatch([&] { fx.f.Image5.click(); });
    EXPECT_FALSE(fx.window.loaded());
    EXPECT_TRUE(fx.loop.quitRequested());
}

TEST(Activation, EachWindowSetsItsTitleAndTheMainWindowItsFittedHeight) {
    Shown<frmMain> fx;
    auto news = fx.slot<frmNews>();
    auto related = fx.slot<frmBrowser>();
    fx.f.setHeight(208);
    fx.f.Label1.setCaption("");
    news.load().Label1.setCaption("");
    EXPECT_EQ(news.show().Label1.caption(), "Newsgroup search");
    fx.host.activate(fx.f);
    EXPECT_EQ(fx.f.height(), 984);
    EXPECT_EQ(fx.f.Label1.caption(), "Surfdeck");
    int connects = 0;
    related.load().connectDocumentEvents = [&] { ++connects; };
    frmBrowser& b = related.show();
    EXPECT_EQ(b.caption(), "Surfdeck - Related links");
    EXPECT_EQ(b.Label1.caption(), "Related links");
    EXPECT_EQ(connects, 1);
}

TEST(AlwaysOnTop, PanelsAlwaysAndTheMainWindowBySetting) {
    FrameFixture fx;
    auto web = fx.slot<frmWeb>();
    auto related = fx.slot<frmBrowser>();
    EXPECT_TRUE(fx.desktop.isTopMost(web.load().hWnd()));
    EXPECT_TRUE(fx.desktop.isTopMost(related.load().hWnd()));
    auto main = fx.slot<frmMain>();
    const Hwnd m = main.show().hWnd();
    for (bool setting : {true, false}) {
        EXPECT_TRUE(SetTopMost(fx.desktop, m, setting));
        EXPECT_EQ(fx.desktop.isTopMost(m), setting);
    }
}
