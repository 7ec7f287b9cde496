#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ports/Automation.h"
#include "ports/Timers.h"

namespace surfdeck::forms {

class Form;

// Mouse buttons as a mask, and the shift state, as the handlers receive them.
enum MouseButtons : int { NoButton = 0, LeftButton = 1, RightButton = 2, MiddleButton = 4 };
enum ShiftMask : int { ShiftKey = 1, CtrlKey = 2, AltKey = 4 };

enum class ControlKind {
    Label,
    Image,
    Shape,
    ComboBox,
    CommandButton,
    CheckBox,
    Toolbar,
    Timer,
    WebBrowser,
};

// RGB colour as 0xRRGGBB.
using Colour = std::uint32_t;
constexpr Colour rgb(int r, int g, int b) {
    return (static_cast<Colour>(r) << 16) | (static_cast<Colour>(g) << 8) | static_cast<Colour>(b);
}

using MouseHandler = std::function<void(int button, int shift, float x, float y)>;

// A control of a form: a named, positioned child (twips, relative to the form).
// Every change is reported to the form, which tells its backend.
class Control {
  public:
    Control(Form& owner, std::string name, ControlKind kind);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    Form& form() const { return owner_; }
    const std::string& name() const { return name_; }
    ControlKind kind() const { return kind_; }

    double left() const { return left_; }
    double top() const { return top_; }
    double width() const { return width_; }
    double height() const { return height_; }
    // Sizes below zero are kept at zero: no control can take a negative size.
    void setLeft(double v);
    void setTop(double v);
    void setWidth(double v);
    void setHeight(double v);
    void move(double left, double top, double width, double height);

    bool visible() const { return visible_; }
    void setVisible(bool v);
    bool enabled() const { return enabled_; }
    void setEnabled(bool v);
    const std::string& toolTipText() const { return toolTip_; }
    void setToolTipText(std::string v);
    const std::string& tag() const { return tag_; }
    void setTag(std::string v) { tag_ = std::move(v); }

    // The handlers a form attaches (Label1_MouseDown and so on).
    MouseHandler onMouseDown, onMouseUp, onMouseMove;
    std::function<void()> onClick;

    // Input from a backend or a script; x and y in twips relative to the control.
    void mouseDown(int button, int shift, float x, float y);
    void mouseUp(int button, int shift, float x, float y);
    void mouseMove(int buttons, int shift, float x, float y);
    void click();

  protected:
    void changed();
    virtual void sizeChanged() {}

  private:
    Form& owner_;
    std::string name_;
    ControlKind kind_;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::string toolTip_;
    std::string tag_;
};

class Label : public Control {
  public:
    Label(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::Label) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string v);
    bool bold() const { return bold_; }
    void setBold(bool v);
    // Transparent labels show what lies beneath (the title band under the title text).
    bool transparent() const { return transparent_; }
    void setTransparent(bool v);
    Colour backColour() const { return back_; }
    void setBackColour(Colour v);
    // Empty: the system's text colour; "highlight-text" for the title text.
    const std::string& foreRole() const { return foreRole_; }
    void setForeRole(std::string v);

  private:
    std::string caption_;
    bool bold_ = false;
    bool transparent_ = false;
    Colour back_ = rgb(255, 255, 255);
    std::string foreRole_;
};

// A picture: picture is the skin file's name ("" shows nothing).
class Image : public Control {
  public:
    Image(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::Image) {}
    const std::string& picture() const { return picture_; }
    void setPicture(std::string v);
    bool stretch() const { return stretch_; }
    void setStretch(bool v);

  private:
    std::string picture_;
    bool stretch_ = false;
};

// A filled rectangle, or a separator line.
class Shape : public Control {
  public:
    enum class Style { Rectangle, Line };
    Shape(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::Shape) {}
    Style style() const { return style_; }
    void setStyle(Style v);
    Colour fillColour() const { return fill_; }
    void setFillColour(Colour v);

  private:
    Style style_ = Style::Rectangle;
    Colour fill_ = rgb(0, 0, 0);
};

