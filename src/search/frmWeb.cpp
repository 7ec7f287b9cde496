#include "search/frmWeb.h"

#include "frame/Skin.h"

namespace surfdeck {

namespace {

FrameDesign panelDesign() {
    FrameDesign d;
    d.name = "frmWeb";
    d.caption = "Web Search";
    d.title = "Web Search";
    d.width = 3456;
    d.height = 4680;
    d.titleBand = 228;
    d.bottomEdge = 48;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

}  // namespace

frmWeb::frmWeb(AppContext& app) : SkinnedPanel(app, panelDesign()) {}

}  // namespace surfdeck
