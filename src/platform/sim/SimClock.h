#pragma once
#include <cstdint>
#include <functional>
#include <map>

#include "ports/Clock.h"
#include "ports/EventLoop.h"
#include "ports/Timers.h"

namespace surfdeck {

// Virtual time: nothing happens until a test or script advances it.
class SimClock : public Clock {
  public:
    // The local date and time at virtual time 0.
    explicit SimClock(LocalDateTime start = {2026, 12, 6, 9, 30, 0}) : start_(start) {}
    LocalDateTime now() override;
    std::int64_t monotonicMs() override { return nowMs_; }
    void setMs(std::int64_t ms) { nowMs_ = ms; }

  private:
    LocalDateTime start_;
    std::int64_t nowMs_ = 0;
};

// Timers on the virtual clock. advance() fires every tick that falls due, in time
// order (ties in the order the timers were started), moving the clock to each tick.
class SimTimers : public Timers {
  public:
    explicit SimTimers(SimClock& clock) : clock_(clock) {}
    TimerId startTimer(int intervalMs, std::function<void()> tick) override;
    void stopTimer(TimerId id) override;
    void advance(std::int64_t ms);
    bool isRunning(TimerId id) const { return timers_.count(id) != 0; }
    int intervalOf(TimerId id) const;
    std::size_t runningCount() const { return timers_.size(); }
    // Virtual time costs nothing to wake, so an idle timer still ticks; the hint is
    // only recorded, for tests.
    void setIdle(TimerId id, bool idle) override;
    bool isIdle(TimerId id) const;
    std::size_t idleCount() const;

  private:
    struct Entry {
        int interval = 0;
        bool idle = false;
        std::int64_t due = 0;
        std::function<void()> tick;
    };
    SimClock& clock_;
    TimerId nextId_ = 1;
    std::map<TimerId, Entry> timers_;
};

// Posted work that runs when the program pumps messages.
class SimEventLoop : public EventLoop {
  public:
    void post(std::function<void()> work);
    void doEvents() override;
    void quit() override { quitRequested_ = true; }
    bool quitRequested() const { return quitRequested_; }
    int doEventsCalls() const { return doEventsCalls_; }
    bool hasPending() const { return !pending_.empty(); }

  private:
    std::multimap<int, std::function<void()>> pending_;
    int nextSeq_ = 0;
    bool quitRequested_ = false;
    int doEventsCalls_ = 0;
};

}  // namespace surfdeck
