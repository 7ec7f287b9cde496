#pragma once
#include <memory>

#include "forms/Form.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "settings/AppContext.h"

namespace surfdeck::testing {

// A 1024 x 768 screen at 15 twips per pixel, virtual time, and the program's context.
struct FrameFixture {
    SimDesktop desktop;
    SimClock clock;
    SimTimers timers{clock};
    SimEventLoop loop;
    SimFormHost host{desktop};
    AppContext app{"/nonexistent", desktop, timers, loop, clock, host};

    template <class F>
    forms::FormSlot<F> slot() {
        return forms::FormSlot<F>([this] { return std::make_unique<F>(app); });
    }
};

// The same with one window of type F loaded and shown.
template <class F>
struct Shown : FrameFixture {
    forms::FormSlot<F> window = slot<F>();
    F& f = window.show();
};

}  // namespace surfdeck::testing
