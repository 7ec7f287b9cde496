#include "platform/sim/SimFormHost.h"

#include <algorithm>
#include <cmath>

namespace surfdeck {

Hwnd SimFormHost::createWindow(forms::Form& form) {
    Hwnd h = desktop_.createWindow(SimDesktop::WindowKind::Ours, form.caption());
    desktop_.setVisible(h, false);
    forms_.push_back(&form);
    return h;
}

void SimFormHost::destroyWindow(forms::Form& form) {
    desktop_.destroyWindow(form.hWnd());
    forms_.erase(std::remove(forms_.begin(), forms_.end(), &form), forms_.end());
}

void SimFormHost::syncActivation() {
    const Hwnd front = desktop_.foregroundWindow();
    for (forms::Form* f : std::vector<forms::Form*>(forms_)) {
        if (f->context().activeForm() == f && f->hWnd() != front) f->deactivate();
    }
}

// Pixels only for the desktop's own bookkeeping: the model keeps its twips.
void SimFormHost::place(forms::Form& form) {
    const double tx = desktop_.twipsPerPixelX();
    const double ty = desktop_.twipsPerPixelY();
    desktop_.setWindowRect(form.hWnd(), static_cast<int>(std::lround(form.left() / tx)),
                           static_cast<int>(std::lround(form.top() / ty)),
                           static_cast<int>(std::lround(form.width() / tx)),
                           static_cast<int>(std::lround(form.height() / ty)));
}

void SimFormHost::formChanged(forms::Form& form) {
    if (!desktop_.exists(form.hWnd())) return;
    place(form);
    desktop_.setVisible(form.hWnd(), form.visible());
    desktop_.setTitle(form.hWnd(), form.caption());
}

void SimFormHost::showWindow(forms::Form& form) {
    formChanged(form);
    desktop_.setForegroundWindow(form.hWnd());
    form.activate();
}

void SimFormHost::activate(forms::Form& form) {
    desktop_.setForegroundWindow(form.hWnd());
    form.activate();
}

void SimFormHost::popupMenu(forms::Form&, forms::MenuItem& menu) {
    ++popups_;
    lastMenuName_ = menu.name();
    lastMenu_.clear();
    forms::MenuItem* chosen = nullptr;
    for (const auto& c : menu.children()) {
        if (!c->visible()) continue;
        lastMenu_.push_back({c->name(), c->index(), c->caption(), c->checked(), c->tag()});
        if (!chosen && nextChoice_ && !c->isSeparator() && c->enabled() &&
            c->caption() == *nextChoice_) {
            chosen = c.get();
        }
    }
    missed_ = (nextChoice_ && !chosen) ? *nextChoice_ : std::string();
    nextChoice_.reset();
    if (chosen) chosen->choose();
}

}  // namespace surfdeck
