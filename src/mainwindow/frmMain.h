#pragma once
#include <cstdint>
#include <functional>

#include "forms/Controls.h"
#include "frame/RollUp.h"
#include "frame/SkinnedForm.h"
#include "shell/AppContext.h"

namespace surfdeck {

// The main window: the skinned toolbar window, titled "Surfdeck", that fits itself
// around its toolbar and rolls up to its title band when the pointer leaves it.
class frmMain : public SkinnedForm {
  public:
    explicit frmMain(AppContext& app);

    // Twelve buttons, each with its command word as key and description.
    forms::Toolbar Toolbar1{*this, "Toolbar1"};
    // Drives the roll-up; its tag and period are the roll-up's state.
    forms::Timer Timer2{*this, "Timer2"};

    // What the minimise button asks for; minimises the window unless the program
    // wires something else.
    std::function<void()> minimizeRequested;

    // Refits the window around its toolbar (in the normal state and above the rolled
    // height), then lays out the frame. Start-up and the layout menu call it after
    // changing the toolbar's width.
    void Form_Resize() override;
    // Restores the full height (unrolling a rolled-up window) and shows the title.
    void Form_Activate() override;
    void Image4_Click() override;
    void Timer2_Timer();

    RollUp& rollUp() { return rollUp_; }

    // The browser window last seen in front; 0 until one has been seen, never cleared.
    std::int32_t ActiveIEHwnd = 0;

  private:
    RollUp rollUp_;
};

}  // namespace surfdeck
