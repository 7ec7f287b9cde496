#pragma once
#include <string>

#include "browser/TrackingContext.h"
#include "forms/Form.h"
#include "mainwindow/ProgramWindows.h"
#include "ports/Automation.h"
#include "ports/Registry.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The whole program: its windows, loaded when first used and built afresh after an
// unload, the browser tracking state, start-up and shut-down.
class Program : public ProgramWindows {
  public:
    Program(AppContext& app, Automation& automation, Registry& registry);
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up: settings, browser integration entries, the main window placed and shown.
    void Main();
    // Reads the settings values and applies those that act on the main window (which
    // is loaded here).
    void LoadSettings();

    // The main window's close: every open panel is unloaded first (each saves what its
    // own close saves), then the main window, then the program ends.
    void closeMainWindow() override;
    // Ends the program at once.
    void End();
    // Where the display has gone and no window can be touched: every open panel, then the
    // main window, writes what its close would, from the model; the program then counts
    // as ended. Nothing happens once the program has ended.
    void saveWithoutWindows();
    // The system closed one of our windows: the same as its close button.
    void closeForm(forms::Form& form);
    bool ended() const override { return ended_; }

    // Another copy of the program (process firstCopyPid, 0 when not known) was running
    // when this one started: one log line, and the title band's tooltip says so.
    void noteSecondCopy(long firstCopyPid);

    AppContext& app;
    Automation& automation;
    Registry& registry;

  private:
    bool ended_ = false;
};

}  // namespace surfdeck
