// What the contract's real-browser backends share: pages 'a'..'d' on a loopback server,
// the simulated desktop, loop and clock that the program's own tracking needs, and the
// user's and the page's actions on a tab through a DevTools client of the test's own.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::contract {

namespace ct = chromium::test;

class RealBrowserBackend {
  public:
    RealBrowserBackend() {
        for (char name : {'a', 'b', 'c', 'd'}) {
            const std::string title(1, static_cast<char>(name - 'a' + 'A'));
            server_.page(path(name), "<html><body><p>Page " + title + "</p></body></html>");
        }
    }

    Desktop& desktop() { return desktop_; }
    EventLoop& loop() { return loop_; }
    Clock& clock() { return clock_; }

    bool waitFor(const std::function<bool()>& pred) { return ct::waitFor(pred, 15000); }

    std::string page(char name) const { return server_.url(path(name)); }

    void navigateByUser(Hwnd h, const std::string& url) {
        driver_->call("Page.navigate", {{"url", QString::fromStdString(url)}}, target(h));
    }
    void navigateByPage(Hwnd h, const std::string& url) {
        driver_->eval(target(h), "location.href = '" + url + "'");
    }
    void close(Hwnd h) { driver_->closeTab(target(h)); }

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

  protected:
    static std::string path(char name) { return std::string("/") + name + ".htm"; }
    const std::string& target(Hwnd h) const { return targets_.at(h); }
    void activate(Hwnd h) {
        driver_->call("Target.activateTarget", {{"targetId", QString::fromStdString(target(h))}});
    }

    ct::TestServer server_;
    SimDesktop desktop_;
    SimEventLoop loop_;
    SimClock clock_;
    std::unique_ptr<ct::Driver> driver_;  // made once the browser is up
    std::map<Hwnd, std::string> targets_;
};

}  // namespace surfdeck::contract
