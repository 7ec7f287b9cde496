#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "browser/IE_Class.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The browser window of a list entry; an entry without one fails like an unset object.
BrowserWindow& browserOf(const IE_Class& ie);

// The main window's two operations that the panels call. The main window offers them
// while it is loaded.
class MainWindowLink {
  public:
    virtual void OpenInIE(const std::string& address) = 0;
    virtual std::string GetActiveIEURL() = 0;

  protected:
    ~MainWindowLink() = default;
};

// The browser window the user last had in front (the active browser window), the list
// of open browser windows it is found in, and the ways to reach it.
class ActiveBrowser {
  public:
    ActiveBrowser(AppContext& app, TrackingContext& tracking) : app_(app), tracking_(tracking) {}
    ActiveBrowser(const ActiveBrowser&) = delete;
    ActiveBrowser& operator=(const ActiveBrowser&) = delete;

    // Every open browser window, while the main window is loaded (the window list is
    // made by its load and ends with its unload).
    std::unique_ptr<cIEWindows> IEWin;
    // The browser window last seen in front; 0 until one has been seen, never cleared.
    std::int32_t ActiveIEHwnd = 0;

    // Makes the window list; a failure of the shell's list reaches the caller.
    void openWindowList();
    void closeWindowList() { IEWin.reset(); }

    // One polling step: the window in front becomes the active one when it is listed.
    // Returns the active window's wrapper (none when there is none). Failures reach the
    // caller.
    std::shared_ptr<IE_Class> followFront();
    // The first entry whose window handle equals ActiveIEHwnd. A handle that cannot be
    // read throws, unless skipUnreadable, which passes over that entry.
    std::shared_ptr<IE_Class> activeIE(bool skipUnreadable = false) const;

    // Has the active browser window open address; nothing without one. A failure of
    // the call reaches the caller.
    void navigate(const std::string& address);
    // The active browser window's address less "http://" (in any case) and one final
    // "/"; empty when there is none or it cannot be read (logged).
    std::string activeAddress();

    // The main window registers while loaded.
    void setMainWindow(MainWindowLink* main) { main_ = main; }
    MainWindowLink* mainWindow() const { return main_; }

    // The panels' way to open an address: through the main window's OpenInIE. Nothing
    // without a main window; a failure is one log line, "OpenInIE error " and the error.
    void openFromPanel(const std::string& address);
    // The main window's GetActiveIEURL; empty without a main window.
    std::string activeAddressFromPanel();

    TrackingContext& tracking() { return tracking_; }

  private:
    AppContext& app_;
    TrackingContext& tracking_;
    MainWindowLink* main_ = nullptr;
};

}  // namespace surfdeck
