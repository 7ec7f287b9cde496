#pragma once
#include <functional>
#include <string>

#include "forms/Controls.h"
#include "forms/Form.h"
#include "frame/TitleDrag.h"
#include "settings/AppContext.h"

namespace surfdeck {

// What makes one skinned window different from the others.
struct FrameDesign {
    std::string name;     // the form's name, "frmWeb"
    std::string caption;  // the window's caption
    std::string title;    // the title label's designed text
    double width = 0;
    double height = 0;
    double titleBand = 228;          // the title band's height, which is also the collapsed height
    double bottomEdge = 48;          // the bottom edge picture's height
    double rightEdgeOverhang = 0;    // how far the right edge picture stands beyond the window
    std::string firstButton;         // Image4's normal face
    std::string firstButtonPressed;  // and its pressed face
};

// A borderless window that draws its own frame: title band, title label to drag it by,
// corner and edge pictures, and two picture caption buttons. The five windows of the
// program derive from it and add their content.
class SkinnedForm : public forms::Form {
  public:
    // Colour of the title band (and of the title label's background).
    static constexpr forms::Colour TitleColour = forms::rgb(0, 88, 240);
    static constexpr double EdgeWidth = 48;
    static constexpr double ButtonSize = 132;
    static constexpr double ButtonTop = 36;
    // Gap between the close button and the window's right edge.
    static constexpr double ButtonGap = 20;

    SkinnedForm(AppContext& app, FrameDesign design);

    AppContext& app() const { return app_; }
    const FrameDesign& design() const { return design_; }
    const TitleDrag& drag() const { return drag_; }

    // The frame controls. They are added in this order, which is also their stacking
    // order (later above earlier): the caption buttons lie above the title label, so a
    // press on one never starts a drag.
    forms::Shape shpTitle{*this, "shpTitle"};
    forms::Label Label1{*this, "Label1"};
    forms::Image imgLeftCorner{*this, "imgLeftCorner"};
    forms::Image Image1{*this, "Image1"};
    forms::Image Image2{*this, "Image2"};
    forms::Image Image3{*this, "Image3"};
    forms::Image Image4{*this, "Image4"};
    forms::Image Image5{*this, "Image5"};
    // Hidden holders of the caption buttons' normal and pressed faces.
    forms::Image Image41{*this, "Image41"};
    forms::Image Image42{*this, "Image42"};
    forms::Image Image51{*this, "Image51"};
    forms::Image Image52{*this, "Image52"};

    // What the close button asks for: the program wires it (unload the panel; for the
    // main window, unload it and end the program).
    std::function<void()> closeRequested;

    virtual void Label1_MouseDown(int Button, int Shift, float X, float Y);
    virtual void Label1_MouseMove(int Button, int Shift, float X, float Y);
    virtual void Label1_MouseUp(int Button, int Shift, float X, float Y);
    // Any button shows the pressed face; its release shows the normal one.
    virtual void Image4_MouseDown(int Button, int Shift, float X, float Y);
    virtual void Image4_MouseUp(int Button, int Shift, float X, float Y);
    virtual void Image4_Click() {}
    virtual void Image5_MouseDown(int Button, int Shift, float X, float Y);
    virtual void Image5_MouseUp(int Button, int Shift, float X, float Y);
    virtual void Image5_Click();

    void Form_Resize() override { layoutFrame(); }

    // What this window's close writes to conf.ini (its place, a search panel's recent
    // lists), from the model alone: it touches no window, so it also serves where the
    // display has gone.
    virtual void saveSettings() {}

    // At load: a window placed where part of its title band lies off the screen (places
    // saved on a larger screen) is moved just far enough to bring the whole band on it, so
    // that it can be dragged and closed. Only the window moves; the stored place changes
    // when the window is next saved.
    void keepTitleBandOnScreen();

  protected:
    // Lays the frame out for the current size: edges follow it, buttons keep to the
    // right end of the title band.
    void layoutFrame();

  private:
    AppContext& app_;
    FrameDesign design_;
    TitleDrag drag_;
};

}  // namespace surfdeck
