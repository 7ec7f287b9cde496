#pragma once
#include <memory>
#include <string>
#include <type_traits>

#include "app/Main.h"
#include "forms/Form.h"
#include "platform/file/FileRegistry.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWeb.h"
#include "settings/AppContext.h"

namespace surfdeck {
class frmMain;
class frmWeb;
}  // namespace surfdeck

namespace surfdeck::testing {

// A 1024 x 768 screen at 15 twips per pixel, virtual time, an empty simulated shell and
// the program's context. Windows made by slot() are the fixture's own, beside the
// program's.
struct FrameFixture {
    SimDesktop desktop;
    SimClock clock;
    SimTimers timers{clock};
    SimEventLoop loop;
    SimWeb web;
    SimAutomation automation{desktop, loop, web};
    SimFormHost host{desktop};
    AppContext app{"/nonexistent", desktop, timers, loop, clock, host};
    FileRegistry registry{"/nonexistent/registry.reg"};
    Program program{app, automation, registry};

    template <class F>
    forms::FormSlot<F> slot() {
        return forms::FormSlot<F>([this] { return make<F>(); });
    }

    template <class F>
    std::unique_ptr<F> make() {
        if constexpr (std::is_same_v<F, frmMain>) {
            return std::make_unique<F>(app, program.browser, program);
        } else if constexpr (std::is_same_v<F, frmWeb>) {
            return std::make_unique<F>(app, [](const std::string&) {});
        } else {
            return std::make_unique<F>(app, program.browser);
        }
    }
};

// The same with one window of type F loaded and shown.
template <class F>
struct Shown : FrameFixture {
    forms::FormSlot<F> window = slot<F>();
    F& f = window.show();
};

}  // namespace surfdeck::testing
