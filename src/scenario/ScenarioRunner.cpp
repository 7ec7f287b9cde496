#include "scenario/ScenarioRunner.h"

#include <fstream>
#include <iterator>
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

std::string joinPath(const std::string& folder, const std::string& file) {
    if (!file.empty() && file[0] == '/') return file;
    if (folder.empty()) return file;
    return folder + "/" + file;
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

bool ScenarioRunner::execute(const std::vector<std::string>& w) {
    if (w.empty()) return true;
    const std::string& cmd = w[0];
    auto need = [&](std::size_t n, const char* usage) {
        if (w.size() != n + 1) fail(std::string("usage: ") + usage);
    };
    auto requireStarted = [&] {
        if (!program_) fail(cmd + ": the program has not been started");
    };

    if (cmd == "screen") {
        need(2, "screen W H");
        desktop_.setScreenSize(parseInt(w[1], "W"), parseInt(w[2], "H"));
    } else if (cmd == "page") {
        need(2, "page URL FILE");
        std::ifstream in(joinPath(scriptFolder_, w[2]), std::ios::binary);
        if (!in) fail("page: cannot read " + w[2]);
        web_.setPage(w[1], std::string(std::istreambuf_iterator<char>(in), {}));
    } else if (cmd == "start") {
        need(0, "start");
        start();
    } else if (cmd == "open" || cmd == "folder") {
        need(1, cmd == "open" ? "open URL" : "folder PATH");
        inProgram([&] {
            if (cmd == "open")
                automation_.openWindow(w[1]);
            else
                automation_.openFolderWindow(w[1]);
        });
    } else if (cmd == "front") {
        need(1, "front N | front FORM");
        if (!w[1].empty() &&
            (w[1][0] == '#' || std::isdigit(static_cast<unsigned char>(w[1][0])))) {
            const int n = windowNumber(w[1]);
            desktop_.userActivate(automation_.window(n)->handle());
            host_.syncActivation();
        } else {
            forms::Form& f = form(w[1]);
            inProgram([&] { host_.activate(f); });
        }
    } else if (cmd == "close") {
        need(1, "close N");
        const int n = windowNumber(w[1]);
        inProgram([&] { automation_.closeWindow(n); });
    } else if (cmd == "navigate") {
        need(2, "navigate N URL");
        const int n = windowNumber(w[1]);
        inProgram([&] { automation_.userNavigate(n, w[2]); });
    } else if (cmd == "link") {
        need(2, "link N URL");
        const int n = windowNumber(w[1]);
        inProgram([&] { automation_.clickLink(n, w[2]); });
    } else if (cmd == "userback" || cmd == "userforward") {
        need(1, "userback N");
        const int n = windowNumber(w[1]);
        inProgram([&] {
            if (cmd == "userback")
                automation_.userGoBack(n);
            else
                automation_.userGoForward(n);
        });
    } else if (cmd == "document") {
        need(2, "document N mousedown|mouseup|contextmenu");
        const int n = windowNumber(w[1]);
        if (w[2] != "mousedown" && w[2] != "mouseup" && w[2] != "contextmenu")
            fail("document: unknown event " + w[2]);
        inProgram([&] {
            if (w[2] == "mousedown")
                automation_.mouseDown(n);
            else if (w[2] == "mouseup")
                automation_.mouseUp(n);
            else
                automation_.contextMenu(n);
        });
    } else if (cmd == "pointer") {
        need(2, "pointer X Y");
        desktop_.setCursorPos({parseInt(w[1], "X"), parseInt(w[2], "Y")});
    } else if (cmd == "key") {
        need(2, "key NAME up|down");
        static const std::pair<const char*, int> keys[] = {
            {"shift", VK_SHIFT},  {"ctrl", VK_CONTROL},  {"alt", VK_MENU},
            {"left", VK_LBUTTON}, {"right", VK_RBUTTON}, {"middle", VK_MBUTTON}};
        int vk = 0;
        for (const auto& [name, code] : keys) {
            if (w[1] == name) vk = code;
        }
        if (vk == 0) fail("key: unknown key " + w[1]);
        if (w[2] != "up" && w[2] != "down") fail("key: expected up or down, got " + w[2]);
        desktop_.setKeyDown(vk, w[2] == "down");
    } else if (cmd == "wait") {
        need(1, "wait MS");
        const int ms = parseInt(w[1], "MS");
        if (ms < 0) fail("wait: MS must not be negative");
        wait(ms);
    } else if (cmd == "click" || cmd == "hover") {
        need(1, "click FORM.CONTROL");
        requireStarted();
        std::string suffix;
        forms::Control& c = control(w[1], &suffix);
        if (c.kind() == forms::ControlKind::Toolbar) {
            auto& tb = static_cast<forms::Toolbar&>(c);
            if (cmd == "hover") fail("hover: only links of a results page");
            if (!tb.buttonByKey(suffix)) fail(w[1] + ": no toolbar button with key " + suffix);
            inProgram([&] { tb.clickButton(suffix); });
        } else if (c.kind() == forms::ControlKind::WebBrowser) {
            auto sim = std::dynamic_pointer_cast<SimWebBrowser>(
                static_cast<forms::WebBrowserHost&>(c).browser());
            if (!sim) fail(w[1] + ": no page shown");
            if (suffix.empty()) fail(w[1] + ": name the link as " + w[1] + ":ADDRESS");
            if (cmd == "hover")
                inProgram([&] { sim->hoverLink(suffix); });
            else
                inProgram([&] { sim->clickLink(suffix); });
        } else {
            if (cmd == "hover" || !suffix.empty()) fail(w[1] + ": not a toolbar or a results page");
            if (c.kind() == forms::ControlKind::CheckBox) {
                auto& box = static_cast<forms::CheckBox&>(c);
                inProgram([&] {
                    box.setValue(box.value() ? 0 : 1);
                    box.click();
                });
            } else {
                // A click is a press and a release of the left button, then the click.
                const int shift = shiftState();
                inProgram([&] { c.mouseDown(forms::LeftButton, shift, 0, 0); });
                inProgram([&] { c.mouseUp(forms::LeftButton, shift, 0, 0); });
                inProgram([&] { c.click(); });
            }
        }
    } else if (cmd == "down" || cmd == "up") {
        need(4, "down|up FORM.CONTROL BUTTON X Y");
        requireStarted();
        forms::Control& c = control(w[1]);
        const int b = buttons(w[2], false);
        const float x = static_cast<float>(parseInt(w[3], "X"));
        const float y = static_cast<float>(parseInt(w[4], "Y"));
        const int vk = b == forms::LeftButton    ? VK_LBUTTON
                       : b == forms::RightButton ? VK_RBUTTON
                                                 : VK_MBUTTON;
        desktop_.setKeyDown(vk, cmd == "down");
        const int shift = shiftState();
        inProgram([&] {
            if (cmd == "down")
                c.mouseDown(b, shift, x, y);
            else
                c.mouseUp(b, shift, x, y);
        });
    } else if (cmd == "move") {
        need(4, "move FORM.CONTROL BUTTONS X Y");
        requireStarted();
        forms::Control& c = control(w[1]);
        const int b = buttons(w[2], true);
        const float x = static_cast<float>(parseInt(w[3], "X"));
        const float y = static_cast<float>(parseInt(w[4], "Y"));
        const int shift = shiftState();
        inProgram([&] { c.mouseMove(b, shift, x, y); });
    } else if (cmd == "type" || cmd == "select") {
        need(2, "type FORM.CONTROL TEXT | select FORM.CONTROL INDEX");
        requireStarted();
        forms::Control& c = control(w[1]);
        if (c.kind() != forms::ControlKind::ComboBox) fail(w[1] + " is not a combo box");
        auto& combo = static_cast<forms::ComboBox&>(c);
        if (cmd == "type") {
            if (combo.style() == forms::ComboBox::Style::ListOnly)
                fail(w[1] + " is a list-only box: use select");
            inProgram([&] {
                combo.setText(w[2]);
                if (combo.onChange) combo.onChange();
            });
        } else {
            const int index = parseInt(w[2], "INDEX");
            if (index < 0 || index >= static_cast<int>(combo.items().size()))
                fail(w[1] + " has no item " + w[2]);
            inProgram([&] {
                combo.setListIndex(index);
                if (combo.onChange) combo.onChange();
            });
        }
    } else if (cmd == "tick") {
        need(2, "tick FORM.CONTROL 0|1");
        requireStarted();
        forms::Control& c = control(w[1]);
        if (c.kind() != forms::ControlKind::CheckBox) fail(w[1] + " is not a check box");
        if (w[2] != "0" && w[2] != "1") fail("tick: expected 0 or 1");
        auto& box = static_cast<forms::CheckBox&>(c);
        inProgram([&] {
            box.setValue(w[2] == "1" ? 1 : 0);
            box.click();
        });
    } else if (cmd == "choose") {
        need(1, "choose CAPTION");
        host_.chooseNext(w[1]);
    } else if (cmd == "dump") {
        need(0, "dump");
        dump(out_);
    } else {
        fail("unknown command " + cmd);
    }
    return true;
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
