// A call's round trip on the extension route: Surfdeck's backend -> the real surfdeck-bridge
// -> a fake extension on the bridge's standard streams (its own thread, answering at once)
// -> back. Baseline: one message there and back over a bare socketpair to a thread in this
// process. Each reports its median per call as "median_us".
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/extension/qt/ExtensionAutomation.h"

namespace {

using namespace surfdeck;
using namespace surfdeck::extension;
using Clock = std::chrono::steady_clock;

bool writeFrame(int fd, const std::string& json) {
    const std::string frame = wire::encodeFrame(json);
    return write(fd, frame.data(), frame.size()) == static_cast<ssize_t>(frame.size());
}

// Reads frames from fd and hands each to fn until the stream ends.
void readFrames(int fd, const std::function<void(const std::string&)>& fn) {
    wire::FrameDecoder decoder(wire::kMaxFromBrowser);
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) {
        decoder.feed(buffer, static_cast<std::size_t>(n));
        while (auto text = decoder.next()) fn(*text);
    }
}

void reportMedian(benchmark::State& state, std::vector<double>& samples) {
    if (samples.empty()) return;
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
}

double microsSince(Clock::time_point t) {
    return std::chrono::duration<double, std::micro>(Clock::now() - t).count();
}

void BM_SocketpairRoundTrip(benchmark::State& state) {
    int fds[2];
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds);
    std::thread echo(
        [fd = fds[1]] { readFrames(fd, [fd](const std::string& text) { writeFrame(fd, text); }); });
    const std::string call = R"({"type":"call","id":1,"method":"getBody","tabId":10})";
    wire::FrameDecoder decoder(wire::kMaxToBrowser);
    std::vector<double> samples;
    char buffer[65536];
    for (auto _ : state) {
        const auto t = Clock::now();
        writeFrame(fds[0], call);
        std::optional<std::string> answer;
        while (!answer) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            decoder.feed(buffer, static_cast<std::size_t>(n));
            answer = decoder.next();
        }
        samples.push_back(microsSince(t));
    }
    shutdown(fds[0], SHUT_RDWR);
    echo.join();
    close(fds[0]);
    close(fds[1]);
    reportMedian(state, samples);
}
BENCHMARK(BM_SocketpairRoundTrip)->UseRealTime();

void BM_BridgeRoundTrip(benchmark::State& state) {
    std::string scratch = (std::filesystem::temp_directory_path() / "sd-bench-XXXXXX").string();
    if (!mkdtemp(scratch.data())) return state.SkipWithError("no scratch folder");
    setenv("XDG_RUNTIME_DIR", scratch.c_str(), 1);
    ExtensionSettings settings;
    settings.useWindowSystem = false;
    ExtensionAutomation automation(settings, {});
    auto list = automation.createShellWindows();

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) return state.SkipWithError("no pipes");
    const pid_t bridge = fork();
    if (bridge == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execl(SURFDECK_BIN_DIR "/surfdeck-bridge", "surfdeck-bridge", nullptr);
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    // The extension: answers calls at once, and gives its one tab on every resync.
    std::thread extension([toBridge = in[1], fromBridge = out[0]] {
        writeFrame(toBridge, R"({"type":"hello","protocol":1,"browser":"chromium"})");
        readFrames(fromBridge, [toBridge](const std::string& text) {
            auto m = wire::parseMessage(text);
            if (!m) return;
            const std::string type = wire::messageType(*m);
            if (type == "resync")
                writeFrame(toBridge, R"({"type":"state","windows":[{"id":1,"tabs":[{"id":10,)"
                                     R"("windowId":1,"index":0,"url":"http://a/"}]}]})");
            else if (type == "call")
                writeFrame(toBridge, R"({"type":"reply","ok":true,"result":{"html":"<body>)"
                                     R"(</body>"},"id":)" +
                                         (*m)["id"].dump() + "}");
        });
    });
    QElapsedTimer waited;
    waited.start();
    while (list->Count() == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (list->Count() == 0) {
        state.SkipWithError("the bridge did not connect");
    } else {
        auto document = list->Item(0)->Document();
        std::vector<double> samples;
        for (auto _ : state) {
            const auto t = Clock::now();
            benchmark::DoNotOptimize(document->bodyOuterHTML());
            samples.push_back(microsSince(t));
        }
        reportMedian(state, samples);
    }
    close(in[1]);  // the browser lets the bridge go; it ends, and the extension's reading
    extension.join();
    waitpid(bridge, nullptr, 0);
    close(out[0]);
    std::filesystem::remove_all(scratch);
}
BENCHMARK(BM_BridgeRoundTrip)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
