#pragma once
#include <map>
#include <memory>

#include "ports/Timers.h"

class QTimer;

namespace surfdeck {

// Message timers on Qt's event loop.
class QtTimers : public Timers {
  public:
    QtTimers();
    ~QtTimers() override;
    QtTimers(const QtTimers&) = delete;
    QtTimers& operator=(const QtTimers&) = delete;

    TimerId startTimer(int intervalMs, std::function<void()> tick) override;
    void stopTimer(TimerId id) override;
    // An idle timer's Qt timer is stopped: no wake-ups until it is busy again.
    void setIdle(TimerId id, bool idle) override;
    // Timers that are running now, idle ones included.
    std::size_t runningCount() const { return timers_.size(); }
    // Timers that wake the event loop now.
    std::size_t wakingCount() const;

  private:
    struct Entry;
    std::map<TimerId, std::shared_ptr<Entry>> timers_;
    TimerId nextId_ = 1;
};

}  // namespace surfdeck
