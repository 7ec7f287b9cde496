// The simulated shell keeps the contract, also while it imitates the real backends'
// differences, so that scenarios run against those differences are run against something
// the contract suite has checked.
#include "AutomationContract.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWeb.h"

namespace surfdeck::contract {
namespace {

template <const BackendTraits& Traits>
class SimBackend {
  public:
    static constexpr BackendTraits traits = Traits;

    SimBackend() {
        shell_.imitate(Traits);
        for (char name : {'a', 'b', 'c', 'd'}) {
            const std::string title(1, static_cast<char>(name - 'a' + 'A'));
            web_.setPage(page(name), "<html><body><p>Page " + title + "</p></body></html>");
        }
    }

    Automation& automation() { return shell_; }
    Foreground& foreground() { return desktop_; }
    Desktop& desktop() { return desktop_; }
    EventLoop& loop() { return loop_; }
    Clock& clock() { return clock_; }

    // Nothing here takes time: what is pending runs until the condition holds or nothing
    // more comes.
    bool waitFor(const std::function<bool()>& pred) {
        for (int turn = 0; turn < 100 && !pred(); ++turn) loop_.doEvents();
        return pred();
    }

    std::string page(char name) const { return std::string("http://") + name + ".example/"; }

    Hwnd open(const std::string& url) {
        const auto opened = shell_.openWindow(url);
        numbers_[opened.handle] = opened.number;
        return opened.handle;
    }
    void navigateByUser(Hwnd h, const std::string& url) { shell_.userNavigate(number(h), url); }
    void navigateByPage(Hwnd h, const std::string& url) { shell_.clickLink(number(h), url); }
    void close(Hwnd h) { shell_.closeWindow(number(h)); }
    void bringToFront(Hwnd h) { desktop_.userActivate(h); }

    void press(Hwnd h, bool right) {
        shell_.mouseDown(number(h));
        if (right) menuShown_ = shell_.contextMenu(number(h));
        shell_.mouseUp(number(h));
    }
    std::optional<bool> menuShown() const { return menuShown_; }

    std::pair<int, int> margins(Hwnd h) {
        auto doc = shell_.window(number(h))->document();
        return {doc->leftMargin().value_or(-1), doc->topMargin().value_or(-1)};
    }

  private:
    int number(Hwnd h) const { return numbers_.at(h); }

    SimDesktop desktop_;
    SimClock clock_;
    SimEventLoop loop_;
    SimWeb web_;
    SimAutomation shell_{desktop_, loop_, web_};
    std::map<Hwnd, int> numbers_;
    std::optional<bool> menuShown_;
};

using Sim = SimBackend<kSimTraits>;
using SimAsDevTools = SimBackend<kDevToolsTraits>;
using SimAsExtension = SimBackend<kExtensionTraits>;
using SimAsFirefox = SimBackend<kFirefoxExtensionTraits>;

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, AutomationContract, Sim);
INSTANTIATE_TYPED_TEST_SUITE_P(SimAsDevTools, AutomationContract, SimAsDevTools);
INSTANTIATE_TYPED_TEST_SUITE_P(SimAsExtension, AutomationContract, SimAsExtension);
INSTANTIATE_TYPED_TEST_SUITE_P(SimAsFirefox, AutomationContract, SimAsFirefox);

}  // namespace
}  // namespace surfdeck::contract
