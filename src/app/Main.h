#pragma once
#include <string>

#include "browser/TrackingContext.h"
#include "forms/Form.h"
#include "ports/Automation.h"
#include "ports/Registry.h"
#include "settings/AppContext.h"
#include "app/StatusBoard.h"

namespace surfdeck {

class frmMain;
class frmBrowser;
class frmWeb;
class frmNews;
class frmImage;
class frmMenu;

// The whole program: its windows, loaded when first used and built afresh after an
// unload, the browser tracking state, start-up and shut-down.
class Program {
  public:
    Program(AppContext& app, Automation& automation, Registry& registry);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Start-up: settings, browser integration entries, the main window placed and shown.
    void Main();
    // Reads the settings values and applies those that act on the main window (which
    // is loaded here).
    void LoadSettings();

    // The main window's close: every open panel is unloaded first (each saves what its
    // own close saves), then the main window, then the program ends.
    void closeMainWindow();
    // Ends the program at once.
    void End();
    // Where the display has gone and no window can be touched: every open panel, then the
    // main window, writes what its close would, from the model; the program then counts
    // as ended. Nothing happens once the program has ended.
    void saveWithoutWindows();
    // The system closed one of our windows: the same as its close button.
    void closeForm(forms::Form& form);
    bool ended() const { return ended_; }

    // One line to the program folder's log.txt.
    void log(const std::string& message) const;
    // Another copy of the program (process firstCopyPid, 0 when not known) was running
    // when this one started: one log line, and the title band's tooltip says so.
    void noteSecondCopy(long firstCopyPid);

    AppContext& app;
    Automation& automation;
    Registry& registry;
    TrackingContext tracking;
    // Browser connections and second-copy state, for the title band and notifications.
    StatusBoard status;

    forms::FormSlot<surfdeck::frmMain> main;
    forms::FormSlot<surfdeck::frmBrowser> related;
    forms::FormSlot<surfdeck::frmWeb> web;
    forms::FormSlot<surfdeck::frmNews> news;
    forms::FormSlot<surfdeck::frmImage> image;
    forms::FormSlot<surfdeck::frmMenu> menu;

  private:
    bool ended_ = false;
};

}  // namespace surfdeck
