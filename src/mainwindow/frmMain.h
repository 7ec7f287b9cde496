#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "browser/ActiveBrowser.h"
#include "forms/Controls.h"
#include "frame/RollUp.h"
#include "frame/SkinnedForm.h"
#include "mainwindow/ProgramWindows.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The main window: the skinned toolbar window, titled "Surfdeck", that fits itself
// around its toolbar and rolls up to its title band when the pointer leaves it. It owns
// the list of open browser windows, follows the one the user last had in front, and
// drives it from the toolbar. The list and the active window are kept by the
// active-browser service; the panels reach the two operations below through it.
class frmMain : public SkinnedForm, public MainWindowLink {
  public:
    frmMain(AppContext& app, ActiveBrowser& browser, ProgramWindows& windows);
    ~frmMain() override;

    // Twelve buttons, each with its command word as key and description.
    forms::Toolbar Toolbar1{*this, "Toolbar1"};
    // Drives the roll-up; its tag and period are the roll-up's state.
    forms::Timer Timer2{*this, "Timer2"};
    // Follows the browser window in front and the back and forward buttons, 10 per second.
    forms::Timer Timer10{*this, "Timer10"};
    static constexpr int PollInterval = 100;

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

    void Form_Load() override;
    void Form_Unload() override;
    void saveSettings() override;
    // One polling tick: the active browser window and the back and forward buttons.
    void Timer10_Timer();
    // Panels, menus and the browser commands; a failing step is skipped, nothing shown.
    void Toolbar1_ButtonClick(forms::Toolbar::Button& Button);
    // The title band's tooltip from the program's status: the browsers it is connected
    // to, and whether it is a second copy.
    void showStatus();
    // Lists the open browser windows in the menu host's Window menu.
    void FillWindowMenu();

    // Has the active browser window open address; nothing without one. A failure of
    // the call reaches the caller.
    void OpenInIE(const std::string& address) override;
    // The active browser window's address less "http://" and one final "/"; empty when
    // there is none or it cannot be read (logged).
    std::string GetActiveIEURL() override;

    RollUp& rollUp() { return rollUp_; }
    ActiveBrowser& browser() { return browser_; }

  private:
    ActiveBrowser& browser_;
    ProgramWindows& windows_;
    RollUp rollUp_;
};

}  // namespace surfdeck
