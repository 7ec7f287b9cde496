#include "frame/SkinnedPanel.h"

#include "frame/TopMost.h"

namespace surfdeck {

SkinnedPanel::SkinnedPanel(AppContext& app, FrameDesign design)
    : SkinnedForm(app, std::move(design)) {
    setToolWindow(true);
}

void SkinnedPanel::stayOnTop() {
    SetTopMost(app().desktop, hWnd(), true);
}

void SkinnedPanel::Image4_Click() {
    if (height() <= CollapsedLimit) {
        setHeight(design().height);
    } else {
        setHeight(shpTitle.height());
    }
}

void SkinnedPanel::Form_Activate() {
    Label1.setCaption(caption());
}

}  // namespace surfdeck
