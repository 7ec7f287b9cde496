#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimShellWindow.h"
#include "platform/sim/SimShellWindows.h"
#include "platform/sim/SimWeb.h"
#include "platform/sim/SimWebBrowser.h"
#include "ports/Automation.h"
#include "ports/BackendTraits.h"

namespace surfdeck {

// The simulated browser shell: its windows (numbered #1, #2... in opening order, folder
// windows included), the shell-window list objects handed out, the embedded browsers,
// and a log of every request the program made of a browser window. Deterministic: the
// same actions give the same events and the same log. It must outlive everything it
// hands out.
class SimAutomation : public Automation {
  public:
    // One request the program made of browser window #window, e.g. "navigate" with the
    // address, "fullscreen" with "-1" or "0", "toolbar" with the value.
    struct Request {
        int window = 0;
        std::string what;
        std::string value;
        // "#1 navigate http://a.example/", "#2 stop-download".
        std::string text() const;
        friend bool operator==(const Request&, const Request&) = default;
    };

    struct OpenedWindow {
        int number = 0;
        Hwnd handle = 0;
    };

    SimAutomation(SimDesktop& desktop, SimEventLoop& loop, SimWeb& web);

    // Automation
    std::shared_ptr<ShellWindows> createShellWindows() override;
    std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole role) override;

    // The user's actions. A window opens with its first page already loaded, then the
    // shell announces it (WindowRegistered to every advised list object). Window #n sits
    // at 100,80 pixels plus 20 per earlier window (cycling every 10), 800 by 600, in
    // front of the other windows but without the foreground.
    OpenedWindow openWindow(const std::string& address);
    // A file-folder window showing path; its address is "file://" + path.
    OpenedWindow openFolderWindow(const std::string& path);
    // Closes the window (gone from the desktop too), then announces it (WindowRevoked).
    // False when there is no such open window.
    bool closeWindow(int number);
    // userNavigate and the user's back and forward are typed or pressed in the browser;
    // clickLink is the page's own navigation.
    bool userNavigate(int number, const std::string& address);
    bool clickLink(int number, const std::string& address);
    bool userGoBack(int number);
    bool userGoForward(int number);
    // Mouse in window #number's current page; false when it has no page.
    bool mouseDown(int number);
    bool mouseUp(int number);
    // Whether the browser's own menu shows; false also when there is no page.
    bool contextMenu(int number);

    // Runs action inside the next Item() call of any list object, before it answers:
    // a window opened or closed there announces itself nested inside the walk.
    void duringNextItem(std::function<void()> action);
    void openDuringNextItem(const std::string& address);
    void closeDuringNextItem(int number);
    // The same inside the next HWND() call of any window, before it answers.
    void duringNextHandle(std::function<void()> action);
    void closeDuringNextHandle(int number);

    // Windows: every one ever opened by number (closed ones too), and the open ones in
    // the shell's list order.
    std::shared_ptr<SimShellWindow> window(int number) const;
    std::vector<int> openWindowNumbers() const;
    std::size_t openWindowCount() const { return open_.size(); }
    std::shared_ptr<SimShellWindow> openWindowAt(std::size_t index) const;

    // Behaves as a backend with these differences from the contract would.
    void imitate(const BackendTraits& traits) { traits_ = traits; }
    const BackendTraits& traits() const { return traits_; }

    void setHomePage(std::string address) { homePage_ = std::move(address); }
    const std::string& homePage() const { return homePage_; }

    // The request log, oldest first.
    const std::vector<Request>& requests() const { return requests_; }
    std::vector<std::string> requestLog() const;
    std::vector<std::string> requestLog(int window) const;
    void clearRequests() { requests_.clear(); }

    // Failures that escaped the program's event receivers, oldest first.
    const std::vector<std::string>& sinkErrors() const { return sinkErrors_; }

    // The last embedded browser created for role; empty when none.
    std::shared_ptr<SimWebBrowser> embedded(EmbeddedRole role) const;

    // Counts for tests of rebuilding.
    int shellWindowsCreated() const { return shellWindowsCreated_; }
    int itemCalls() const { return itemCalls_; }

    // Used by the windows and list objects.
    SimDesktop& desktop() { return desktop_; }
    SimEventLoop& loop() { return loop_; }
    SimWeb& web() { return web_; }
    std::vector<std::string>* sinkErrorSink() { return &sinkErrors_; }
    void logRequest(int window, std::string what, std::string value);
    void runItemHook();
    void runHandleHook();
    void noteItemCall() { ++itemCalls_; }

  private:
    OpenedWindow open(const std::string& address, bool folder);
    std::shared_ptr<SimShellWindow> openByNumber(int number) const;
    template <class F>
    void announce(F&& f);

    SimDesktop& desktop_;
    SimEventLoop& loop_;
    SimWeb& web_;
    std::string homePage_ = "about:blank";
    BackendTraits traits_ = kSimTraits;
    int nextNumber_ = 1;
    std::map<int, std::shared_ptr<SimShellWindow>> all_;
    std::vector<std::shared_ptr<SimShellWindow>> open_;
    std::vector<std::weak_ptr<SimShellWindows>> lists_;
    std::vector<std::weak_ptr<SimWebBrowser>> embedded_;
    std::deque<std::function<void()>> itemHooks_;
    std::deque<std::function<void()>> handleHooks_;
    std::vector<Request> requests_;
    std::vector<std::string> sinkErrors_;
    int shellWindowsCreated_ = 0;
    int itemCalls_ = 0;
};

}  // namespace surfdeck
