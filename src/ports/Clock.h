#pragma once
#include <cstdint>

namespace surfdeck {

struct LocalDateTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    // The local date and time now.
    virtual LocalDateTime now() = 0;
    // Milliseconds on a clock that never goes back; for time-outs and expiries.
    virtual std::int64_t monotonicMs() = 0;
};

}  // namespace surfdeck
