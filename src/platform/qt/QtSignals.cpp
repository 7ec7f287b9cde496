#include "platform/qt/QtSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace surfdeck {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// Written only before the handlers go in and after they are gone.
int gPipe[2] = {-1, -1};

void handleSignal(int sig) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a call to come: nothing is lost.
    [[maybe_unused]] const auto written = ::write(gPipe[1], &byte, 1);
    std::signal(sig, SIG_DFL);
    errno = saved;
}

}  // namespace

QtSignals::QtSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { drain(); });
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : kSignals) ::sigaction(sig, &action, nullptr);
}

QtSignals::~QtSignals() {
    if (!notifier_) return;
    for (int sig : kSignals) std::signal(sig, SIG_DFL);
    notifier_.reset();
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void QtSignals::drain() {
    unsigned char bytes[16];
    for (;;) {
        const auto n = ::read(gPipe[0], bytes, sizeof bytes);
        if (n <= 0) return;
        for (ssize_t i = 0; i < n; ++i) {
            if (onSignal_) onSignal_(bytes[i]);
        }
    }
}

}  // namespace surfdeck
