#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ports/Automation.h"
#include "ports/Desktop.h"
#include "platform/extension/ExtensionHub.h"

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

  private:
    ::xcb_connection_t* connection_ = nullptr;
    unsigned root_ = 0;
    unsigned atoms_[4] = {};
};

// Chooses among the browsers the tab in front, given the active window's process and
// title (pid 0: unknown).
Hwnd pickForegroundTab(const std::vector<BrowserView>& browsers, long long pid,
                       const std::string& title);

}  // namespace surfdeck::extension
