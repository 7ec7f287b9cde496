// Start-up of the Qt front end: time from process start to a skinned main window shown
// (frame pictures, title band, twelve toolbar pictures), and resident memory once it is
// shown, each against a minimal Qt Widgets program started and measured the same way in
// the same run. Both run as child processes on Qt's offscreen platform.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QWidget>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "forms/Form.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtTimers.h"

namespace {

using namespace surfdeck;

// The main window's frame and toolbar as the program designs them.
class MainLikeForm : public forms::Form {
  public:
    explicit MainLikeForm(forms::FormContext& c) : Form(c, "frmMain") {
        designSize(3000, 1500, 2424, 1000);
        for (forms::Control* ctl : std::initializer_list<forms::Control*>{
                 &shpTitle, &Label1, &imgLeftCorner, &Image1, &Image2, &Image3, &Image4, &Image5,
                 &Image41, &Image42, &Image51, &Image52, &Toolbar1}) {
            add(*ctl);
        }
        shpTitle.move(0, 0, 2424, 228);
        shpTitle.setFillColour(forms::rgb(0, 88, 240));
        Label1.move(240, 0, 2424, 216);
        Label1.setTransparent(true);
        Label1.setBold(true);
        Label1.setForeRole("highlight-text");
        Label1.setCaption("Surfdeck");
        picture(imgLeftCorner, "corner.svg", 0, 0, 192, 192, false);
        picture(Image1, "edge-left.svg", 0, 0, 48, 1000, true);
        picture(Image2, "edge-right.svg", 2376, 0, 48, 1000, true);
        picture(Image3, "edge-bottom.svg", 0, 952, 2424, 48, true);
        picture(Image4, "min.svg", 2140, 36, 132, 132, true);
        picture(Image5, "close.svg", 2272, 36, 132, 132, true);
        for (auto [img, file] : {std::pair{&Image41, "min.svg"},
                                 {&Image42, "min-pressed.svg"},
                                 {&Image51, "close.svg"},
                                 {&Image52, "close-pressed.svg"}}) {
            img->setPicture(file);
            img->setVisible(false);
        }
        Toolbar1.move(36, 216, 2340, 720);
        for (const char* key : {"news", "options", "image", "web", "related", "window", "stop",
                                "refresh", "home", "full", "back", "forward"}) {
            Toolbar1.addButton({key, key, key, "", std::string("tb-") + key + ".svg", true});
        }
    }

  private:
    static void picture(forms::Image& i, const char* file, double l, double t, double w, double h,
                        bool stretch) {
        i.move(l, t, w, h);
        i.setStretch(stretch);
        i.setPicture(file);
    }
    forms::Shape shpTitle{*this, "shpTitle"};
    forms::Label Label1{*this, "Label1"};
    forms::Image imgLeftCorner{*this, "imgLeftCorner"};
    forms::Image Image1{*this, "Image1"}, Image2{*this, "Image2"}, Image3{*this, "Image3"};
    forms::Image Image4{*this, "Image4"}, Image5{*this, "Image5"};
    forms::Image Image41{*this, "Image41"}, Image42{*this, "Image42"};
    forms::Image Image51{*this, "Image51"}, Image52{*this, "Image52"};
    forms::Toolbar Toolbar1{*this, "Toolbar1"};
};

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

// Waits until the window is on the screen and painted, then reports.
int shownAndReport(QApplication& app, QWidget& window) {
    while (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        app.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    window.repaint();
    app.processEvents();
    std::printf("shown %ld\n", residentKb());
    std::fflush(stdout);
    return 0;
}

int runChild(const char* kind, int argc, char** argv) {
    QApplication app(argc, argv);
    if (std::strcmp(kind, "form") == 0) {
        QtFormHost host;
        QtTimers timers;
        forms::FormContext context(host, timers);
        MainLikeForm form(context);
        form.show();
        return shownAndReport(app, *host.window(form));
    }
    QWidget window;
    window.setGeometry(200, 100, 162, 67);
    window.show();
    return shownAndReport(app, window);
}

struct Start {
    double seconds = 0;
    long residentKb = 0;
};

// Starts this program again as a child of the given kind; the clock runs from before
// the process exists until its report line arrives.
Start startChild(const char* kind) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        // The platform's notes would only clutter the figures.
        if (int devNull = open("/dev/null", O_WRONLY); devNull >= 0) dup2(devNull, STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const std::string arg = std::string("--child=") + kind;
        execl("/proc/self/exe", "bench_qt_startup", arg.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string line;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') line += c;
    const auto t1 = std::chrono::steady_clock::now();
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Start s;
    if (line.rfind("shown ", 0) != 0) return s;
    s.seconds = std::chrono::duration<double>(t1 - t0).count();
    s.residentKb = std::atol(line.c_str() + 6);
    return s;
}

void BM_QtStartupAgainstMinimalQt(benchmark::State& state) {
    double formS = 0, baseS = 0;
    double formKb = 0, baseKb = 0;
    int runs = 0;
    for (auto _ : state) {
        const Start base = startChild("minimal");
        const Start form = startChild("form");
        if (base.seconds <= 0 || form.seconds <= 0) {
            state.SkipWithError("a child did not report its window shown");
            return;
        }
        state.SetIterationTime(form.seconds);
        formS += form.seconds;
        baseS += base.seconds;
        formKb += static_cast<double>(form.residentKb);
        baseKb += static_cast<double>(base.residentKb);
        ++runs;
    }
    if (runs == 0) return;
    state.counters["minimal_ms"] = baseS * 1000 / runs;
    state.counters["shown_ms"] = formS * 1000 / runs;
    state.counters["time_ratio"] = formS / baseS;
    state.counters["minimal_rss_kb"] = baseKb / runs;
    state.counters["rss_kb"] = formKb / runs;
    state.counters["rss_ratio"] = formKb / baseKb;
}
BENCHMARK(BM_QtStartupAgainstMinimalQt)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--child=", 8) == 0) return runChild(argv[i] + 8, argc, argv);
    }
    // The children run without a display whatever this one has.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
