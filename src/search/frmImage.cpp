#include "search/frmImage.h"

#include "frame/Skin.h"

namespace surfdeck {

namespace {

FrameDesign panelDesign() {
    FrameDesign d;
    d.name = "frmImage";
    d.caption = "Image search";
    d.title = "Image search";
    d.width = 3420;
    d.height = 4740;
    d.titleBand = 228;
    d.bottomEdge = 45;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

}  // namespace

frmImage::frmImage(AppContext& app) : SkinnedPanel(app, panelDesign()) {}

}  // namespace surfdeck
