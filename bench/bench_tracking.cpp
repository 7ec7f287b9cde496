// Browser tracking on the simulated shell: a full rebuild of 50 tracked windows, and one
// wrapper event forwarded to a receiver. Each is reported as a multiple of a plain
// virtual call (counter "x_virtual_call"), measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "browser/IE_Class.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWeb.h"

namespace {

using namespace surfdeck;
using Clock = std::chrono::steady_clock;

struct Target {
    virtual ~Target() = default;
    virtual void call(std::int32_t command, bool& enable) = 0;
};

struct Counter : Target {
    std::int64_t calls = 0;
    void call(std::int32_t command, bool& enable) override {
        calls += command;
        benchmark::DoNotOptimize(enable);
    }
};

double virtualCallSeconds() {
    constexpr int kRounds = 1'000'000;
    Counter counter;
    Target* target = &counter;
    benchmark::DoNotOptimize(target);
    bool enable = true;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        target->call(1, enable);
        benchmark::ClobberMemory();
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / kRounds;
}

template <class Op>
void againstVirtualCall(benchmark::State& state, Op op) {
    const double baseline = virtualCallSeconds();
    const auto start = Clock::now();
    for (auto _ : state) op();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["x_virtual_call"] = seconds / static_cast<double>(state.iterations()) / baseline;
}

struct Shell {
    SimDesktop desktop;
    SimClock clock;
    SimEventLoop loop;
    SimWeb web;
    SimAutomation automation{desktop, loop, web};
    TrackingContext ctx{desktop, loop, clock, automation};

    explicit Shell(int windows) {
        web.setPage("http://page.example/", "<html><body><p>page</p></body></html>");
        for (int i = 0; i < windows; ++i) {
            int n = automation.openWindow("http://page.example/").number;
            // Half of them have forward history, so the probe runs its full course.
            if (i % 2 == 0) automation.window(n)->setHistory({}, {"http://next.example/"});
        }
    }
};

void BM_Rebuild50Windows(benchmark::State& state) {
    Shell shell(50);
    cIEWindows list(shell.ctx);
    againstVirtualCall(state, [&] {
        list.Refresh();
        benchmark::DoNotOptimize(list.Count());
    });
    // The request log grows with every probe; keep it out of the next run's memory.
    shell.automation.clearRequests();
}
BENCHMARK(BM_Rebuild50Windows);

struct Receiver : cIEWindowsEvents {
    std::int64_t calls = 0;
    void IECommandStateChange(const std::int32_t& handle, std::int32_t command,
                              bool& enable) override {
        calls += handle + command;
        benchmark::DoNotOptimize(enable);
    }
};

void BM_ForwardOneEvent(benchmark::State& state) {
    Shell shell(1);
    cIEWindows list(shell.ctx);
    Receiver receiver;
    list.addReceiver(&receiver);
    auto ie = list.IE(1);
    const std::int32_t handle = ie->IEHandle();
    const std::int32_t command = CSC_NAVIGATEBACK;
    const bool enable = true;
    const IEEventArg args[] = {&command, &enable};
    againstVirtualCall(
        state, [&] { ForwardIEEvent(shell.ctx, *ie, ie_event::CommandStateChange, handle, args); });
    benchmark::DoNotOptimize(receiver.calls);
}
BENCHMARK(BM_ForwardOneEvent);

}  // namespace

BENCHMARK_MAIN();
