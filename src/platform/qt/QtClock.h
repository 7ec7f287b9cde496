#pragma once
#include "ports/Clock.h"

namespace surfdeck {

class QtClock : public Clock {
  public:
    LocalDateTime now() override;
    std::int64_t monotonicMs() override;
};

}  // namespace surfdeck
