#include "platform/qt/QtClock.h"

#include <QDateTime>
#include <chrono>

namespace surfdeck {

LocalDateTime QtClock::now() {
    const QDateTime t = QDateTime::currentDateTime();
    const QDate d = t.date();
    const QTime c = t.time();
    return {d.year(), d.month(), d.day(), c.hour(), c.minute(), c.second()};
}

std::int64_t QtClock::monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace surfdeck
