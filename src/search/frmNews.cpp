#include "search/frmNews.h"

#include "frame/Skin.h"

namespace surfdeck {

namespace {

FrameDesign panelDesign() {
    FrameDesign d;
    d.name = "frmNews";
    d.caption = "Newsgroup search";
    d.title = "Newsgroup search";
    d.width = 3792;
    d.height = 5400;
    d.titleBand = 230;
    d.bottomEdge = 45;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

}  // namespace

frmNews::frmNews(AppContext& app) : SkinnedPanel(app, panelDesign()) {}

}  // namespace surfdeck
