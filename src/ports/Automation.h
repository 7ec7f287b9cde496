#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "base/ErrorText.h"
#include "ports/Types.h"

// The browser automation surface: the shell's list of browser windows, each browser
// window, its HTML document, and the embedded browser controls of the related-sites
// panel. Every call may run events nested inside it (the browser lives in another
// process and its events arrive on our thread while we wait for an answer).
namespace surfdeck {

// A failing automation call. number is the system's error number (decimal in logs),
// description its text.
class AutomationError : public NumberedError {
  public:
    using NumberedError::NumberedError;
};

// Error numbers the backends use.
namespace automation_error {
inline constexpr std::int32_t Failed = -2147467259;        // E_FAIL, "Unspecified error"
inline constexpr std::int32_t TypeMismatch = 13;           // a folder's document taken as HTML
inline constexpr std::int32_t Disconnected = -2147417848;  // the window or browser is gone
inline constexpr std::int32_t Timeout = -2147023436;       // no answer in time
inline constexpr std::int32_t Refused = kUnnumberedError;  // "Invalid procedure call or argument"
}  // namespace automation_error

// Commands of CommandStateChange and ExecWB.
inline constexpr std::int32_t CSC_UPDATECOMMANDS = -1;
inline constexpr std::int32_t CSC_NAVIGATEFORWARD = 1;
inline constexpr std::int32_t CSC_NAVIGATEBACK = 2;
inline constexpr std::int32_t OLECMDID_STOPDOWNLOAD = 30;
inline constexpr std::int32_t OLECMDEXECOPT_DONTPROMPTUSER = 2;

// Cookie of one advise (event connection); 0 is never handed out.
using Cookie = std::uint64_t;

// An automation object whose identity events report (pDisp): a browser window, an
// embedded browser, or one frame of a page. Compare by address.
class Dispatch {
  public:
    virtual ~Dispatch() = default;
};

// BeforeNavigate2's arguments, all writable by the receiver as the browser's own values;
// cancel = true stops that navigation.
struct BeforeNavigateArgs {
    Dispatch* pDisp = nullptr;
    std::string url;
    std::int32_t flags = 0;
    std::string targetFrameName;
    std::string postData;
    std::string headers;
    bool cancel = false;
};

// Receiver of a browser window's or an embedded browser's events. Default: ignore.
// A backend calls only receivers that are still advised at the moment of each call: a
// receiver may unadvise itself, or others, from inside an event.
class BrowserEvents {
  public:
    virtual ~BrowserEvents() = default;
    virtual void BeforeNavigate2(BeforeNavigateArgs& /*args*/) {}
    virtual void NavigateComplete2(Dispatch* /*pDisp*/, const std::string& /*url*/) {}
    // pDisp is the browser object itself for the top-level document, a frame otherwise.
    virtual void DocumentComplete(Dispatch* /*pDisp*/, const std::string& /*url*/) {}
    virtual void DownloadBegin() {}
    virtual void DownloadComplete() {}
    // command: CSC_NAVIGATEFORWARD, CSC_NAVIGATEBACK or CSC_UPDATECOMMANDS.
    virtual void CommandStateChange(std::int32_t /*command*/, bool /*enable*/) {}
    virtual void StatusTextChange(const std::string& /*text*/) {}
};

// Receiver of an HTML document's events (they carry no arguments).
class DocumentEvents {
  public:
    virtual ~DocumentEvents() = default;
    virtual void onmousedown() {}
    virtual void onmouseup() {}
    // False suppresses the browser's own context menu. With several receivers the menu
    // shows only when every one of them returns true.
    virtual bool oncontextmenu() { return true; }
};

// An HTML document (the page shown in a browser window or an embedded browser).
class HtmlDocument {
  public:
    virtual ~HtmlDocument() = default;
    // The body element's markup, tags as the browser serializes them.
    virtual std::string bodyOuterHTML() = 0;
    // Replaces the body's content.
    virtual void setBodyInnerHTML(const std::string& html) = 0;
    // Page margins in pixels.
    virtual void setBodyLeftMargin(int pixels) = 0;
    virtual void setBodyTopMargin(int pixels) = 0;
    virtual Cookie advise(DocumentEvents* sink) = 0;
    virtual void unadvise(Cookie cookie) = 0;
};

// One browser window of the shell (a web browser or a file-folder window).
class BrowserWindow : public Dispatch {
  public:
    // Top-level window handle; equals the foreground window when the window is in front.
    virtual Hwnd HWND() = 0;
    // The page as an HTML document; throws AutomationError for a folder window.
    virtual std::shared_ptr<HtmlDocument> Document() = 0;
    // Address of the current page; empty when none.
    virtual std::string LocationURL() = 0;
    virtual void GoBack() = 0;
    // Throws AutomationError when there is no forward history.
    virtual void GoForward() = 0;
    virtual void GoHome() = 0;
    virtual void Stop() = 0;
    // An ordinary reload (no level given).
    virtual void Refresh2() = 0;
    virtual void Navigate(const std::string& url) = 0;
    // ExecWB(command, option) with no input or output value.
    virtual void ExecWB(std::int32_t command, std::int32_t option) = 0;
    virtual bool FullScreen() = 0;
    virtual void setFullScreen(bool on) = 0;
    // 0 hides the browser's toolbars, -1 shows them.
    virtual void setToolBar(std::int32_t value) = 0;
    virtual Cookie advise(BrowserEvents* sink) = 0;
    virtual void unadvise(Cookie cookie) = 0;
};

// Receiver of the shell-window list's events.
class ShellWindowsEvents {
  public:
    virtual ~ShellWindowsEvents() = default;
    virtual void WindowRegistered(std::int32_t /*cookie*/) {}
    virtual void WindowRevoked(std::int32_t /*cookie*/) {}
};

// The shell's list of open browser windows, as it stands at each call.
class ShellWindows {
  public:
    virtual ~ShellWindows() = default;
    virtual int Count() = 0;
    // Entry 0..Count()-1; throws AutomationError when the entry has gone meanwhile.
    virtual std::shared_ptr<BrowserWindow> Item(int index) = 0;
    virtual Cookie advise(ShellWindowsEvents* sink) = 0;
    virtual void unadvise(Cookie cookie) = 0;
};

// A browser control embedded in one of our windows. Loads are asynchronous: Navigate
// returns at once and DocumentComplete follows; Stop abandons a load in progress.
// Its events: BeforeNavigate2 (cancellable), DocumentComplete, StatusTextChange.
class EmbeddedBrowser : public Dispatch {
  public:
    virtual void Navigate(const std::string& url) = 0;
    virtual void Stop() = 0;
    virtual std::shared_ptr<HtmlDocument> Document() = 0;
    virtual Cookie advise(BrowserEvents* sink) = 0;
    virtual void unadvise(Cookie cookie) = 0;
};

// The related-sites panel's two controls: Query loads the search service's answer out of
// sight; Results shows the panel's own page.
enum class EmbeddedRole { Query, Results };

class Automation {
  public:
    virtual ~Automation() = default;
    // A new shell-window list object (each with its own event connection).
    virtual std::shared_ptr<ShellWindows> createShellWindows() = 0;
    virtual std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole role) = 0;
};

}  // namespace surfdeck
