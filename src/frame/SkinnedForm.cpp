#include "frame/SkinnedForm.h"

#include "frame/Skin.h"

namespace surfdeck {

SkinnedForm::SkinnedForm(AppContext& app, FrameDesign design)
    : forms::Form(app.forms, design.name), app_(app), design_(std::move(design)) {
    const double w = design_.width;
    const double h = design_.height;
    designSize(0, 0, w, h);
    setCaption(design_.caption);

    add(shpTitle);
    add(Label1);
    add(imgLeftCorner);
    add(Image1);
    add(Image2);
    add(Image3);
    add(Image4);
    add(Image5);
    add(Image41);
    add(Image42);
    add(Image51);
    add(Image52);

    shpTitle.move(0, 0, w, design_.titleBand);
    shpTitle.setFillColour(TitleColour);

    Label1.move(240, 0, w, 216);
    Label1.setCaption(design_.title);
    Label1.setBold(true);
    Label1.setTransparent(true);
    Label1.setBackColour(TitleColour);
    Label1.setForeRole("highlight-text");

    imgLeftCorner.move(0, 0, 192, 192);
    imgLeftCorner.setPicture(skin::Corner);

    Image1.move(0, 0, EdgeWidth, h);
    Image1.setStretch(true);
    Image1.setPicture(skin::EdgeLeft);
    Image2.move(w - EdgeWidth, 0, EdgeWidth, h);
    Image2.setStretch(true);
    Image2.setPicture(skin::EdgeRight);
    Image3.move(0, h - design_.bottomEdge, w, design_.bottomEdge);
    Image3.setStretch(true);
    Image3.setPicture(skin::EdgeBottom);

    Image41.setPicture(design_.firstButton);
    Image42.setPicture(design_.firstButtonPressed);
    Image51.setPicture(skin::Close);
    Image52.setPicture(skin::ClosePressed);
    for (forms::Image* face : {&Image41, &Image42, &Image51, &Image52}) {
        face->move(0, 0, ButtonSize, ButtonSize);
        face->setVisible(false);
    }
    const double closeLeft = w - ButtonSize - ButtonGap;
    Image5.move(closeLeft, ButtonTop, ButtonSize, ButtonSize);
    Image5.setPicture(Image51.picture());
    Image4.move(closeLeft - ButtonSize, ButtonTop, ButtonSize, ButtonSize);
    Image4.setPicture(Image41.picture());

    Label1.onMouseDown = [this](int b, int s, float x, float y) { Label1_MouseDown(b, s, x, y); };
    Label1.onMouseMove = [this](int b, int s, float x, float y) { Label1_MouseMove(b, s, x, y); };
    Label1.onMouseUp = [this](int b, int s, float x, float y) { Label1_MouseUp(b, s, x, y); };
    Image4.onMouseDown = [this](int b, int s, float x, float y) { Image4_MouseDown(b, s, x, y); };
    Image4.onMouseUp = [this](int b, int s, float x, float y) { Image4_MouseUp(b, s, x, y); };
    Image4.onClick = [this] { Image4_Click(); };
    Image5.onMouseDown = [this](int b, int s, float x, float y) { Image5_MouseDown(b, s, x, y); };
    Image5.onMouseUp = [this](int b, int s, float x, float y) { Image5_MouseUp(b, s, x, y); };
    Image5.onClick = [this] { Image5_Click(); };
}

void SkinnedForm::Label1_MouseDown(int, int, float X, float Y) {
    drag_.press(X, Y);
}

void SkinnedForm::Label1_MouseMove(int Button, int, float X, float Y) {
    drag_.move(*this, app_.desktop, Button, X, Y);
}

void SkinnedForm::Label1_MouseUp(int Button, int, float, float) {
    drag_.release(*this, app_.desktop, Button);
}

void SkinnedForm::Image4_MouseDown(int, int, float, float) {
    Image4.setPicture(Image42.picture());
}

void SkinnedForm::Image4_MouseUp(int, int, float, float) {
    Image4.setPicture(Image41.picture());
}

void SkinnedForm::Image5_MouseDown(int, int, float, float) {
    Image5.setPicture(Image52.picture());
}

void SkinnedForm::Image5_MouseUp(int, int, float, float) {
    Image5.setPicture(Image51.picture());
}

void SkinnedForm::Image5_Click() {
    if (closeRequested) closeRequested();
}

void SkinnedForm::keepTitleBandOnScreen() {
    Desktop& d = app_.desktop;
    const double screenWidth = d.screenWidthPixels() * d.twipsPerPixelX();
    const double screenHeight = d.screenHeightPixels() * d.twipsPerPixelY();
    // Flush with the far edge, where a drag would snap it; on a screen narrower than the
    // band the near edge wins, as in the snapping rules.
    const auto within = [](double pos, double size, double screen) {
        if (pos + size > screen) pos = screen - size;
        return pos < 0 ? 0.0 : pos;
    };
    const double top = within(this->top(), design_.titleBand, screenHeight);
    const double left = within(this->left(), width(), screenWidth);
    if (top != this->top()) setTop(top);
    if (left != this->left()) setLeft(left);
}

void SkinnedForm::layoutFrame() {
    const double w = width();
    const double h = height();
    Image1.setHeight(h);
    Image2.setHeight(h);
    Image2.setLeft(w - Image2.width() + design_.rightEdgeOverhang);
    // The window whose right edge overhangs was laid out with its band right after the
    // edge; the order shows nowhere, but backends see the changes in that order.
    if (design_.rightEdgeOverhang != 0) shpTitle.setWidth(w);
    Image3.setWidth(w);
    Image3.setTop(h - Image3.height());
    Label1.setWidth(w);
    if (design_.rightEdgeOverhang == 0) shpTitle.setWidth(w);
    Image5.setLeft(w - Image5.width() - ButtonGap);
    // The two buttons touch.
    Image4.setLeft(Image5.left() - Image4.width());
}

}  // namespace surfdeck
