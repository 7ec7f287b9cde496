#include "forms/Controls.h"

#include <algorithm>
#include <cmath>

#include "forms/Form.h"

namespace surfdeck::forms {

Control::Control(Form& owner, std::string name, ControlKind kind)
    : owner_(owner), name_(std::move(name)), kind_(kind) {}

void Control::changed() {
    owner_.controlChanged(*this);
}

void Control::setLeft(double v) {
    if (v == left_) return;
    left_ = v;
    changed();
}

void Control::setTop(double v) {
    if (v == top_) return;
    top_ = v;
    changed();
}

void Control::setWidth(double v) {
    width_ = std::max(0.0, v);
    sizeChanged();
    changed();
}

void Control::setHeight(double v) {
    height_ = std::max(0.0, v);
    sizeChanged();
    changed();
}

void Control::move(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = std::max(0.0, width);
    height_ = std::max(0.0, height);
    sizeChanged();
    changed();
}

void Control::setVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    changed();
}

void Control::setEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    changed();
}

void Control::setToolTipText(std::string v) {
    if (v == toolTip_) return;
    toolTip_ = std::move(v);
    changed();
}

void Control::mouseDown(int button, int shift, float x, float y) {
    if (onMouseDown) onMouseDown(button, shift, x, y);
}

void Control::mouseUp(int button, int shift, float x, float y) {
    if (onMouseUp) onMouseUp(button, shift, x, y);
}

void Control::mouseMove(int buttons, int shift, float x, float y) {
    if (onMouseMove) onMouseMove(buttons, shift, x, y);
}

void Control::click() {
    if (onClick) onClick();
}

void Label::setCaption(std::string v) {
    if (v == caption_) return;
    caption_ = std::move(v);
    changed();
}

void Label::setBold(bool v) {
    bold_ = v;
    changed();
}

void Label::setTransparent(bool v) {
    transparent_ = v;
    changed();
}

void Label::setBackColour(Colour v) {
    back_ = v;
    changed();
}

void Label::setForeRole(std::string v) {
    foreRole_ = std::move(v);
    changed();
}

void Image::setPicture(std::string v) {
    if (v == picture_) return;
    picture_ = std::move(v);
    changed();
}

void Image::setStretch(bool v) {
    stretch_ = v;
    changed();
}

void Shape::setStyle(Style v) {
    style_ = v;
    changed();
}

void Shape::setFillColour(Colour v) {
    fill_ = v;
    changed();
}

void ComboBox::setStyle(Style v) {
    style_ = v;
    changed();
}

void ComboBox::addItem(std::string item) {
    items_.push_back(std::move(item));
    changed();
}

void ComboBox::clear() {
    items_.clear();
    listIndex_ = -1;
    if (style_ == Style::Editable) text_.clear();
    changed();
}

void ComboBox::setListIndex(int index) {
    if (index < 0 || index >= static_cast<int>(items_.size())) {
        listIndex_ = -1;
        if (style_ == Style::ListOnly) text_.clear();
    } else {
        listIndex_ = index;
        text_ = items_[static_cast<std::size_t>(index)];
    }
    changed();
}

void ComboBox::setText(std::string v) {
    if (style_ == Style::ListOnly) return;
    text_ = std::move(v);
    // Typing leaves the list; a text equal to an item does not select it.
    listIndex_ = -1;
    changed();
}

void CommandButton::setCaption(std::string v) {
    caption_ = std::move(v);
    changed();
}

void CheckBox::setCaption(std::string v) {
    caption_ = std::move(v);
    changed();
}

void CheckBox::setValue(int v) {
    value_ = v ? 1 : 0;
    changed();
}

void Toolbar::addButton(Button b) {
    buttons_.push_back(std::move(b));
    fitHeight();
    changed();
}

Toolbar::Button* Toolbar::button(int index1) {
    if (index1 < 1 || index1 > static_cast<int>(buttons_.size())) return nullptr;
    return &buttons_[static_cast<std::size_t>(index1 - 1)];
}

Toolbar::Button* Toolbar::buttonByKey(const std::string& key) {
    for (auto& b : buttons_) {
        if (b.key == key) return &b;
    }
    return nullptr;
}

void Toolbar::setButtonEnabled(const std::string& key, bool enabled) {
    // Set on every polling tick: only a change is drawn again.
    if (Button* b = buttonByKey(key); b && b->enabled != enabled) {
        b->enabled = enabled;
        changed();
    }
}

void Toolbar::setButtonSize(double width, double height) {
    buttonWidth_ = width;
    buttonHeight_ = height;
    fitHeight();
    changed();
}

int Toolbar::buttonsPerRow() const {
    if (buttonWidth_ <= 0) return 1;
    return std::max(1, static_cast<int>(std::floor(width() / buttonWidth_)));
}

int Toolbar::rows() const {
    const int n = static_cast<int>(buttons_.size());
    if (n == 0) return 1;
    const int per = buttonsPerRow();
    return (n + per - 1) / per;
}

void Toolbar::sizeChanged() {
    fitHeight();
}

// A wrapping toolbar is as high as its rows of buttons.
void Toolbar::fitHeight() {
    if (fitting_ || buttons_.empty()) return;
    fitting_ = true;
    const double h = rows() * buttonHeight_;
    if (height() != h) setHeight(h);
    fitting_ = false;
}

void Toolbar::clickButton(const std::string& key) {
    Button* b = buttonByKey(key);
    if (!b || !b->enabled || !enabled()) return;
    if (onButtonClick) onButtonClick(*b);
}

Timer::~Timer() {
    if (timers_ && running_) timers_->stopTimer(id_);
}

void Timer::attach(Timers& timers) {
    timers_ = &timers;
    restart();
}

void Timer::detach() {
    if (timers_ && running_) timers_->stopTimer(id_);
    running_ = false;
    timers_ = nullptr;
}

void Timer::setInterval(int ms) {
    interval_ = ms;
    restart();
    changed();
}

void Timer::setTimerEnabled(bool v) {
    timerEnabled_ = v;
    restart();
    changed();
}

void Timer::setIdle(bool idle) {
    idle_ = idle;
    if (timers_ && running_) timers_->setIdle(id_, idle);
}

// Setting the interval restarts the period, as a message timer does; 0 stops it.
void Timer::restart() {
    if (!timers_) return;
    if (running_) {
        timers_->stopTimer(id_);
        running_ = false;
    }
    if (timerEnabled_ && interval_ > 0) {
        id_ = timers_->startTimer(interval_, [this] {
            form().context().dispatch([this] {
                if (onTimer) onTimer();
            });
        });
        running_ = true;
        if (idle_) timers_->setIdle(id_, true);
    }
}

void WebBrowserHost::setBrowser(std::shared_ptr<EmbeddedBrowser> b) {
    browser_ = std::move(b);
    changed();
}

}  // namespace surfdeck::forms
