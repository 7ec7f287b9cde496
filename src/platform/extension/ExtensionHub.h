#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "ports/BrowserStatus.h"

#include "platform/extension/wire/Wire.h"
#include "ports/Automation.h"

// The browsers connected through their bridges, as one list of tabs: every connection's
// messages are decoded here, its pushed state kept, its calls matched with their replies,
// and its tabs' events raised. No toolkit: the socket, the event loop and the log are the
// host's, so the same hub runs under Qt, in tests and under the fuzzer.
namespace surfdeck::extension {

using wire::Json;
using PeerId = std::uint64_t;

class ExtensionTab;

// What the hub needs of the program around it.
class HubHost {
  public:
    virtual ~HubHost() = default;
    // Writes one framed message to the connection.
    virtual void sendFrame(PeerId peer, const std::string& frame) = 0;
    // Closes the connection; the host reports no disconnected() for it afterwards.
    virtual void dropPeer(PeerId peer) = 0;
    // Asks that drain() run soon from the event loop.
    virtual void postDrain() = 0;
    // Runs events until done() holds or timeoutMs pass; false on time-out.
    virtual bool waitFor(const std::function<bool()>& done, int timeoutMs) = 0;
    virtual void log(const std::string& line) = 0;
};

struct HubOptions {
    int callTimeoutMs = 2000;
    std::string homePage = "about:blank";
    bool suppressContextMenu = false;
    // The address as the browser should get it; sets refused to the scheme's name when the
    // address is one never to open. Empty: addresses go as given.
    std::function<std::string(const std::string& url, std::string* refused)> prepareUrl;
};

// Told when the list of tabs changes.
class TabListListener {
  public:
    virtual ~TabListListener() = default;
    virtual void tabRegistered(Hwnd handle) = 0;
    virtual void tabRevoked(Hwnd handle) = 0;
};

// One browser window as the window system may show it.
struct TabTitle {
    Hwnd tab = 0;
    std::string title;
};
struct WindowView {
    std::int64_t id = 0;
    std::string title;
    bool focused = false;
    Hwnd activeTab = 0;
    // Every tab's title: the window system renames the window as soon as another tab is
    // in front, often before the browser's own report of it arrives.
    std::vector<TabTitle> tabs = {};
};
struct BrowserView {
    long long pid = 0;
    std::uint64_t focusSerial = 0;  // larger: reported the focus later; 0: never, or lost it
    std::vector<WindowView> windows;
};

class ExtensionHub : public std::enable_shared_from_this<ExtensionHub> {
  public:
    // First handle given to a tab: apart from our own windows and the DevTools tabs.
    static constexpr Hwnd kFirstHandle = 0x00200001;
    // Malformed messages a connection may send before it is dropped.
    static constexpr int kMaxMalformed = 20;
    // Tabs one browser may hold; more are not tracked.
    static constexpr std::size_t kMaxTabs = 5000;
    // Messages waiting to be handled; a browser that sends more at once is cut off.
    static constexpr std::size_t kMaxQueued = 10000;

    ExtensionHub(HubHost& host, HubOptions options);
    ~ExtensionHub();
    ExtensionHub(const ExtensionHub&) = delete;
    ExtensionHub& operator=(const ExtensionHub&) = delete;

    // ---- the connections
    void connected(PeerId peer);
    void received(PeerId peer, const char* data, std::size_t size);
    void disconnected(PeerId peer);
    // Handles the queued messages, in arrival order; may run nested inside a call.
    void drain();
    std::size_t peerCount() const { return peers_.size(); }
    // A browser that has said hello (the first connected); 0 when none.
    PeerId anyPeer() const;

