// The Chromium backend against the simulated shell, measured in the same run:
// - one synchronous call to a tab (FullScreen, one round trip to the browser), as a
//   multiple of the same call on a simulated window (counter "x_sim_call");
// - one Timer10 tick of the main window tracking one tab, as a multiple of the same tick
//   tracking one simulated window (counter "x_sim_tick").
// - a flood of target reports from the endpoint (a page target created and changed, never
//   attached), per message as a multiple of parsing the message alone (counter
//   "x_json_parse"), and the per-message cost at 40,000 targets over that at 1,000
//   (counter "x_growth": about 1 while the cost stays linear).
// The browser is a headless Chromium of the benchmark's own.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/Main.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "forms/Form.h"
#include "mainwindow/frmMain.h"
#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/CdpConnection.h"
#include "platform/devtools/ChromiumAutomation.h"
#include "platform/file/FileRegistry.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWeb.h"
#include "settings/AppContext.h"

namespace {

using namespace surfdeck;
using Clock = std::chrono::steady_clock;

bool waitFor(const std::function<bool()>& pred, int ms) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

template <class Op>
double secondsPerCall(int rounds, Op op) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) op();
    return std::chrono::duration<double>(Clock::now() - start).count() / rounds;
}

// The main window over one automation, tracking what it lists.
struct Desk {
    explicit Desk(Automation& a) : automation(a) { program.main.load(); }
    ~Desk() { program.main.unload(); }
    frmMain& window() { return *program.main.get(); }

    Automation& automation;
    SimDesktop desktop;
    SimClock clock;
    SimTimers timers{clock};
    SimEventLoop loop;
    SimFormHost host{desktop};
    AppContext app{"/nonexistent", desktop, timers, loop, clock, host};
    FileRegistry registry{"/nonexistent/registry.reg"};
    Program program{app, automation, registry};
};

struct Sim {
    SimDesktop desktop;
    SimEventLoop loop;
    SimWeb web;
    SimAutomation automation{desktop, loop, web};
    Sim() {
        web.setPage("http://page.example/", "<html><body><p>page</p></body></html>");
        automation.openWindow("http://page.example/");
    }
};

struct Environment {
    chromium::PrivateBrowserProcess process;
    std::unique_ptr<chromium::ChromiumAutomation> automation;
    std::shared_ptr<BrowserWindow> tab;
    Sim sim;

    bool start() {
        if (!process.start("/usr/bin/chromium")) return false;
        if (!waitFor([&] { return process.port() > 0; }, 20000)) return false;
        chromium::BrowserSettings s;
        s.address = "127.0.0.1:" + std::to_string(process.port());
        s.startBrowser = false;
        s.callTimeoutMs = 10000;
        automation = std::make_unique<chromium::ChromiumAutomation>(s, nullptr);
        auto list = automation->createShellWindows();
        if (!waitFor([&] { return list->Count() == 1; }, 20000)) return false;
        tab = list->Item(0);
        return true;
    }
};

void syncCall(benchmark::State& state, Environment& env) {
    auto simWindow = env.sim.automation.createShellWindows()->Item(0);
    const double baseline =
        secondsPerCall(20000, [&] { benchmark::DoNotOptimize(simWindow->FullScreen()); });
    const auto start = Clock::now();
    for (auto _ : state) benchmark::DoNotOptimize(env.tab->FullScreen());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["x_sim_call"] = seconds / static_cast<double>(state.iterations()) / baseline;
}

void timer10Tick(benchmark::State& state, Environment& env) {
    Desk simDesk(env.sim.automation);
    const double baseline = secondsPerCall(20000, [&] { simDesk.window().Timer10_Timer(); });
    Desk desk(*env.automation);
    if (desk.program.browser.IEWin->Count() != 1) state.SkipWithError("the tab is not tracked");
    const auto start = Clock::now();
    for (auto _ : state) desk.window().Timer10_Timer();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["x_sim_tick"] = seconds / static_cast<double>(state.iterations()) / baseline;
}

QStringList targetReports(int targets) {
    QStringList out;
    for (int i = 0; i < targets; ++i) {
        const QString info =
            QStringLiteral(R"({"targetId":"T%1","type":"page","url":"http://x.example/%1",)"
                           R"("title":"","attached":false,"canAccessOpener":false})")
                .arg(i);
        out << QStringLiteral(R"({"method":"Target.targetCreated","params":{"targetInfo":%1}})")
                   .arg(info)
            << QStringLiteral(R"({"method":"Target.targetInfoChanged","params":{"targetInfo":%1}})")
                   .arg(info);
    }
    return out;
}

// Seconds per message from arrival to handled, the queue handed out as the loop turns.
double floodSecondsPerMessage(int targets) {
    chromium::BrowserSettings s;
    s.startBrowser = false;
    s.reconnectMs = 0;
    auto browser = std::make_shared<chromium::CdpBrowser>(s, nullptr);
    chromium::CdpConnection& connection = browser->connection();
    connection.acceptForTesting();
    QCoreApplication::processEvents();
    const QStringList messages = targetReports(targets);
    const auto start = Clock::now();
    for (const QString& m : messages) connection.receive(m);
    while (connection.queued() > 0) QCoreApplication::processEvents();
    return std::chrono::duration<double>(Clock::now() - start).count() / messages.size();
}

void targetFlood(benchmark::State& state) {
    const QStringList sample = targetReports(1000);
    const double parse =
        secondsPerCall(20,
                       [&] {
                           for (const QString& m : sample)
                               benchmark::DoNotOptimize(QJsonDocument::fromJson(m.toUtf8()));
                       }) /
        sample.size();
    double small = 0;
    double large = 0;
    for (auto _ : state) {
        small = floodSecondsPerMessage(1000);
        large = floodSecondsPerMessage(40000);
    }
    state.counters["x_json_parse"] = large / parse;
    state.counters["x_growth"] = large / small;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Environment env;
    if (!env.start()) {
        std::fprintf(stderr, "bench_chromium: the browser did not come up\n");
        return 1;
    }
    benchmark::RegisterBenchmark("BM_SyncCallRoundTrip",
                                 [&env](benchmark::State& s) { syncCall(s, env); });
    benchmark::RegisterBenchmark("BM_Timer10TickOneTab",
                                 [&env](benchmark::State& s) { timer10Tick(s, env); });
    benchmark::RegisterBenchmark("BM_TargetFlood", targetFlood)->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
