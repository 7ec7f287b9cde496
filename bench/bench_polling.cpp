// One polling tick of the main window (Timer10) with 1, 10 and 50 tracked browser
// windows, the one in front listed last so that both walks run their full length.
// Reported as a multiple of a loop that only compares 50 handles (counter
// "x_compare_50"), measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <vector>

#include "app/Main.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "forms/Form.h"
#include "mainwindow/frmMain.h"
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

double compare50Seconds() {
    constexpr int kRounds = 200'000;
    std::vector<Hwnd> handles;
    for (Hwnd h = 1; h <= 50; ++h) handles.push_back(h * 16);
    Hwnd wanted = 50 * 16;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        benchmark::DoNotOptimize(wanted);
        Hwnd found = 0;
        for (Hwnd h : handles) {
            if (h == wanted) {
                found = h;
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / kRounds;
}

struct Desk {
    SimDesktop desktop;
    SimClock clock;
    SimTimers timers{clock};
    SimEventLoop loop;
    SimWeb web;
    SimAutomation automation{desktop, loop, web};
    SimFormHost host{desktop};
    AppContext app{"/nonexistent", desktop, timers, loop, clock, host};
    FileRegistry registry{"/nonexistent/registry.reg"};
    Program program{app, automation, registry};

    explicit Desk(int windows) {
        Hwnd last = 0;
        for (int i = 0; i < windows; ++i)
            last = automation.openWindow("http://page.example/").handle;
        program.main.load();
        desktop.userActivate(last);
    }
    ~Desk() { program.main.unload(); }
};

void BM_Timer10Tick(benchmark::State& state) {
    Desk desk(static_cast<int>(state.range(0)));
    frmMain& m = *desk.program.main.get();
    const double baseline = compare50Seconds();
    const auto start = Clock::now();
    for (auto _ : state) m.Timer10_Timer();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["x_compare_50"] = seconds / static_cast<double>(state.iterations()) / baseline;
    if (desk.program.browser.ActiveIEHwnd == 0)
        state.SkipWithError("the window in front was not found");
}
BENCHMARK(BM_Timer10Tick)->Arg(1)->Arg(10)->Arg(50);

}  // namespace

BENCHMARK_MAIN();
