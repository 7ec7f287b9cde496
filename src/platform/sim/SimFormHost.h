#pragma once
#include <optional>
#include <string>
#include <vector>

#include "forms/Form.h"
#include "platform/sim/SimDesktop.h"

namespace surfdeck {

// Shows forms on the simulated desktop: each loaded form is a window there, placed at
// its twips converted to pixels. Nothing is drawn; tests read the model.
class SimFormHost : public forms::FormHost {
  public:
    // A snapshot of the last pop-up menu: its entries as they stood when it popped up.
    struct MenuEntry {
        std::string name;
        int index = -1;
        std::string caption;
        bool checked = false;
        std::string tag;
    };

    explicit SimFormHost(SimDesktop& desktop) : desktop_(desktop) {}

    // The next pop-up menu picks the entry with this caption; without it the menu
    // closes with no choice.
    void chooseNext(std::string caption) { nextChoice_ = std::move(caption); }
    const std::vector<MenuEntry>& lastMenu() const { return lastMenu_; }
    const std::string& lastMenuName() const { return lastMenuName_; }
    int popupCount() const { return popups_; }
    // The caption the last pop-up was asked to pick and did not find ("" when found).
    const std::string& missedChoice() const { return missed_; }

    // The user activates one of our forms (a click on it).
    void activate(forms::Form& form);
    // After the foreground window changed: the form that lost it is deactivated, so
    // coming back to it activates it again.
    void syncActivation();

    Hwnd createWindow(forms::Form& form) override;
    void destroyWindow(forms::Form& form) override;
    void formChanged(forms::Form& form) override;
    void controlChanged(forms::Form&, forms::Control&) override {}
    void showWindow(forms::Form& form) override;
    void popupMenu(forms::Form& form, forms::MenuItem& menu) override;

  private:
    void place(forms::Form& form);

    SimDesktop& desktop_;
    std::vector<forms::Form*> forms_;
    std::optional<std::string> nextChoice_;
    std::vector<MenuEntry> lastMenu_;
    std::string lastMenuName_;
    std::string missed_;
    int popups_ = 0;
};

}  // namespace surfdeck
