#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "forms/Controls.h"
#include "forms/Menu.h"
#include "ports/Timers.h"
#include "ports/Types.h"

namespace surfdeck::forms {

enum class WindowState { Normal, Minimized, Maximized };

class Form;

// A backend that shows forms: a real window per form, or a simulated one. The model
// keeps every position in twips; a backend converts to draw and never writes back.
class FormHost {
  public:
    virtual ~FormHost() = default;
    // The form is loaded: make its window (hidden) and return its handle.
    virtual Hwnd createWindow(Form& form) = 0;
    // The form is unloaded: its window goes.
    virtual void destroyWindow(Form& form) = 0;
    // Position, size, state, visibility or caption changed.
    virtual void formChanged(Form& form) = 0;
    virtual void controlChanged(Form& form, Control& control) = 0;
    // Show (or bring forward) the form's window and activate it.
    virtual void showWindow(Form& form) = 0;
    // Pops up the menu at the pointer and returns once it has closed; the chosen
    // entry's handler has run by then.
    virtual void popupMenu(Form& form, MenuItem& menu) = 0;
};

// Receives what escapes a handler: the dispatcher writes it to the log.
using ErrorSink = std::function<void(const std::string& message)>;

// What every form shares: its backend, the timers, and the dispatcher that runs every
// handler and releases unloaded forms only once no handler is running any more.
class FormContext {
  public:
    FormContext(FormHost& host, Timers& timers) : host_(host), timers_(timers) {}
    FormHost& host() { return host_; }
    Timers& timers() { return timers_; }
    void setErrorSink(ErrorSink sink) { errorSink_ = std::move(sink); }

    // Runs one handler from the outside world (input, a timer tick, a browser event).
    // Nothing throws across it: an escaping error becomes one log line.
    void dispatch(const std::function<void()>& handler);
    // An unloaded form's object, kept until no handler is running.
    void retire(std::unique_ptr<Form> form);

    // The active form (the one last activated among ours); nullptr when none.
    Form* activeForm() const { return active_; }
    // From the backend: this form's window became the active window (from another of
    // ours or from another program), or stopped being it.
    void activated(Form& form);
    void deactivated(Form& form);
    void forget(Form& form);

  private:
    FormHost& host_;
    Timers& timers_;
    ErrorSink errorSink_;
    int depth_ = 0;
    std::vector<std::unique_ptr<Form>> retired_;
    Form* active_ = nullptr;
};

// A window of the program: position and size in twips, a caption, a state, controls
// named as designed, and the life cycle load / show / hide / unload.
class Form {
  public:
    Form(FormContext& context, std::string name);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    FormContext& context() const { return context_; }
    const std::string& name() const { return name_; }

    double left() const { return left_; }
    double top() const { return top_; }
    double width() const { return width_; }
    double height() const { return height_; }
    void setLeft(double v);
    void setTop(double v);
    // A size change runs Form_Resize before the setter returns.
    void setWidth(double v);
    void setHeight(double v);
    void move(double left, double top);

    const std::string& caption() const { return caption_; }
    void setCaption(std::string v);
    WindowState windowState() const { return state_; }
    void setWindowState(WindowState v);
    bool visible() const { return visible_; }
    // Frameless skinned window; panels are tool windows that stay out of the task bar.
    bool toolWindow() const { return toolWindow_; }
    Hwnd hWnd() const { return hwnd_; }
    bool loaded() const { return loaded_; }

    const std::vector<Control*>& controls() const { return controls_; }
    Control* control(const std::string& name) const;
    // The form's menu tree (root entries are the pop-up menus), empty by default.
    MenuItem& menuRoot() { return menuRoot_; }

    // Life cycle, driven by FormSlot: load makes the window and runs Form_Load.
    void load();
    void show();
    void hide();
    // Pops up one of this form's menus at the pointer; returns after the choice ran.
    void popupMenu(MenuItem& menu);

    // Handlers a form overrides.
    virtual void Form_Load() {}
    virtual void Form_Unload() {}
    virtual void Form_Resize() {}
    virtual void Form_Activate() {}

    // Called by the backend when the window becomes, or stops being, the active window.
    void activate();
    void deactivate();
    // After Form_Unload: timers stop, the window goes; the object is released later.
    void unloaded();

  protected:
    void setToolWindow(bool v) { toolWindow_ = v; }
    // Design-time size, without running Form_Resize (the constructor's state).
    void designSize(double left, double top, double width, double height);
    // Controls register themselves; derived forms keep them as members.
    template <class C>
    C& add(C& c) {
        controls_.push_back(&c);
        return c;
    }

  private:
    friend class Control;
    void controlChanged(Control& c);
    void notify();
    void resized();

    FormContext& context_;
    std::string name_;
    double left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string caption_;
    WindowState state_ = WindowState::Normal;
    bool visible_ = false;
    bool toolWindow_ = false;
    bool loaded_ = false;
    bool shownOnce_ = false;
    Hwnd hwnd_ = 0;
    std::vector<Control*> controls_;
    MenuItem menuRoot_{"", ""};
};

// Holds one form the way the program refers to it by name: loaded when first used,
// destroyed by unload, and built afresh from its design state by the next use.
template <class F>
class FormSlot {
  public:
    explicit FormSlot(std::function<std::unique_ptr<F>()> make) : make_(std::move(make)) {}

    F* get() const { return form_.get(); }
    bool loaded() const { return form_ != nullptr; }
    // Loads the form when it is not loaded (its Form_Load runs), and returns it.
    F& load() {
        if (!form_) {
            form_ = make_();
            form_->load();
        }
        return *form_;
    }
    // Loads when needed, then shows and activates the form, bringing it forward.
    F& show() {
        F& f = load();
        f.show();
        return f;
    }
    // Runs Form_Unload, closes the window and destroys the form (once no handler runs).
    void unload() {
        if (!form_) return;
        std::unique_ptr<F> f = std::move(form_);
        f->Form_Unload();
        f->unloaded();
        auto& context = f->context();
        context.retire(std::move(f));
    }

  private:
    std::function<std::unique_ptr<F>()> make_;
    std::unique_ptr<F> form_;
};

}  // namespace surfdeck::forms
