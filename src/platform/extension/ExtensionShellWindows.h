#pragma once
#include <memory>

#include "platform/devtools/SinkList.h"
#include "platform/extension/ExtensionHub.h"
#include "ports/Automation.h"

namespace surfdeck::extension {

// The shell-window list over the tabs of every connected browser, with its own event
// connection.
class ExtensionShellWindows : public ShellWindows, public TabListListener {
  public:
    static std::shared_ptr<ExtensionShellWindows> create(const std::shared_ptr<ExtensionHub>& hub);
    explicit ExtensionShellWindows(std::weak_ptr<ExtensionHub> hub) : hub_(std::move(hub)) {}

    int Count() override;
    std::shared_ptr<BrowserWindow> Item(int index) override;
    Cookie advise(ShellWindowsEvents* sink) override { return sinks_.add(sink); }
    void unadvise(Cookie cookie) override { sinks_.remove(cookie); }

    void tabRegistered(Hwnd handle) override;
    void tabRevoked(Hwnd handle) override;

  private:
    std::weak_ptr<ExtensionHub> hub_;
    chromium::SinkList<ShellWindowsEvents> sinks_;
};

// Saves the text as a new file in the folder (made when missing), named from the time:
// "fragment-YYYYMMDD-HHMMSS.txt", or with "-2", "-3", ... when that name is taken. Never
// overwrites. The path written, or empty with the reason in why (a partial file is removed).
std::string saveFragment(const std::string& folder, const std::string& text, std::string* why);

}  // namespace surfdeck::extension