class ComboBox : public Control {
  public:
    enum class Style { Editable, ListOnly };
    ComboBox(Form& owner, std::string name)
        : Control(owner, std::move(name), ControlKind::ComboBox) {}
    Style style() const { return style_; }
    void setStyle(Style v);
    const std::vector<std::string>& items() const { return items_; }
    void addItem(std::string item);
    // Removes every item; an editable box also loses its text.
    void clear();
    // -1 when no item is selected.
    int listIndex() const { return listIndex_; }
    // Selecting an item shows its text; out of range selects nothing.
    void setListIndex(int index);
    const std::string& text() const { return text_; }
    // The typed text of an editable box (a list-only box ignores typing).
    void setText(std::string v);
    // Raised after the user changed the text or picked an item.
    std::function<void()> onChange;

  private:
    Style style_ = Style::Editable;
    std::vector<std::string> items_;
    int listIndex_ = -1;
    std::string text_;
};

class CommandButton : public Control {
  public:
    CommandButton(Form& owner, std::string name)
        : Control(owner, std::move(name), ControlKind::CommandButton) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string v);

  private:
    std::string caption_;
};

class CheckBox : public Control {
  public:
    CheckBox(Form& owner, std::string name)
        : Control(owner, std::move(name), ControlKind::CheckBox) {}
    const std::string& caption() const { return caption_; }
    void setCaption(std::string v);
    // 0 unticked, 1 ticked.
    int value() const { return value_; }
    // Setting the value by the user raises onClick, as a click on the box does.
    void setValue(int v);

  private:
    std::string caption_;
    int value_ = 0;
};

// A toolbar of push buttons that wraps them into rows of its own width; its height
// follows the number of rows.
class Toolbar : public Control {
  public:
    struct Button {
        std::string key;
        std::string description;
        std::string toolTipText;
        std::string caption;
        std::string picture;
        bool enabled = true;
    };
    Toolbar(Form& owner, std::string name)
        : Control(owner, std::move(name), ControlKind::Toolbar) {}
    const std::vector<Button>& buttons() const { return buttons_; }
    void addButton(Button b);
    // By 1-based position or by key; nullptr when absent.
    Button* button(int index1);
    Button* buttonByKey(const std::string& key);
    void setButtonEnabled(const std::string& key, bool enabled);
    double buttonWidth() const { return buttonWidth_; }
    double buttonHeight() const { return buttonHeight_; }
    void setButtonSize(double width, double height);
    int buttonsPerRow() const;
    int rows() const;
    // The click handler, given the clicked button.
    std::function<void(Button&)> onButtonClick;
    // Input: a click on the button with this key (ignored when it is disabled).
    void clickButton(const std::string& key);

  protected:
    void sizeChanged() override;

  private:
    void fitHeight();
    std::vector<Button> buttons_;
    double buttonWidth_ = 390;
    double buttonHeight_ = 360;
    bool fitting_ = false;
};

// A periodic timer of a form: interval in ms, 0 stops it; ticks while enabled.
class Timer : public Control {
  public:
    Timer(Form& owner, std::string name) : Control(owner, std::move(name), ControlKind::Timer) {}
    ~Timer() override;
    int interval() const { return interval_; }
    void setInterval(int ms);
    bool timerEnabled() const { return timerEnabled_; }
    void setTimerEnabled(bool v);
    // Tells the timer facility that ticks would change nothing until told otherwise;
    // the timer keeps its period and may still tick.
    void setIdle(bool idle);
    bool idle() const { return idle_; }
    std::function<void()> onTimer;
    // Starts ticking once the form has a timer facility (at load); stops at unload.
    void attach(Timers& timers);
    void detach();

  private:
    void restart();
    Timers* timers_ = nullptr;
    Timers::TimerId id_ = 0;
    bool running_ = false;
    int interval_ = 0;
    bool timerEnabled_ = true;
    bool idle_ = false;
};

// The place of an embedded browser control on a form.
class WebBrowserHost : public Control {
  public:
    WebBrowserHost(Form& owner, std::string name)
        : Control(owner, std::move(name), ControlKind::WebBrowser) {}
    const std::shared_ptr<EmbeddedBrowser>& browser() const { return browser_; }
    void setBrowser(std::shared_ptr<EmbeddedBrowser> b);

  private:
    std::shared_ptr<EmbeddedBrowser> browser_;
};

}  // namespace surfdeck::forms
