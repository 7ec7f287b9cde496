#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/extension/ExtensionHub.h"
#include "ports/Automation.h"
#include "ports/Desktop.h"

class QObject;
class QLocalSocket;
class QSocketNotifier;
struct xcb_connection_t;

// The user's own browsers, through the Surfdeck extension and its native-messaging bridge,
// as the tracked browser. Listens on the per-user socket that every bridge connects to;
// the tabs of every connected browser make one shell-window list. A second Surfdeck
// finds the socket answering, says so in the log, and tracks nothing.
namespace surfdeck::extension {

using LogFn = std::function<void(const std::string&)>;

struct ExtensionSettings {
    // Where the socket lives; empty: the per-user place the bridge looks in.
    std::string socketFolder;
    // Where "Save text to file" writes.
    std::string fragmentsFolder;
    std::string homePage = "about:blank";
    int callTimeoutMs = 2000;
    // Ask the window system which window is active (X11), besides the browsers.
    bool useWindowSystem = true;
};

class X11ActiveWindow;
class ExtensionQueryBrowser;

class ExtensionAutomation : public Automation, private HubHost {
  public:
    // Settings from the program folder's conf.ini, log lines to its log.txt, saved text
    // into its Fragments folder.
    explicit ExtensionAutomation(const std::string& programFolder);
    ExtensionAutomation(ExtensionSettings settings, LogFn log);
    ~ExtensionAutomation() override;

    std::shared_ptr<ShellWindows> createShellWindows() override;
    std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole role) override;

    std::shared_ptr<Foreground> foreground();
    // True while this Surfdeck holds the socket.
    bool listening() const { return listenFd_ >= 0; }
    const std::string& socketPath() const { return socketPath_; }
    ExtensionHub& hub() { return *hub_; }

    // The toolbar button: Surfdeck's main window comes forward.
    void setLaunchHandler(std::function<void()> fn) { hub_->onLaunch = std::move(fn); }
    // Browsers connecting and going; and, once, a browser of the user's that runs while no
    // extension has said hello within kExtensionGraceMs of our start.
    void setStatusHandler(BrowserStatusFn fn);
    static constexpr int kExtensionGraceMs = 15000;

  private:
    void sendFrame(PeerId peer, const std::string& frame) override;
    void dropPeer(PeerId peer) override;
    void postDrain() override;
    bool waitFor(const std::function<bool()>& done, int timeoutMs) override;
    void log(const std::string& line) override;

    void listen();
    void accept();
    void saveText(const std::string& text);
    void openFolder();

    ExtensionSettings settings_;
    LogFn log_;
    std::shared_ptr<ExtensionHub> hub_;
    std::unique_ptr<QObject> context_;  // owner of the sockets and notifiers
    QSocketNotifier* acceptor_ = nullptr;
    int listenFd_ = -1;
    std::string socketPath_;
    unsigned long long socketInode_ = 0;
    std::map<PeerId, QLocalSocket*> sockets_;
    PeerId nextPeer_ = 0;
    bool drainPosted_ = false;
    std::shared_ptr<X11ActiveWindow> x11_;
    std::shared_ptr<ExtensionQueryBrowser> query_;
};

// Chooses the tab in front from one look to the next. The window system renames a
// browser window when another tab comes forward, and the browser reports the tab itself;
// either may come first, by some tens of milliseconds. Whichever moved last is believed.
class ForegroundChoice {
  public:
    Hwnd choose(const std::vector<BrowserView>& browsers, long long pid, const std::string& title);

  private:
    bool started_ = false;
    Hwnd reported_ = 0;
    long long pid_ = 0;
    std::string title_;
    Hwnd chosen_ = 0;
};

// The foreground tab: the window the window system reports active, matched to a
// connected browser by process id and title, else the extensions' own focus reports.
class ExtensionForeground : public Foreground {
  public:
    ExtensionForeground(std::weak_ptr<ExtensionHub> hub, std::shared_ptr<X11ActiveWindow> x11)
        : hub_(std::move(hub)), x11_(std::move(x11)) {}
    Hwnd foregroundWindow() override;
    bool setForegroundWindow(Hwnd window) override;

  private:
    std::weak_ptr<ExtensionHub> hub_;
    std::shared_ptr<X11ActiveWindow> x11_;
    ForegroundChoice choice_;
};

// The window that X11 reports active (_NET_ACTIVE_WINDOW): its process and title.
class X11ActiveWindow {
  public:
    struct Info {
        unsigned window = 0;  // 0: no window is active
        long long pid = 0;    // 0: not told
        std::string title;
    };
    X11ActiveWindow();
    ~X11ActiveWindow();
    X11ActiveWindow(const X11ActiveWindow&) = delete;
    X11ActiveWindow& operator=(const X11ActiveWindow&) = delete;
    bool available() const { return connection_ != nullptr; }
    // Nothing when the window system cannot say.
    std::optional<Info> active();
    // The windows the window manager lists (_NET_CLIENT_LIST), with their processes and
    // titles; at most kMaxClients.
    std::vector<Info> clients();
    static constexpr std::size_t kMaxClients = 1024;
    // Asks the window manager to bring the window forward and give it the input, as a
    // pager or task bar does (a _NET_ACTIVE_WINDOW message from a source of type 2).
    bool requestActive(unsigned window);

  private:
    std::optional<Info> read();
    Info describe(unsigned window);
    void watch(unsigned window, bool on = true);
    // Whether the window system reported a change to what active() answers.
    bool changed();

    ::xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned atoms_[5] = {};
    unsigned watched_ = 0;       // the active window whose changes are reported to us
    std::optional<Info> known_;  // the last answer; nothing: to be asked
};

// Of the window system's windows, the one that shows a browser window: among the browser
// process's own, the only one, else the one whose title begins with one of the titles the
// browser window may be shown under (the longest match wins); a browser whose windows
// belong to another process is found by title alone. 0 when none fits.
unsigned pickBrowserXWindow(const std::vector<X11ActiveWindow::Info>& clients, long long pid,
                            const std::vector<std::string>& titles);
// Where a browser's own call leaves its window behind another program's (Firefox under a
// window manager), the window system brings it forward: the window picked as above, when
// it is not the active one already.
void raiseBrowserWindow(X11ActiveWindow& x11, long long pid,
                        const std::vector<std::string>& titles);

// Chooses among the browsers the tab in front, given the active window's process and
// title (pid 0: unknown).
Hwnd pickForegroundTab(const std::vector<BrowserView>& browsers, long long pid,
                       const std::string& title);

}  // namespace surfdeck::extension
