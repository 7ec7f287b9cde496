#pragma once
#include <functional>
#include <memory>

class QSocketNotifier;

namespace surfdeck {

// Turns SIGTERM, SIGHUP and SIGINT (the session ending, the terminal closing, Ctrl+C)
// into one call on the event loop, where the program can shut down as its close button
// would. The handler only writes the signal's number into a pipe; a second signal of the
// same kind ends the program at once, so a shut-down that hangs cannot hold up the
// session. One instance per process.
class QtSignals {
  public:
    explicit QtSignals(std::function<void(int signal)> onSignal);
    ~QtSignals();
    QtSignals(const QtSignals&) = delete;
    QtSignals& operator=(const QtSignals&) = delete;

    // Whether the handlers are in place (a pipe could be made).
    bool installed() const { return notifier_ != nullptr; }

  private:
    void drain();

    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace surfdeck
