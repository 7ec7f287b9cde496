// ReadIni and WriteIni on a settings file of 200 keys, each reported as a multiple of
// just opening and reading that file (counter "x_open_read"), measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "settings/Settings.h"
#include "support/TempFolder.h"

namespace {

using surfdeck::testing::TempFolder;
using Clock = std::chrono::steady_clock;

// 4 sections of 50 keys, each value about as long as a short recent list.
std::string twoHundredKeys() {
    std::string text;
    for (int s = 0; s < 4; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 50; ++k)
            text += "Key" + std::to_string(k) + "=value " + std::to_string(s * 50 + k) +
                    ";another entry;a third one\r\n";
    }
    return text;
}

std::size_t openAndRead(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    char buffer[1 << 16];
    std::size_t total = 0;
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) total += n;
    std::fclose(f);
    return total;
}

double openAndReadSeconds(const std::string& path) {
    constexpr int kRounds = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) benchmark::DoNotOptimize(openAndRead(path));
    return std::chrono::duration<double>(Clock::now() - start).count() / kRounds;
}

// Times op in the benchmark loop and sets the ratio against the baseline.
template <class Op>
void againstOpenAndRead(benchmark::State& state, const std::string& path, Op op) {
    const double baseline = openAndReadSeconds(path);
    const auto start = Clock::now();
    for (auto _ : state) op();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["x_open_read"] = seconds / static_cast<double>(state.iterations()) / baseline;
}

struct SettingsFile {
    TempFolder folder;
    std::string path = surfdeck::settingsPath(folder.path());
    SettingsFile() { surfdeck::testing::writeBytes(path, twoHundredKeys()); }
};

void BM_OpenAndRead(benchmark::State& state) {
    SettingsFile file;
    againstOpenAndRead(state, file.path, [&] { benchmark::DoNotOptimize(openAndRead(file.path)); });
}
BENCHMARK(BM_OpenAndRead);

void BM_ReadIni_FirstKey(benchmark::State& state) {
    SettingsFile file;
    againstOpenAndRead(state, file.path, [&] {
        benchmark::DoNotOptimize(surfdeck::ReadIni("section0", "key0", "", file.path));
    });
}
BENCHMARK(BM_ReadIni_FirstKey);

void BM_ReadIni_LastKey(benchmark::State& state) {
    SettingsFile file;
    againstOpenAndRead(state, file.path, [&] {
        benchmark::DoNotOptimize(surfdeck::ReadIni("SECTION3", "KEY49", "", file.path));
    });
}
BENCHMARK(BM_ReadIni_LastKey);

void BM_ReadIni_AbsentKey(benchmark::State& state) {
    SettingsFile file;
    againstOpenAndRead(state, file.path, [&] {
        benchmark::DoNotOptimize(surfdeck::ReadIni("Section3", "Absent", "100", file.path));
    });
}
BENCHMARK(BM_ReadIni_AbsentKey);

void BM_WriteIni_Replace(benchmark::State& state) {
    SettingsFile file;
    bool flip = false;
    againstOpenAndRead(state, file.path, [&] {
        flip = !flip;
        surfdeck::WriteIni("Section2", "Key25", flip ? "1515" : "-30", file.path);
    });
}
BENCHMARK(BM_WriteIni_Replace);

}  // namespace

BENCHMARK_MAIN();
