// DevTools message handling on arbitrary messages from the endpoint, one JSON text per
// line, with the core's window list listening: whatever arrives, nothing crashes, every
// tab keeps a handle of its own, and the core's list counts what the backend offers.
#include <QCoreApplication>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/CdpConnection.h"
#include "platform/devtools/CdpTab.h"
#include "platform/devtools/ChromiumShellWindows.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"

namespace {

using namespace surfdeck;
using namespace surfdeck::chromium;

void check(bool ok) {
    if (!ok) std::abort();
}

// The backend as the core's automation, without the query browser.
class Backend : public Automation {
  public:
    explicit Backend(std::shared_ptr<CdpBrowser> browser) : browser_(std::move(browser)) {}
    std::shared_ptr<ShellWindows> createShellWindows() override {
        return ChromiumShellWindows::create(browser_);
    }
    std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole) override {
        throw AutomationError(automation_error::Failed, "none here");
    }

  private:
    std::shared_ptr<CdpBrowser> browser_;
};

// Hands out everything the connection queued, over as many turns as it takes.
void settle(CdpConnection& connection) {
    for (int turn = 0; turn < 50 && connection.queued() > 0; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    BrowserSettings settings;
    settings.startBrowser = false;
    settings.reconnectMs = 0;
    settings.callTimeoutMs = 0;  // nothing answers a call but the input: fail at once
    auto browser = std::make_shared<CdpBrowser>(settings, [](const std::string&) {});
    Backend backend(browser);
    auto shell = backend.createShellWindows();

    SimDesktop desktop;
    SimEventLoop loop;
    SimClock clock;
    TrackingContext ctx{desktop, loop, clock, backend};
    cIEWindows windows(ctx);

    CdpConnection& connection = browser->connection();
    connection.acceptForTesting();
    settle(connection);

    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QByteArray& line : input.split('\n')) {
        connection.receive(QString::fromUtf8(line));
        settle(connection);

        const auto tabs = browser->tabs();
        std::set<Hwnd> handles;
        for (const auto& tab : tabs) {
            check(tab->ready() && !tab->closed());
            check(handles.insert(tab->handle()).second);
            check(browser->tabByHandle(tab->handle()) == tab);
        }
        check(shell->Count() == static_cast<int>(tabs.size()));
        check(windows.Count() == static_cast<int>(tabs.size()));
        std::set<std::int32_t> wrapped;
        for (const auto& w : windows.NewEnum()) check(wrapped.insert(w->IEHandle()).second);
    }
    return 0;
}
