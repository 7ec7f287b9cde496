#include <cctype>
#include <fstream>
#include <iterator>

#include "forms/Controls.h"
#include "forms/Form.h"
#include "scenario/ScenarioRunner.h"

namespace surfdeck {

namespace {

std::string joinPath(const std::string& folder, const std::string& file) {
    if (!file.empty() && file[0] == '/') return file;
    if (folder.empty()) return file;
    return folder + "/" + file;
}

}  // namespace

const ScenarioRunner::Command* ScenarioRunner::findCommand(const std::string& name) {
    using R = ScenarioRunner;
    static const Command kCommands[] = {
        {"screen", 2, "screen W H", false, &R::screenCommand},
        {"page", 2, "page URL FILE", false, &R::pageCommand},
        {"start", 0, "start", false, &R::startCommand},
        {"open", 1, "open URL", false, &R::openCommand},
        {"folder", 1, "folder PATH", false, &R::openCommand},
        {"front", 1, "front N | front FORM", false, &R::frontCommand},
        {"close", 1, "close N", false, &R::closeCommand},
        {"navigate", 2, "navigate N URL", false, &R::navigateCommand},
        {"link", 2, "link N URL", false, &R::linkCommand},
        {"userback", 1, "userback N", false, &R::historyCommand},
        {"userforward", 1, "userback N", false, &R::historyCommand},
        {"document", 2, "document N mousedown|mouseup|contextmenu", false, &R::documentCommand},
        {"pointer", 2, "pointer X Y", false, &R::pointerCommand},
        {"key", 2, "key NAME up|down", false, &R::keyCommand},
        {"wait", 1, "wait MS", false, &R::waitCommand},
        {"click", 1, "click FORM.CONTROL", true, &R::clickCommand},
        {"hover", 1, "click FORM.CONTROL", true, &R::clickCommand},
        {"down", 4, "down|up FORM.CONTROL BUTTON X Y", true, &R::buttonCommand},
        {"up", 4, "down|up FORM.CONTROL BUTTON X Y", true, &R::buttonCommand},
        {"move", 4, "move FORM.CONTROL BUTTONS X Y", true, &R::moveCommand},
        {"type", 2, "type FORM.CONTROL TEXT | select FORM.CONTROL INDEX", true, &R::typeCommand},
        {"select", 2, "type FORM.CONTROL TEXT | select FORM.CONTROL INDEX", true, &R::typeCommand},
        {"tick", 2, "tick FORM.CONTROL 0|1", true, &R::tickCommand},
        {"choose", 1, "choose CAPTION", false, &R::chooseCommand},
        {"dump", 0, "dump", false, &R::dumpCommand},
    };
    for (const Command& c : kCommands) {
        if (name == c.name) return &c;
    }
    return nullptr;
}

bool ScenarioRunner::execute(const std::vector<std::string>& w) {
    if (w.empty()) return true;
    const Command* command = findCommand(w[0]);
    if (!command) fail("unknown command " + w[0]);
    if (w.size() != command->words + 1) fail(std::string("usage: ") + command->usage);
    if (command->needsProgram && !program_) fail(w[0] + ": the program has not been started");
    (this->*command->run)(w);
    return true;
}

void ScenarioRunner::screenCommand(const std::vector<std::string>& w) {
    desktop_.setScreenSize(parseInt(w[1], "W"), parseInt(w[2], "H"));
}

void ScenarioRunner::pageCommand(const std::vector<std::string>& w) {
    std::ifstream in(joinPath(scriptFolder_, w[2]), std::ios::binary);
    if (!in) fail("page: cannot read " + w[2]);
    web_.setPage(w[1], std::string(std::istreambuf_iterator<char>(in), {}));
}

void ScenarioRunner::startCommand(const std::vector<std::string>&) {
    start();
}

void ScenarioRunner::openCommand(const std::vector<std::string>& w) {
    inProgram([&] {
        if (w[0] == "open")
            automation_.openWindow(w[1]);
        else
            automation_.openFolderWindow(w[1]);
    });
}

void ScenarioRunner::frontCommand(const std::vector<std::string>& w) {
    if (!w[1].empty() && (w[1][0] == '#' || std::isdigit(static_cast<unsigned char>(w[1][0])))) {
        const int n = windowNumber(w[1]);
        desktop_.userActivate(automation_.window(n)->handle());
        host_.syncActivation();
    } else {
        forms::Form& f = form(w[1]);
        inProgram([&] { host_.activate(f); });
    }
}

void ScenarioRunner::closeCommand(const std::vector<std::string>& w) {
    const int n = windowNumber(w[1]);
    inProgram([&] { automation_.closeWindow(n); });
}

void ScenarioRunner::navigateCommand(const std::vector<std::string>& w) {
    const int n = windowNumber(w[1]);
    inProgram([&] { automation_.userNavigate(n, w[2]); });
}

void ScenarioRunner::linkCommand(const std::vector<std::string>& w) {
    const int n = windowNumber(w[1]);
    inProgram([&] { automation_.clickLink(n, w[2]); });
}

void ScenarioRunner::historyCommand(const std::vector<std::string>& w) {
    const int n = windowNumber(w[1]);
    inProgram([&] {
        if (w[0] == "userback")
            automation_.userGoBack(n);
        else
            automation_.userGoForward(n);
    });
}

void ScenarioRunner::documentCommand(const std::vector<std::string>& w) {
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
}

void ScenarioRunner::pointerCommand(const std::vector<std::string>& w) {
    desktop_.setCursorPos({parseInt(w[1], "X"), parseInt(w[2], "Y")});
}

void ScenarioRunner::keyCommand(const std::vector<std::string>& w) {
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
}

void ScenarioRunner::waitCommand(const std::vector<std::string>& w) {
    const int ms = parseInt(w[1], "MS");
    if (ms < 0) fail("wait: MS must not be negative");
    wait(ms);
}

void ScenarioRunner::clickCommand(const std::vector<std::string>& w) {
    const bool hover = w[0] == "hover";
    std::string suffix;
    forms::Control& c = control(w[1], &suffix);
    if (c.kind() == forms::ControlKind::Toolbar) {
        auto& tb = static_cast<forms::Toolbar&>(c);
        if (hover) fail("hover: only links of a results page");
        if (!tb.buttonByKey(suffix)) fail(w[1] + ": no toolbar button with key " + suffix);
        inProgram([&] { tb.clickButton(suffix); });
    } else if (c.kind() == forms::ControlKind::WebBrowser) {
        auto sim = std::dynamic_pointer_cast<SimWebBrowser>(
            static_cast<forms::WebBrowserHost&>(c).browser());
        if (!sim) fail(w[1] + ": no page shown");
        if (suffix.empty()) fail(w[1] + ": name the link as " + w[1] + ":ADDRESS");
        if (hover)
            inProgram([&] { sim->hoverLink(suffix); });
        else
            inProgram([&] { sim->clickLink(suffix); });
    } else {
        if (hover || !suffix.empty()) fail(w[1] + ": not a toolbar or a results page");
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
}

void ScenarioRunner::buttonCommand(const std::vector<std::string>& w) {
    const bool down = w[0] == "down";
    forms::Control& c = control(w[1]);
    const int b = buttons(w[2], false);
    const float x = static_cast<float>(parseInt(w[3], "X"));
    const float y = static_cast<float>(parseInt(w[4], "Y"));
    const int vk = b == forms::LeftButton    ? VK_LBUTTON
                   : b == forms::RightButton ? VK_RBUTTON
                                             : VK_MBUTTON;
    desktop_.setKeyDown(vk, down);
    const int shift = shiftState();
    inProgram([&] {
        if (down)
            c.mouseDown(b, shift, x, y);
        else
            c.mouseUp(b, shift, x, y);
    });
}

void ScenarioRunner::moveCommand(const std::vector<std::string>& w) {
    forms::Control& c = control(w[1]);
    const int b = buttons(w[2], true);
    const float x = static_cast<float>(parseInt(w[3], "X"));
    const float y = static_cast<float>(parseInt(w[4], "Y"));
    const int shift = shiftState();
    inProgram([&] { c.mouseMove(b, shift, x, y); });
}

void ScenarioRunner::typeCommand(const std::vector<std::string>& w) {
    forms::Control& c = control(w[1]);
    if (c.kind() != forms::ControlKind::ComboBox) fail(w[1] + " is not a combo box");
    auto& combo = static_cast<forms::ComboBox&>(c);
    if (w[0] == "type") {
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
}

void ScenarioRunner::tickCommand(const std::vector<std::string>& w) {
    forms::Control& c = control(w[1]);
    if (c.kind() != forms::ControlKind::CheckBox) fail(w[1] + " is not a check box");
    if (w[2] != "0" && w[2] != "1") fail("tick: expected 0 or 1");
    auto& box = static_cast<forms::CheckBox&>(c);
    inProgram([&] {
        box.setValue(w[2] == "1" ? 1 : 0);
        box.click();
    });
}

void ScenarioRunner::chooseCommand(const std::vector<std::string>& w) {
    host_.chooseNext(w[1]);
}

void ScenarioRunner::dumpCommand(const std::vector<std::string>&) {
    dump(out_);
}

}  // namespace surfdeck
