#include "scenario/ScenarioRunner.h"

#include <ostream>
#include <sstream>

#include "app/Main.h"
#include "forms/Form.h"
#include "mainwindow/frmMain.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"
#include "settings/AppContext.h"
#include "settings/Settings.h"

namespace surfdeck {

namespace {

const char* stateName(forms::WindowState s) {
    switch (s) {
        case forms::WindowState::Minimized:
            return "minimized";
        case forms::WindowState::Maximized:
            return "maximized";
        default:
            return "normal";
    }
}

std::string number(double v) {
    return FormatNumber(v);
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::string programFolder, std::string scriptFolder,
                               std::ostream& out, std::ostream& err)
    : folder_(std::move(programFolder)),
      scriptFolder_(std::move(scriptFolder)),
      out_(out),
      err_(err),
      registry_(programFile(folder_, "registry.reg")) {
    // Every window the program asks to bring forward is a request worth showing.
    desktop_.setForegroundObserver([this](Hwnd h) {
        for (int n : automation_.openWindowNumbers()) {
            if (automation_.window(n)->handle() == h) automation_.logRequest(n, "front", "");
        }
    });
}

ScenarioRunner::~ScenarioRunner() {
    // The program goes without closing: nothing is saved that the script did not close.
    program_.reset();
}

void ScenarioRunner::fail(const std::string& message) {
    throw Failure{message};
}

bool ScenarioRunner::programEnded() const {
    return program_ && program_->ended();
}

void ScenarioRunner::start() {
    if (started_) fail("start: the program is already running");
    started_ = true;
    app_ = std::make_unique<AppContext>(folder_, desktop_, timers_, loop_, clock_, host_);
    program_ = std::make_unique<Program>(*app_, automation_, registry_);
    inProgram([this] { program_->Main(); });
}

// Runs an action as the message loop would: errors that escape become log lines, and
// forms unloaded inside it are released afterwards.
void ScenarioRunner::inProgram(const std::function<void()>& action) {
    if (app_) {
        app_->forms.dispatch(action);
    } else {
        action();
    }
    pump();
    host_.syncActivation();
}

// Delivers what is pending (page loads of the embedded browsers and the like).
void ScenarioRunner::pump() {
    for (int i = 0; i < 100 && loop_.hasPending() && !programEnded(); ++i) loop_.doEvents();
}

void ScenarioRunner::wait(long long ms) {
    // Time passes in small steps, so that pending events run between timer ticks.
    const long long step = 10;
    while (ms > 0 && !programEnded()) {
        const long long slice = ms < step ? ms : step;
        timers_.advance(slice);
        ms -= slice;
        pump();
    }
}

forms::Form& ScenarioRunner::form(const std::string& name) {
    if (!program_) fail("the program has not been started");
    forms::Form* f = nullptr;
    if (name == "frmMain")
        f = program_->main.get();
    else if (name == "frmBrowser")
        f = program_->related.get();
    else if (name == "frmWeb")
        f = program_->web.get();
    else if (name == "frmNews")
        f = program_->news.get();
    else if (name == "frmImage")
        f = program_->image.get();
    else
        fail("no form named " + name);
    if (!f) fail("form " + name + " is not loaded");
    return *f;
}

// FORM.CONTROL, optionally followed by ":suffix" (a toolbar key, a link address).
forms::Control& ScenarioRunner::control(const std::string& target, std::string* suffix) {
    const auto dot = target.find('.');
    if (dot == std::string::npos) fail("expected FORM.CONTROL, got " + target);
    std::string rest = target.substr(dot + 1);
    std::string tail;
    const auto colon = rest.find(':');
    if (colon != std::string::npos) {
        tail = rest.substr(colon + 1);
        rest = rest.substr(0, colon);
    }
    if (suffix) {
        *suffix = tail;
    } else if (colon != std::string::npos) {
        fail("unexpected \":\" in " + target);
    }
    forms::Form& f = form(target.substr(0, dot));
    forms::Control* c = f.control(rest);
    if (!c) fail("form " + f.name() + " has no control named " + rest);
    return *c;
}

int ScenarioRunner::parseInt(const std::string& word, const std::string& what) {
    try {
        std::size_t used = 0;
        long long v = std::stoll(word, &used);
        if (used != word.size()) throw std::invalid_argument(word);
        return static_cast<int>(v);
    } catch (const std::exception&) {
        fail(what + " must be a whole number, got " + word);
    }
}

int ScenarioRunner::windowNumber(const std::string& word) {
    std::string w = word;
    if (!w.empty() && w[0] == '#') w = w.substr(1);
    int n = parseInt(w, "a browser window number");
    auto win = automation_.window(n);
    if (!win || !win->isOpen()) fail("browser window #" + std::to_string(n) + " is not open");
    return n;
}

int ScenarioRunner::buttons(const std::string& word, bool allowNone) {
    if (word == "none" && allowNone) return forms::NoButton;
    int mask = 0;
    std::stringstream ss(word);
    std::string part;
    while (std::getline(ss, part, '+')) {
        if (part == "left")
            mask |= forms::LeftButton;
        else if (part == "right")
            mask |= forms::RightButton;
        else if (part == "middle")
            mask |= forms::MiddleButton;
        else
            fail("unknown mouse button " + part);
    }
    if (!allowNone && (mask == 0 || (mask & (mask - 1)) != 0)) fail("expected one button: " + word);
    return mask;
}

int ScenarioRunner::shiftState() {
    int s = 0;
    if (desktop_.isKeyDown(VK_SHIFT)) s |= forms::ShiftKey;
    if (desktop_.isKeyDown(VK_CONTROL)) s |= forms::CtrlKey;
    if (desktop_.isKeyDown(VK_MENU)) s |= forms::AltKey;
    return s;
}

int ScenarioRunner::run(std::istream& script) {
    for (const ScriptLine& line : readScript(script)) {
        std::vector<std::string> words;
        try {
            words = splitScriptLine(line.words.front());
        } catch (const std::exception& e) {
            err_ << "line " << line.number << ": " << e.what() << "\n";
            return 1;
        }
        try {
            if (!execute(words)) {
                return 1;
            }
        } catch (const Failure& f) {
            err_ << "line " << line.number << ": " << f.message << "\n";
            return 1;
        }
        if (programEnded()) return 0;
    }
    return 0;
}

std::string ScenarioRunner::windowLabel(Hwnd handle) {
    if (handle == 0) return "none";
    for (int n = 1;; ++n) {
        auto win = automation_.window(n);
        if (!win) break;
        if (win->handle() == handle) return "#" + std::to_string(n);
    }
    return "none";
}

void ScenarioRunner::dumpForm(std::ostream& out, forms::Form& f) {
    std::string title;
    if (auto* label = dynamic_cast<forms::Label*>(f.control("Label1"))) title = label->caption();
    out << "form " << f.name() << " visible=" << (f.visible() ? 1 : 0)
        << " left=" << number(f.left()) << " top=" << number(f.top())
        << " width=" << number(f.width()) << " height=" << number(f.height())
        << " topmost=" << (desktop_.isTopMost(f.hWnd()) ? 1 : 0)
        << " state=" << stateName(f.windowState()) << " caption=" << dumpValue(f.caption())
        << " title=" << dumpValue(title) << "\n";
}

void ScenarioRunner::dump(std::ostream& out) {
    std::vector<forms::Form*> loaded;
    if (program_) {
        for (forms::Form* f : std::initializer_list<forms::Form*>{
                 program_->main.get(), program_->related.get(), program_->web.get(),
                 program_->news.get(), program_->image.get()}) {
            if (f) loaded.push_back(f);
        }
    }
    for (forms::Form* f : loaded) dumpForm(out, *f);
    for (forms::Form* f : loaded) {
        for (forms::Control* c : f->controls()) {
            if (c->kind() != forms::ControlKind::Toolbar) continue;
            for (const auto& b : static_cast<forms::Toolbar*>(c)->buttons()) {
                out << "button " << f->name() << "." << c->name() << ":" << b.key
                    << " enabled=" << (b.enabled ? 1 : 0) << "\n";
            }
        }
    }
    for (forms::Form* f : loaded) {
        for (forms::Control* c : f->controls()) {
            if (c->kind() == forms::ControlKind::ComboBox) {
                auto* combo = static_cast<forms::ComboBox*>(c);
                out << "combo " << f->name() << "." << c->name()
                    << " text=" << dumpValue(combo->text()) << " index=" << combo->listIndex()
                    << " items=" << combo->items().size();
                for (const auto& item : combo->items()) out << " item=" << dumpValue(item);
                out << "\n";
            } else if (c->kind() == forms::ControlKind::CheckBox) {
                out << "check " << f->name() << "." << c->name()
                    << " value=" << static_cast<forms::CheckBox*>(c)->value() << "\n";
            }
        }
    }
    for (forms::Form* f : loaded) {
        if (auto* status = dynamic_cast<forms::Label*>(f->control("lblStatus"))) {
            out << "status " << f->name() << ".lblStatus text=" << dumpValue(status->caption())
                << "\n";
        }
        if (auto* host = dynamic_cast<forms::WebBrowserHost*>(f->control("WebBrowser2"))) {
            auto sim = std::dynamic_pointer_cast<SimWebBrowser>(host->browser());
            out << "results " << f->name()
                << ".WebBrowser2 markup=" << dumpValue(sim ? sim->bodyHTML() : std::string())
                << "\n";
        }
    }
    if (host_.popupCount() > 0) {
        out << "menu " << host_.lastMenuName() << "\n";
        for (const auto& e : host_.lastMenu()) {
            out << "menuentry " << e.name;
            if (e.index >= 0) out << "(" << e.index << ")";
            out << " caption=" << dumpValue(e.caption) << " checked=" << (e.checked ? 1 : 0)
                << " tag=" << dumpValue(e.tag) << "\n";
        }
    }
    Hwnd active = 0;
    if (program_) active = program_->browser.ActiveIEHwnd;
    out << "active " << windowLabel(active) << "\n";
    for (int n : automation_.openWindowNumbers()) {
        auto win = automation_.window(n);
        out << "browser #" << n << " handle=" << win->handle()
            << " folder=" << (win->isFolder() ? 1 : 0) << " address=" << dumpValue(win->address())
            << " back=" << (win->backList().empty() ? 0 : 1)
            << " forward=" << (win->forwardList().empty() ? 0 : 1)
            << " fullscreen=" << (win->fullScreenOn() ? 1 : 0)
            << " toolbar=" << (win->toolBarValue() != 0 ? 1 : 0) << "\n";
    }
    for (const auto& r : automation_.requests()) {
        out << "request #" << r.window << " " << r.what;
        if (!r.value.empty()) out << " " << dumpValue(r.value);
        out << "\n";
    }
}

}  // namespace surfdeck
