#pragma once
#include <memory>

#include "forms/Form.h"
#include "frame/SkinnedForm.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "shell/AppContext.h"

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

// The pointer at a screen place in twips, as the title label sees it.
inline float labelX(const SkinnedForm& f, float screenX) {
    return screenX - static_cast<float>(f.left() + f.Label1.left());
}
inline float labelY(const SkinnedForm& f, float screenY) {
    return screenY - static_cast<float>(f.top() + f.Label1.top());
}
inline void pressTitle(SkinnedForm& f, float sx, float sy, int button = forms::LeftButton) {
    f.Label1.mouseDown(button, 0, labelX(f, sx), labelY(f, sy));
}
inline void dragTitle(SkinnedForm& f, float sx, float sy, int buttons = forms::LeftButton) {
    f.Label1.mouseMove(buttons, 0, labelX(f, sx), labelY(f, sy));
}

}  // namespace surfdeck::testing
