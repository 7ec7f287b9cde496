#include "related/frmBrowser.h"

#include <algorithm>

#include "frame/Skin.h"

namespace surfdeck {

namespace {

FrameDesign browserDesign() {
    FrameDesign d;
    d.name = "frmBrowser";
    d.caption = "Surfmate";
    d.title = "Related links";
    d.width = 3804;
    d.height = 5328;
    d.titleBand = 230;
    // The right edge picture stands beyond the window's edge.
    d.rightEdgeOverhang = 10;
    d.firstButton = skin::Collapse;
    d.firstButtonPressed = skin::CollapsePressed;
    return d;
}

constexpr forms::Colour kStatusColour = forms::rgb(240, 240, 224);
// The status text sits this far below the top of its band.
constexpr double kStatusOffset = 50;
// Room between the status text and the grip, and between the browser and the status.
constexpr double kStatusGap = 200;
constexpr double kBrowserGap = 10;
// The toolbar sits this far from the title band's bottom: above it when expanded (it
// overlaps the band's edge), below it when collapsed (out of sight).
constexpr double kToolbarShift = 20;

double atLeastZero(double v) {
    return std::max(0.0, v);
}

}  // namespace

frmBrowser::frmBrowser(AppContext& app)
    : SkinnedPanel(app, browserDesign()), grip_(*this, Image8, Image2, Image3, app.desktop) {
    add(Toolbar1);
    add(WebBrowser2);
    add(Shape1);
    add(lblStatus);
    add(Image8);
    add(Timer1);

    Toolbar1.move(36, 216, 3696, 360);
    forms::Toolbar::Button update;
    update.key = "update";
    update.description = "update";
    update.caption = "Update";
    update.picture = "tb-update.svg";
    Toolbar1.addButton(std::move(update));

    WebBrowser2.move(60, 600, 3612, 3792);

    Shape1.move(60, 5040, 3732, 252);
    Shape1.setFillColour(kStatusColour);

    lblStatus.move(120, 5040, 2712, 192);
    lblStatus.setBackColour(kStatusColour);

    Image8.move(3540, 5100, 144, 144);
    Image8.setPicture(skin::Grip);
    Image8.onMouseDown = [this](int b, int s, float x, float y) { Image8_MouseDown(b, s, x, y); };
    Image8.onMouseUp = [this](int b, int s, float x, float y) { Image8_MouseUp(b, s, x, y); };

    Timer1.setInterval(ResizeGrip::TimerPeriod);
    Timer1.onTimer = [this] { Timer1_Timer(); };
}

double frmBrowser::minContentWidth() const {
    // The status text's width, the browser's width and the toolbar's width.
    return std::max({Image8.width() + Image2.width() + kStatusGap, 2 * WebBrowser2.left(),
                     Toolbar1.left() + Image2.width() - design().rightEdgeOverhang});
}

double frmBrowser::minContentHeight() const {
    // The browser's height: it ends just above the status text.
    return WebBrowser2.top() + kBrowserGap + Image3.height() + Shape1.height() - kStatusOffset;
}

bool frmBrowser::growToContent() {
    const double w = std::max(width(), minContentWidth());
    const double h = std::max(height(), minContentHeight());
    if (w == width() && h == height()) return false;
    setWidth(w);
    setHeight(h);
    return true;
}

void frmBrowser::Form_Resize() {
    // A collapsed panel shows its frame only and keeps its content where it was.
    if (height() >= ContentLimit && growToContent()) return;
    layoutFrame();
    if (height() >= ContentLimit) layoutContent();
}

void frmBrowser::layoutContent() {
    const double w = width();
    const double h = height();
    Toolbar1.setWidth(atLeastZero(Image2.left() - Toolbar1.left()));
    Shape1.setWidth(w);
    Shape1.setTop(Image3.top() - Shape1.height());
    lblStatus.setTop(Shape1.top() + kStatusOffset);
    Image8.setLeft(w - Image8.width() - Image2.width());
    Image8.setTop(h - Image8.height() - Image3.height());
    lblStatus.setWidth(atLeastZero(Image8.left() - kStatusGap));
    WebBrowser2.setWidth(atLeastZero(w - 2 * WebBrowser2.left()));
    WebBrowser2.setHeight(atLeastZero(lblStatus.top() - WebBrowser2.top() - kBrowserGap));
}

void frmBrowser::Form_Activate() {
    // The title keeps its designed text.
    if (connectDocumentEvents) connectDocumentEvents();
}

void frmBrowser::Image4_Click() {
    const bool expanding = height() <= CollapsedLimit;
    SkinnedPanel::Image4_Click();
    Toolbar1.setTop(expanding ? shpTitle.height() - kToolbarShift
                              : shpTitle.height() + kToolbarShift);
}

void frmBrowser::Image8_MouseDown(int, int, float, float) {
    grip_.press();
}

void frmBrowser::Image8_MouseUp(int, int, float, float) {
    grip_.release();
}

void frmBrowser::Timer1_Timer() {
    grip_.tick(minContentWidth(), minContentHeight());
}

}  // namespace surfdeck
