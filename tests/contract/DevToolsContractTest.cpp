// The DevTools backend against the contract: a headless Chromium of the test's own, pages
// from a loopback server, and the user's and the page's actions through a DevTools client
// of the test's own.
#include <QJsonArray>

#include "AutomationContract.h"
#include "RealBrowserBackend.h"
#include "platform/devtools/ChromiumAutomation.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"

namespace surfdeck::contract {
namespace {

class DevToolsBackend : public RealBrowserBackend {
  public:
    static constexpr BackendTraits traits = kDevToolsTraits;

    DevToolsBackend() {
        if (!chrome_.start()) throw std::runtime_error("the test browser did not start");
        driver_ = std::make_unique<ct::Driver>(chrome_.port());
        if (!driver_->open()) throw std::runtime_error("no DevTools connection of our own");
        chromium::BrowserSettings s;
        s.address = chrome_.address();
        s.startBrowser = false;
        s.callTimeoutMs = 10000;  // a loaded machine must not fail a call
        s.reconnectMs = 200;
        automation_ = std::make_unique<chromium::ChromiumAutomation>(s, nullptr);
        foreground_ = automation_->foreground();
        list_ = automation_->createShellWindows();
        if (!waitFor([&] { return list_->Count() >= 1; }))
            throw std::runtime_error("the browser's first tab never showed");
    }

    Automation& automation() { return *automation_; }
    Foreground& foreground() { return *foreground_; }

    Hwnd open(const std::string& url) {
        const std::string id = driver_->newTab(url);
        Hwnd handle = 0;
        const bool ready = waitFor([&] {
            for (int i = 0; i < list_->Count() && handle == 0; ++i) {
                auto w = list_->Item(i);
                if (std::dynamic_pointer_cast<chromium::CdpTab>(w)->targetId().toStdString() == id)
                    handle = w->HWND();
            }
            // The new tab shows about:blank, complete, until its address loads.
            return handle != 0 &&
                   driver_->eval(id, "location.href + ' ' + document.readyState").toString() ==
                       QString::fromStdString(url + " complete");
        });
        if (!ready) throw std::runtime_error("the new tab never loaded " + url);
        targets_[handle] = id;
        return handle;
    }
    // Headless, no window has the system's focus: the tab is activated, and its page is
    // told it has the focus as the window system would tell it.
    void bringToFront(Hwnd h) {
        activate(h);
        driver_->eval(target(h), "window.dispatchEvent(new FocusEvent('focus'))");
    }

  private:
    // Declared so that they end in reverse: the backend before the browser.
    ct::TestBrowser chrome_;
    std::unique_ptr<chromium::ChromiumAutomation> automation_;
    std::shared_ptr<Foreground> foreground_;
    std::shared_ptr<ShellWindows> list_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(DevTools, AutomationContract, DevToolsBackend);

}  // namespace
}  // namespace surfdeck::contract
