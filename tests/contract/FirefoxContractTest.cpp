// The extension backend against the contract in Firefox ESR, with everything real: the
// browser on an X display with a window manager, the extension from the build in a
// scratch profile, the bridge it starts through its host manifest, and the backend
// asking the window system which window is in front. The user's and the page's actions
// go through a WebDriver BiDi session of the test's own.
#include <stdlib.h>

#include <QTemporaryDir>
#include <set>

#include "AutomationContract.h"
#include "FirefoxTestSupport.h"
#include "platform/extension/qt/ExtensionAutomation.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::contract {
namespace {

namespace ct = chromium::test;
namespace ft = firefox::test;

class FirefoxBackend {
  public:
    static constexpr BackendTraits traits = kFirefoxExtensionTraits;

    FirefoxBackend() {
        std::string why;
        const std::string program = ft::firefoxProgram();
        if (program.empty()) throw std::runtime_error("no Firefox here");
        if (!ft::ensureDisplay(&why)) throw std::runtime_error(why);
        for (char name : {'a', 'b', 'c', 'd'}) {
            const std::string title(1, static_cast<char>(name - 'a' + 'A'));
            server_.page(path(name), "<html><body><p>Page " + title + "</p></body></html>");
        }
        setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
        extension::ExtensionSettings s;
        s.socketFolder = (runtime_.path() + "/surfdeck").toStdString();
        s.fragmentsFolder = (runtime_.path() + "/Fragments").toStdString();
        automation_ = std::make_unique<extension::ExtensionAutomation>(s, nullptr);
        if (!automation_->listening()) throw std::runtime_error("the backend is not listening");
        foreground_ = automation_->foreground();
        list_ = automation_->createShellWindows();
        if (!browser_.start(program, SURFDECK_BIN_DIR, &why)) throw std::runtime_error(why);
        if (!bidi_.open(browser_.bidiPort()))
            throw std::runtime_error("no WebDriver BiDi session of our own");
        if (!ct::waitFor([&] { return list_->Count() >= 1; }, 30000))
            throw std::runtime_error("the extension never reported the browser's tabs");
        for (int i = 0; i < list_->Count(); ++i) known_.insert(list_->Item(i)->HWND());
    }

    Automation& automation() { return *automation_; }
    Foreground& foreground() { return *foreground_; }
    Desktop& desktop() { return desktop_; }
    EventLoop& loop() { return loop_; }
    Clock& clock() { return clock_; }

    bool waitFor(const std::function<bool()>& pred) { return ct::waitFor(pred, 15000); }

    std::string page(char name) const { return server_.url(path(name)); }

    // As a user opens one: a new tab, then the address typed into it.
    Hwnd open(const std::string& url) {
        const std::string context = bidi_.create();
        return openAsUser(
            *list_, known_, [&](const std::function<bool()>& p) { return waitFor(p); },
            [&](const std::string& address) {
                return bidi_.eval(context, "location.href + ' ' + document.readyState")
                           .toString() == QString::fromStdString(address + " complete");
            },
            [&](Hwnd h) {
                contexts_[h] = context;
                navigateByUser(h, url);
            },
            url);
    }
    void navigateByUser(Hwnd h, const std::string& url) { bidi_.navigate(context(h), url); }
    void navigateByPage(Hwnd h, const std::string& url) {
        bidi_.eval(context(h), "location.href = '" + url + "'");
    }
    void close(Hwnd h) { bidi_.close(context(h)); }
    void bringToFront(Hwnd h) { bidi_.activate(context(h)); }
    void press(Hwnd h, bool right) { bidi_.click(context(h), right ? 2 : 0, 20, 20); }
    std::optional<bool> menuShown() const { return std::nullopt; }

    std::pair<int, int> margins(Hwnd h) {
        auto px = [&](const char* side) {
            return bidi_
                .eval(context(h),
                      std::string("parseInt(getComputedStyle(document.body).margin") + side + ")")
                .toInt(-1);
        };
        return {px("Left"), px("Top")};
    }

  private:
    static std::string path(char name) { return std::string("/") + name + ".htm"; }
    const std::string& context(Hwnd h) const { return contexts_.at(h); }

    // Declared so that they end in reverse: the session, the browser, then the backend.
    QTemporaryDir runtime_;
    ct::TestServer server_;
    SimDesktop desktop_;
    SimEventLoop loop_;
    SimClock clock_;
    std::unique_ptr<extension::ExtensionAutomation> automation_;
    std::shared_ptr<Foreground> foreground_;
    std::shared_ptr<ShellWindows> list_;
    ft::TestFirefox browser_;
    ft::BiDi bidi_;
    std::set<Hwnd> known_;
    std::map<Hwnd, std::string> contexts_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Firefox, AutomationContract, FirefoxBackend);

}  // namespace
}  // namespace surfdeck::contract
