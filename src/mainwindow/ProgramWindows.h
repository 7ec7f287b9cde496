#pragma once
#include <functional>
#include <memory>

#include "browser/ActiveBrowser.h"
#include "browser/StatusBoard.h"
#include "browser/TrackingContext.h"
#include "forms/Form.h"

namespace surfdeck {

class frmMain;
class frmBrowser;
class frmWeb;
class frmNews;
class frmImage;
class frmMenu;

// The program's windows as the main window and its menus reach them, each loaded when
// first used and built afresh after an unload, and the program's end. The program holds
// them; the windows see only this.
class ProgramWindows {
  public:
    template <class F>
    using Make = std::function<std::unique_ptr<F>()>;

    ProgramWindows(AppContext& app, Automation& automation, Make<frmMain> makeMain,
                   Make<frmBrowser> makeRelated, Make<frmWeb> makeWeb, Make<frmNews> makeNews,
                   Make<frmImage> makeImage, Make<frmMenu> makeMenu);
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // The main window's close: every open panel is unloaded first, then the main
    // window, then the program ends.
    virtual void closeMainWindow() = 0;
    virtual bool ended() const = 0;

    // Declared before the windows, which use them, so that they outlive them.
    TrackingContext tracking;
    ActiveBrowser browser;

    forms::FormSlot<surfdeck::frmMain> main;
    forms::FormSlot<surfdeck::frmBrowser> related;
    forms::FormSlot<surfdeck::frmWeb> web;
    forms::FormSlot<surfdeck::frmNews> news;
    forms::FormSlot<surfdeck::frmImage> image;
    forms::FormSlot<surfdeck::frmMenu> menu;
    // Browser connections and second-copy state, for the title band and notifications.
    StatusBoard status;

  protected:
    virtual ~ProgramWindows();
};

}  // namespace surfdeck
