#pragma once
#include <functional>

namespace surfdeck {

// Periodic message timers on the user-interface thread. A tick never runs inside
// another tick of the same timer; ticks of a stopped timer never arrive.
class Timers {
  public:
    using TimerId = int;
    virtual ~Timers() = default;
    // Starts a timer that calls tick every intervalMs (> 0) until stopped.
    virtual TimerId startTimer(int intervalMs, std::function<void()> tick) = 0;
    // Stops it; an unknown id is ignored. Safe to call from inside its own tick.
    virtual void stopTimer(TimerId id) = 0;
    // A hint: until told otherwise, the timer's ticks would change nothing. A backend
    // may leave them out to save waking up, and starts the period afresh when the
    // timer is busy again. Ignoring the hint is always correct.
    virtual void setIdle(TimerId /*id*/, bool /*idle*/) {}
};

}  // namespace surfdeck