    // ---- the tabs
    std::vector<std::shared_ptr<ExtensionTab>> tabs() const;
    std::shared_ptr<ExtensionTab> tabByHandle(Hwnd handle) const;
    void addListener(std::weak_ptr<TabListListener> listener);
    // The active tab of the window that its browser reported focused last; 0 when none.
    Hwnd focusedTab() const;
    std::vector<BrowserView> browsers() const;
    // The process that started the connection's bridge, as it said; 0 when not told.
    long long browserPid(PeerId peer) const;
    // The window's state ("normal", "maximized", "fullscreen", ...).
    std::string windowState(PeerId peer, std::int64_t windowId) const;
    bool activate(Hwnd handle);

    // Sends a call and waits for its reply. Throws AutomationError: Timeout after the call
    // time-out, Disconnected when the browser goes meanwhile, Failed on an error reply,
    // Refused when the call is too large to send.
    Json call(PeerId peer, const std::string& method, Json args);
    // Runs fn from the queue, after what has arrived so far.
    void post(std::function<void()> fn);

    void setHomePage(const std::string& url);
    void setSuppressContextMenu(bool on);
    const HubOptions& options() const { return options_; }
    // One line, whatever the browser put into it.
    void log(const std::string& line);

    std::function<void(const std::string& text)> onSaveText;
    std::function<void()> onLaunch;
    std::function<void()> onOpenFolder;
    // A browser's extension said hello, or its connection ended.
    std::function<void(const BrowserStatus&)> onStatus;

  private:
    struct Waiting {
        bool done = false;
        bool failed = false;
        std::int32_t number = 0;
        std::string error;
        Json result;
    };
    struct Window {
        std::string title;
        std::string state;
        bool focused = false;
    };
    struct Peer {
        PeerId id = 0;
        bool hello = false;
        bool closed = false;
        int malformed = 0;
        long long browserPid = 0;
        std::string browser;
        std::uint64_t focusSerial = 0;
        std::int64_t focusedWindow = -1;
        wire::FrameDecoder decoder{wire::kMaxFromBrowser};
        std::vector<std::int64_t> windowOrder;
        std::map<std::int64_t, Window> windows;
        std::vector<std::shared_ptr<ExtensionTab>> tabs;
        std::map<int, std::shared_ptr<Waiting>> waiting;
        int nextCallId = 0;
    };

    std::shared_ptr<Peer> peer(PeerId id) const;
    void drop(PeerId id, const std::string& why);
    void malformed(Peer& p, const std::string& why);
    void send(Peer& p, const Json& message);
    void sendSettings(Peer& p);
    void handle(const std::shared_ptr<Peer>& p, const Json& message);
    void onState(Peer& p, const Json& message, std::vector<Hwnd>& added,
                 std::vector<Hwnd>& removed);
    void upsertWindow(Peer& p, const Json& window);
    std::shared_ptr<ExtensionTab> upsertTab(Peer& p, const Json& tab, std::vector<Hwnd>& added);
    void removeTab(Peer& p, std::int64_t tabId, std::vector<Hwnd>& removed);
    void removeWindow(Peer& p, std::int64_t windowId, std::vector<Hwnd>& removed);
    void noteFocus(Peer& p, std::int64_t windowId, std::int64_t tabId);
    void sortTabs(Peer& p);
    std::shared_ptr<ExtensionTab> tabById(const Peer& p, std::int64_t tabId) const;
    void announce(const std::vector<Hwnd>& added, const std::vector<Hwnd>& removed);

    HubHost& host_;
    HubOptions options_;
    std::map<PeerId, std::shared_ptr<Peer>> peers_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::weak_ptr<TabListListener>> listeners_;
    Hwnd nextHandle_ = kFirstHandle;
    std::uint64_t focusSerial_ = 0;
};

// Reading fields of a hostile message: the value when it has the right type, else def.
std::int64_t intField(const Json& object, const char* key, std::int64_t def = -1);
std::string textField(const Json& object, const char* key, const std::string& def = {});
bool boolField(const Json& object, const char* key, bool def = false);
// The text with control characters (line breaks among them) as spaces.
std::string oneLine(std::string text);

}  // namespace surfdeck::extension
