#include "forms/Form.h"

#include <exception>

#include "ports/Automation.h"

namespace surfdeck::forms {

void FormContext::dispatch(const std::function<void()>& handler) {
    ++depth_;
    try {
        handler();
    } catch (const AutomationError& e) {
        if (errorSink_) errorSink_("Error " + std::to_string(e.number()) + " " + e.description());
    } catch (const std::exception& e) {
        if (errorSink_) errorSink_(std::string("Error ") + e.what());
    } catch (...) {
        if (errorSink_) errorSink_("Error in an event handler");
    }
    --depth_;
    if (depth_ == 0) retired_.clear();
}

void FormContext::retire(std::unique_ptr<Form> form) {
    if (depth_ == 0) return;  // no handler of it is running: release at once
    retired_.push_back(std::move(form));
}

void FormContext::activated(Form& form) {
    if (active_ == &form) return;
    active_ = &form;
    form.Form_Activate();
}

void FormContext::deactivated(Form& form) {
    if (active_ == &form) active_ = nullptr;
}

void FormContext::forget(Form& form) {
    if (active_ == &form) active_ = nullptr;
}

Form::Form(FormContext& context, std::string name) : context_(context), name_(std::move(name)) {}

Form::~Form() = default;

Control* Form::control(const std::string& name) const {
    for (Control* c : controls_) {
        if (c->name() == name) return c;
    }
    return nullptr;
}

void Form::designSize(double left, double top, double width, double height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
}

void Form::notify() {
    if (loaded_) context_.host().formChanged(*this);
}

void Form::controlChanged(Control& c) {
    if (loaded_) context_.host().controlChanged(*this, c);
}

void Form::setLeft(double v) {
    if (v == left_) return;
    left_ = v;
    notify();
}

void Form::setTop(double v) {
    if (v == top_) return;
    top_ = v;
    notify();
}

void Form::move(double left, double top) {
    left_ = left;
    top_ = top;
    notify();
}

void Form::setWidth(double v) {
    if (v < 0) v = 0;
    if (v == width_) return;
    width_ = v;
    notify();
    resized();
}

void Form::setHeight(double v) {
    if (v < 0) v = 0;
    if (v == height_) return;
    height_ = v;
    notify();
    resized();
}

void Form::resized() {
    if (loaded_) Form_Resize();
}

void Form::setCaption(std::string v) {
    if (v == caption_) return;
    caption_ = std::move(v);
    notify();
}

void Form::setWindowState(WindowState v) {
    if (v == state_) return;
    state_ = v;
    notify();
    resized();
}

void Form::load() {
    if (loaded_) return;
    hwnd_ = context_.host().createWindow(*this);
    loaded_ = true;
    for (Control* c : controls_) {
        if (c->kind() == ControlKind::Timer) static_cast<Timer*>(c)->attach(context_.timers());
    }
    Form_Load();
}

void Form::show() {
    if (!loaded_) load();
    if (!shownOnce_) {
        shownOnce_ = true;
        Form_Resize();
    }
    visible_ = true;
    notify();
    context_.host().showWindow(*this);
}

void Form::hide() {
    visible_ = false;
    notify();
}

void Form::popupMenu(MenuItem& menu) {
    context_.host().popupMenu(*this, menu);
}

void Form::activate() {
    context_.activated(*this);
}

void Form::deactivate() {
    context_.deactivated(*this);
}

void Form::unloaded() {
    for (Control* c : controls_) {
        if (c->kind() == ControlKind::Timer) static_cast<Timer*>(c)->detach();
    }
    context_.forget(*this);
    context_.host().destroyWindow(*this);
    loaded_ = false;
    visible_ = false;
}

}  // namespace surfdeck::forms
