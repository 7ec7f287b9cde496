#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimShellSinks.h"
#include "platform/sim/SimWebDocument.h"
#include "ports/Automation.h"

namespace surfdeck {

class SimAutomation;

// One simulated shell window: a web browser window or a file-folder window. It has a
// top-level window on the desktop, a history, the current page with its frames, and
// raises its events in the order a real browser does, inside the call that caused them.
// Once closed, every call on it fails as on a window that has gone.
class SimShellWindow : public BrowserWindow, public std::enable_shared_from_this<SimShellWindow> {
  public:
    SimShellWindow(SimAutomation& shell, int number, Hwnd handle, bool folder);

    // BrowserWindow
    Hwnd HWND() override;
    std::shared_ptr<HtmlDocument> Document() override;
    std::string LocationURL() override;
    void GoBack() override;
    void GoForward() override;
    void GoHome() override;
    void Stop() override;
    void Refresh2() override;
    void Navigate(const std::string& url) override;
    void ExecWB(std::int32_t command, std::int32_t option) override;
    bool FullScreen() override;
    void setFullScreen(bool on) override;
    void setToolBar(std::int32_t value) override;
    // A new receiver hears the window's back and forward state soon after, from the event
    // loop, as every receiver did after the last navigation.
    Cookie advise(BrowserEvents* sink) override;
    void unadvise(Cookie cookie) override { sinks_.unadvise(cookie); }

    // What the simulation shows about the window.
    int number() const { return number_; }
    Hwnd handle() const { return handle_; }
    bool isOpen() const { return open_; }
    bool isFolder() const { return folder_; }
    const std::string& address() const { return address_; }
    // Oldest first; the last entry is where going back (or forward) leads.
    const std::vector<std::string>& backList() const { return back_; }
    const std::vector<std::string>& forwardList() const { return forward_; }
    bool fullScreenOn() const { return fullScreen_; }
    std::int32_t toolBarValue() const { return toolBar_; }
    // The current page's document; empty for a folder window.
    std::shared_ptr<SimWebDocument> document() const { return document_; }
    const std::vector<std::shared_ptr<SimFrame>>& frames() const { return frames_; }
    std::size_t receiverCount() const { return sinks_.size(); }

    // Failures and timing on demand.
    void setHandleFails(bool fails) { handleFails_ = fails; }
    // The program's navigation requests raise their events later, from the event loop,
    // instead of inside the call.
    void setDeferredNavigation(bool deferred) { deferred_ = deferred; }
    void setHistory(std::vector<std::string> back, std::vector<std::string> forward);

    // The user's own actions in the window, with the full event order. False when the
    // navigation was cancelled or could not happen.
    bool userNavigate(const std::string& url);
    // A navigation the page starts (a link, a script): always cancellable.
    bool clickLink(const std::string& url);
    bool userGoBack();
    bool userGoForward();
    void raiseCommandStateChange(std::int32_t command, bool enable);
    // The user clicked in the page: back no longer passes over it.
    void touch();

    // Used by the shell: the first page, loaded before anyone can listen.
    void loadSilently(const std::string& url);
    void markClosed() { open_ = false; }

  private:
    enum class Move { New, Back, Forward };

    void requireOpen() const;
    void request(std::string what, std::string value = {});
    // byUser: the user's own typing or history move, which some browsers cannot cancel.
    bool runNavigation(std::string url, Move move, bool byUser = false);
    void startNavigation(std::string url, Move move);
    void loadPage(const std::string& url);
    int backTarget() const;
    int forwardTarget() const;
    void moveEntries(std::vector<std::string>& from, std::vector<bool>& fromSkip,
                     std::vector<std::string>& onto, std::vector<bool>& ontoSkip, int to);
    void raiseCommandStates();
    void reportCommandStates(Cookie cookie);

    SimAutomation& shell_;
    int number_;
    Hwnd handle_;
    bool folder_;
    bool open_ = true;
    bool handleFails_ = false;
    bool deferred_ = false;
    std::string address_;
    std::vector<std::string> back_;
    std::vector<std::string> forward_;
    // Entries back passes over, beside back_ and forward_, and the current one's mark
    // (see BackendTraits::backSkipsUntouchedPages).
    std::vector<bool> backSkippable_;
    std::vector<bool> forwardSkippable_;
    bool currentSkippable_ = false;
    bool touched_ = false;  // the user clicked in the current page
    bool fullScreen_ = false;
    std::int32_t toolBar_ = -1;
    std::shared_ptr<SimWebDocument> document_;
    std::vector<std::shared_ptr<SimFrame>> frames_;
    SimSinks<BrowserEvents> sinks_;
};

}  // namespace surfdeck
