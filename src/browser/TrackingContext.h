#pragma once
#include <cstdint>

#include "ports/Automation.h"
#include "ports/Clock.h"
#include "ports/Desktop.h"
#include "ports/EventLoop.h"

namespace surfdeck {

class cIEWindows;

// What browser tracking shares across all wrappers and lists: the ports, the pending
// cancel of the go-forward probe, and the list that receives forwarded events. The
// application makes one; tests make their own.
struct TrackingContext {
    Desktop& desktop;
    EventLoop& loop;
    Clock& clock;
    Automation& automation;

    // While true, the next BeforeNavigate2 of any wrapper is cancelled, or the next
    // document context menu suppressed, whichever comes first.
    bool CancelPending = false;
    // When CancelPending was last set; a pending cancel that nothing consumed within
    // CancelPendingLifetimeMs has expired, so it cannot hit an unrelated navigation.
    std::int64_t CancelPendingSetMs = 0;
    static constexpr std::int64_t CancelPendingLifetimeMs = 1000;

    // The most recently created list; cleared when that list ends.
    cIEWindows* IEWindowsPtr = nullptr;

    void setCancelPending() {
        CancelPending = true;
        CancelPendingSetMs = clock.monotonicMs();
    }

    // Whether a cancel is pending now (not expired); either way it is used up.
    bool takeCancelPending() {
        if (!CancelPending) return false;
        CancelPending = false;
        return clock.monotonicMs() - CancelPendingSetMs < CancelPendingLifetimeMs;
    }
};

}  // namespace surfdeck
