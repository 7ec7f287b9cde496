#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "browser/ForwardIEEvent.h"
#include "browser/IE_Class.h"
#include "browser/TrackingContext.h"
#include "ports/Automation.h"

namespace surfdeck {

// A receiver of the list's public events. IEHandle refers to the source wrapper's handle.
// Cancel and Enable are copies held by the list for the duration of one event: every
// receiver sees the changes of those before it, and none reaches the wrapper or browser.
class cIEWindowsEvents {
  public:
    virtual ~cIEWindowsEvents() = default;
    virtual void IEWindowRegistered() {}
    virtual void IEWindowRevoked() {}
    virtual void IENavigationBegin(const std::int32_t& /*IEHandle*/, Dispatch* /*pDisp*/,
                                   const std::string& /*URL*/, const std::int32_t& /*Flags*/,
                                   const std::string& /*TargetFrameName*/,
                                   const std::string& /*PostData*/, const std::string& /*Headers*/,
                                   bool& /*Cancel*/) {}
    virtual void IENavigationComplete(const std::int32_t& /*IEHandle*/, Dispatch* /*pDisp*/,
                                      const std::string& /*URL*/) {}
    virtual void IEDocumentComplete(const std::int32_t& /*IEHandle*/, Dispatch* /*pDisp*/,
                                    const std::string& /*URL*/) {}
    virtual void IEDownloadBegin(const std::int32_t& /*IEHandle*/) {}
    virtual void IEDownloadComplete(const std::int32_t& /*IEHandle*/) {}
    virtual void IEOnContextMenu(const std::int32_t& /*IEHandle*/) {}
    virtual void IEMouseDown(const std::int32_t& /*IEHandle*/, std::int16_t /*Button*/,
                             std::int16_t /*Shift*/, float /*X*/, float /*Y*/) {}
    virtual void IEMouseUp(const std::int32_t& /*IEHandle*/, std::int16_t /*Button*/,
                           std::int16_t /*Shift*/, float /*X*/, float /*Y*/) {}
    virtual void IECommandStateChange(const std::int32_t& /*IEHandle*/, std::int32_t /*Command*/,
                                      bool& /*Enable*/) {}
};

// The list of wrappers, one per shell window, in the shell's order at the last rebuild.
// Every window registered or revoked anywhere in the shell rebuilds it from scratch.
// Keys are the wrappers' handles in decimal; a second window with a handle already
// present is not kept.
class cIEWindows : private ShellWindowsEvents {
  public:
    // Becomes the list that receives forwarded events, then builds itself. A failure of
    // the shell-window list itself goes to the caller.
    explicit cIEWindows(TrackingContext& ctx);
    ~cIEWindows() override;
    cIEWindows(const cIEWindows&) = delete;
    cIEWindows& operator=(const cIEWindows&) = delete;

    // Wraps B and keeps it; empty when its handle is already in the list.
    std::shared_ptr<IE_Class> Add(std::shared_ptr<BrowserWindow> B);
    // By 1-based position or by key; throws std::out_of_range when missing.
    std::shared_ptr<IE_Class> IE(int position1Based);
    std::shared_ptr<IE_Class> IE(const std::string& key);
    int Count() const { return static_cast<int>(colIE.size()); }
    void Remove(int position1Based);
    void Remove(const std::string& key);
    // The wrappers in collection order, as they stand now; walking the copy stays safe
    // when a rebuild happens meanwhile.
    std::vector<std::shared_ptr<IE_Class>> NewEnum() const;
    void Refresh();
    bool isRefreshing() const { return Refreshing; }

    void addReceiver(cIEWindowsEvents* receiver);
    void removeReceiver(cIEWindowsEvents* receiver);

  private:
    friend void ForwardIEEvent(TrackingContext&, const IE_Class&, std::int32_t, const std::int32_t&,
                               std::span<const IEEventArg>);

    struct Item {
        std::string key;
        std::shared_ptr<IE_Class> wrapper;
    };

    void winShell_WindowRegistered(std::int32_t lCookie);
    void winShell_WindowRevoked(std::int32_t lCookie);
    // ShellWindowsEvents
    void WindowRegistered(std::int32_t cookie) override { winShell_WindowRegistered(cookie); }
    void WindowRevoked(std::int32_t cookie) override { winShell_WindowRevoked(cookie); }

    void FireIEEvent(std::int32_t kind, const std::int32_t& IEHandle,
                     std::span<const IEEventArg> args);
    template <class F>
    void raise(F&& f);
    void waitWhileRefreshing();
    void releaseCollection();
    std::size_t indexOf(const std::string& key) const;

    TrackingContext& ctx_;
    std::vector<Item> colIE;
    std::shared_ptr<ShellWindows> winShell;
    Cookie winShellCookie_ = 0;
    bool Refreshing = false;
    // Counts the rebuilds begun. Attaching a wrapper calls into its browser window, and
    // events nested in those calls may rebuild the list: what an older rebuild still
    // holds is stale then (a browser that closes normally ends its tabs one after another
    // in just that way), and none of it may enter the list.
    unsigned rebuilds_ = 0;
    std::vector<cIEWindowsEvents*> receivers_;
    // Cleared when the list ends, for code still running inside one of its calls.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace surfdeck
