#include "platform/sim/SimClock.h"

#include <ctime>
#include <limits>

namespace surfdeck {

LocalDateTime SimClock::now() {
    std::tm t{};
    t.tm_year = start_.year - 1900;
    t.tm_mon = start_.month - 1;
    t.tm_mday = start_.day;
    t.tm_hour = start_.hour;
    t.tm_min = start_.minute;
    t.tm_sec = start_.second + static_cast<int>(nowMs_ / 1000);
    // timegm normalises the overflowing seconds without any time zone.
    std::time_t flat = timegm(&t);
    std::tm out{};
    gmtime_r(&flat, &out);
    return {out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour, out.tm_min, out.tm_sec};
}

Timers::TimerId SimTimers::startTimer(int intervalMs, std::function<void()> tick) {
    TimerId id = nextId_++;
    if (intervalMs <= 0) return id;  // a period of 0 never ticks
    timers_[id] = Entry{intervalMs, false, clock_.monotonicMs() + intervalMs, std::move(tick)};
    return id;
}

void SimTimers::stopTimer(TimerId id) {
    timers_.erase(id);
}

int SimTimers::intervalOf(TimerId id) const {
    auto it = timers_.find(id);
    return it == timers_.end() ? 0 : it->second.interval;
}

void SimTimers::setIdle(TimerId id, bool idle) {
    auto it = timers_.find(id);
    if (it != timers_.end()) it->second.idle = idle;
}

bool SimTimers::isIdle(TimerId id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second.idle;
}

std::size_t SimTimers::idleCount() const {
    std::size_t n = 0;
    for (const auto& [id, e] : timers_) n += e.idle ? 1 : 0;
    return n;
}

void SimTimers::advance(std::int64_t ms) {
    const std::int64_t target = clock_.monotonicMs() + ms;
    for (;;) {
        TimerId next = 0;
        std::int64_t due = std::numeric_limits<std::int64_t>::max();
        for (const auto& [id, e] : timers_) {
            if (e.due < due) {
                due = e.due;
                next = id;
            }
        }
        if (next == 0 || due > target) break;
        clock_.setMs(due);
        auto& entry = timers_.at(next);
        entry.due = due + entry.interval;
        // The tick may stop or restart timers, its own included: call a copy.
        auto tick = entry.tick;
        tick();
    }
    clock_.setMs(target);
}

void SimEventLoop::post(std::function<void()> work) {
    pending_.emplace(nextSeq_++, std::move(work));
}

void SimEventLoop::doEvents() {
    ++doEventsCalls_;
    // Only what is pending now; work posted meanwhile waits for the next turn.
    auto batch = std::move(pending_);
    pending_.clear();
    for (auto& [seq, work] : batch) work();
}

}  // namespace surfdeck
