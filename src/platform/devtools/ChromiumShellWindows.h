#pragma once
#include <memory>

#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/SinkList.h"
#include "ports/Automation.h"
#include "ports/Desktop.h"

namespace surfdeck::chromium {

// The shell-window list over the browser's tabs, with its own event connection.
class ChromiumShellWindows : public ShellWindows, public TabListListener {
  public:
    static std::shared_ptr<ChromiumShellWindows> create(const std::shared_ptr<CdpBrowser>& browser);
    explicit ChromiumShellWindows(std::weak_ptr<CdpBrowser> browser)
        : browser_(std::move(browser)) {}

    int Count() override;
    std::shared_ptr<BrowserWindow> Item(int index) override;
    Cookie advise(ShellWindowsEvents* sink) override { return sinks_.add(sink); }
    void unadvise(Cookie cookie) override { sinks_.remove(cookie); }

    void tabRegistered(Hwnd handle) override;
    void tabRevoked(Hwnd handle) override;

  private:
    std::weak_ptr<CdpBrowser> browser_;
    SinkList<ShellWindowsEvents> sinks_;
};

// The foreground window among the browser's tabs.
class ChromiumForeground : public Foreground {
  public:
    explicit ChromiumForeground(std::weak_ptr<CdpBrowser> browser) : browser_(std::move(browser)) {}
    Hwnd foregroundWindow() override;
    bool setForegroundWindow(Hwnd window) override;

  private:
    std::weak_ptr<CdpBrowser> browser_;
};

}  // namespace surfdeck::chromium
