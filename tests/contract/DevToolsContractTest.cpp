// The DevTools backend against the contract: a headless Chromium of the test's own, pages
// from a loopback server, and the user's and the page's actions through a DevTools client
// of the test's own.
#include <QJsonArray>

#include "../chromium/ChromiumTestSupport.h"
#include "AutomationContract.h"
#include "platform/devtools/ChromiumAutomation.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"

namespace surfdeck::contract {
namespace {

namespace ct = chromium::test;

class DevToolsBackend {
  public:
    static constexpr BackendTraits traits = kDevToolsTraits;

    DevToolsBackend() {
        for (char name : {'a', 'b', 'c', 'd'}) {
            const std::string title(1, static_cast<char>(name - 'a' + 'A'));
            server_.page(path(name), "<html><body><p>Page " + title + "</p></body></html>");
        }
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
    // The program's tracking needs these; the browser's events come through Qt's loop.
    Desktop& desktop() { return desktop_; }
    EventLoop& loop() { return loop_; }
    Clock& clock() { return clock_; }

    bool waitFor(const std::function<bool()>& pred) { return ct::waitFor(pred, 15000); }

    std::string page(char name) const { return server_.url(path(name)); }

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
    void navigateByUser(Hwnd h, const std::string& url) {
        driver_->call("Page.navigate", {{"url", QString::fromStdString(url)}}, target(h));
    }
    void navigateByPage(Hwnd h, const std::string& url) {
        driver_->eval(target(h), "location.href = '" + url + "'");
    }
    void close(Hwnd h) { driver_->closeTab(target(h)); }
    // Headless, no window has the system's focus: the tab is activated, and its page is
    // told it has the focus as the window system would tell it.
    void bringToFront(Hwnd h) {
        driver_->call("Target.activateTarget", {{"targetId", QString::fromStdString(target(h))}});
        driver_->eval(target(h), "window.dispatchEvent(new FocusEvent('focus'))");
    }

    void press(Hwnd h, bool right) {
        const char* button = right ? "right" : "left";
        driver_->mouse(target(h), "mousePressed", button, 20, 20);
        driver_->mouse(target(h), "mouseReleased", button, 20, 20);
    }
    // The browser's own menu is not visible to a headless test.
    std::optional<bool> menuShown() const { return std::nullopt; }

    std::pair<int, int> margins(Hwnd h) {
        auto px = [&](const char* side) {
            return driver_
                ->eval(target(h),
                       std::string("parseInt(getComputedStyle(document.body).margin") + side + ")")
                .toInt(-1);
        };
        return {px("Left"), px("Top")};
    }

  private:
    static std::string path(char name) { return std::string("/") + name + ".htm"; }
    const std::string& target(Hwnd h) const { return targets_.at(h); }

    // Declared so that they end in reverse: the backend before the browser.
    ct::TestServer server_;
    ct::TestBrowser chrome_;
    std::unique_ptr<ct::Driver> driver_;
    SimDesktop desktop_;
    SimEventLoop loop_;
    SimClock clock_;
    std::unique_ptr<chromium::ChromiumAutomation> automation_;
    std::shared_ptr<Foreground> foreground_;
    std::shared_ptr<ShellWindows> list_;
    std::map<Hwnd, std::string> targets_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(DevTools, AutomationContract, DevToolsBackend);

}  // namespace
}  // namespace surfdeck::contract
