#include "platform/devtools/ChromiumShellWindows.h"

#include "platform/devtools/CdpTab.h"

namespace surfdeck::chromium {

std::shared_ptr<ChromiumShellWindows> ChromiumShellWindows::create(
    const std::shared_ptr<CdpBrowser>& browser) {
    auto list = std::make_shared<ChromiumShellWindows>(browser);
    browser->addListener(list);
    return list;
}

int ChromiumShellWindows::Count() {
    auto browser = browser_.lock();
    return browser ? static_cast<int>(browser->tabs().size()) : 0;
}

std::shared_ptr<BrowserWindow> ChromiumShellWindows::Item(int index) {
    auto browser = browser_.lock();
    if (browser) {
        const auto tabs = browser->tabs();
        if (index >= 0 && index < static_cast<int>(tabs.size()))
            return tabs[static_cast<std::size_t>(index)];
    }
    throw AutomationError(automation_error::Disconnected, "The browser window has closed");
}

void ChromiumShellWindows::tabRegistered(Hwnd handle) {
    sinks_.forEach([handle](ShellWindowsEvents& s) { s.WindowRegistered(handle); });
}

void ChromiumShellWindows::tabRevoked(Hwnd handle) {
    sinks_.forEach([handle](ShellWindowsEvents& s) { s.WindowRevoked(handle); });
}

Hwnd ChromiumForeground::foregroundWindow() {
    auto browser = browser_.lock();
    return browser ? browser->focusedTab() : 0;
}

bool ChromiumForeground::setForegroundWindow(Hwnd window) {
    auto browser = browser_.lock();
    return browser && browser->activate(window);
}

}  // namespace surfdeck::chromium
