#include "platform/qt/QtTimers.h"

#include <QTimer>

namespace surfdeck {

struct QtTimers::Entry {
    std::function<void()> tick;
    QTimer* timer = nullptr;  // deleted later: it may be stopped from its own timeout
    bool ticking = false;
    bool stopped = false;
    bool idle = false;
};

QtTimers::QtTimers() = default;

QtTimers::~QtTimers() {
    for (auto& [id, e] : timers_) {
        e->stopped = true;
        e->timer->stop();
        e->timer->deleteLater();
    }
}

Timers::TimerId QtTimers::startTimer(int intervalMs, std::function<void()> tick) {
    const TimerId id = nextId_++;
    if (intervalMs <= 0) return id;  // a period of 0 never ticks
    auto entry = std::make_shared<Entry>();
    entry->tick = std::move(tick);
    entry->timer = new QTimer();
    entry->timer->setInterval(intervalMs);
    std::weak_ptr<Entry> weak = entry;
    QObject::connect(entry->timer, &QTimer::timeout, entry->timer, [weak] {
        std::shared_ptr<Entry> e = weak.lock();
        // A nested event loop inside a tick (a menu, a wait) must not run the same
        // timer's tick again before the first has returned.
        if (!e || e->stopped || e->ticking) return;
        e->ticking = true;
        auto run = e->tick;  // the tick may stop its own timer
        run();
        e->ticking = false;
    });
    entry->timer->start();
    timers_[id] = std::move(entry);
    return id;
}

void QtTimers::stopTimer(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stopped = true;
    it->second->timer->stop();
    it->second->timer->deleteLater();
    timers_.erase(it);
}

void QtTimers::setIdle(TimerId id, bool idle) {
    auto it = timers_.find(id);
    if (it == timers_.end() || it->second->idle == idle) return;
    Entry& e = *it->second;
    e.idle = idle;
    if (idle) {
        e.timer->stop();
    } else {
        e.timer->start();
    }
}

std::size_t QtTimers::wakingCount() const {
    std::size_t n = 0;
    for (const auto& [id, e] : timers_) n += e->timer->isActive() ? 1 : 0;
    return n;
}

}  // namespace surfdeck
