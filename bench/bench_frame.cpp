// One roll-up tick of the main window and one title-bar drag move, each reported as a
// multiple of an empty mouse handler reached the same way (counter "x_empty_handler"),
// measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>

#include "frame/FrameFixture.h"
#include "mainwindow/frmMain.h"

namespace {

using namespace surfdeck;
using Clock = std::chrono::steady_clock;

// The main window shown at 100, 100 pixels with the pointer over it.
struct MainWindow {
    testing::FrameFixture fx;
    forms::FormSlot<frmMain> slot = fx.slot<frmMain>();
    frmMain& m = slot.show();
    MainWindow() {
        m.move(1500, 1500);
        fx.desktop.setCursorPos({150, 110});
        m.Image1.onMouseMove = [](int, int, float, float) {};
    }
};

// Seconds per call of a mouse move that reaches an empty handler.
double emptyHandlerSeconds(MainWindow& w) {
    constexpr int kRounds = 200000;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
        w.m.Image1.mouseMove(forms::LeftButton, 0, 100.0f + static_cast<float>(i & 1), 100.0f);
    }
    return std::chrono::duration<double>(Clock::now() - start).count() / kRounds;
}

template <class Op>
void againstEmptyHandler(benchmark::State& state, MainWindow& w, Op op) {
    const double baseline = emptyHandlerSeconds(w);
    const auto start = Clock::now();
    for (auto _ : state) op();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["x_empty_handler"] =
        seconds / static_cast<double>(state.iterations()) / baseline;
}

// A tick that finds the pointer inside the full window: the common case.
void BM_RollUpTick(benchmark::State& state) {
    MainWindow w;
    againstEmptyHandler(state, w, [&] { w.m.Timer2_Timer(); });
    if (w.m.height() != 984) state.SkipWithError("the window rolled up");
}
BENCHMARK(BM_RollUpTick);

// A move in the free zone: the window follows the pointer, one twip to and fro.
void BM_DragMove(benchmark::State& state) {
    MainWindow w;
    w.m.Label1.mouseDown(forms::LeftButton, 0, 760, 100);
    float x = 761;
    againstEmptyHandler(state, w, [&] {
        w.m.Label1.mouseMove(forms::LeftButton, 0, x, 100);
        x = x == 761 ? 759 : 761;
    });
    if (w.m.left() < 1400 || w.m.left() > 1600) state.SkipWithError("the window drifted");
}
BENCHMARK(BM_DragMove);

}  // namespace

BENCHMARK_MAIN();
