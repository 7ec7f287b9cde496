#include "frame/RollUp.h"

#include <exception>
#include <limits>

#include "settings/Settings.h"

namespace surfdeck {

std::int32_t RollUp::fullHeight() const {
    return RoundHalfEven32(toolbar_.top() + toolbar_.height() + 30);
}

std::int32_t RollUp::rolledHeight() const {
    return RoundHalfEven32(titleBand_.top() + titleBand_.height() - 20);
}

bool RollUp::pointerInside() const {
    const PixelPoint p = desktop_.cursorPos();
    const double tx = desktop_.twipsPerPixelX();
    const double ty = desktop_.twipsPerPixelY();
    return window_.left() / tx < p.x && (window_.left() + window_.width()) / tx > p.x &&
           window_.top() / ty < p.y && (window_.top() + window_.height()) / ty > p.y;
}

void RollUp::tick(bool rollUpOn, std::int32_t delaySeconds) {
    if (!rollUpOn) return;
    const std::int32_t full = fullHeight();
    const std::int32_t rolled = rolledHeight();
    try {
        const bool inside = pointerInside();
        const double height = window_.height();
        if (height > RolledLimit && !inside) {
            if (timer_.tag() == "0") {
                timer_.setTag("1");
                arm(delaySeconds);
            } else {
                // Armed, or a window just started: roll up now.
                timer_.setTag("0");
                timer_.setInterval(Period);
                window_.setHeight(rolled);
            }
        } else if (height < RolledLimit && inside) {
            timer_.setTag("0");
            timer_.setInterval(Period);
            // The layout that this raises refits the window around its toolbar.
            window_.setHeight(full);
        }
    } catch (const std::exception&) {
        // Ends the tick; what was done stays done.
    }
}

void RollUp::arm(std::int32_t delaySeconds) {
    // A period of 0 would stop the timer for good, so a delay of 0 or less (also what a
    // missing setting gives) rolls up at the next short tick instead.
    if (delaySeconds <= 0) {
        timer_.setInterval(Period);
        return;
    }
    const std::int64_t period = static_cast<std::int64_t>(delaySeconds) * 1000;
    // A period the timer cannot take leaves the old one: the mark is armed already, so
    // the roll-up follows at the next tick.
    if (period > std::numeric_limits<std::int32_t>::max()) return;
    timer_.setInterval(static_cast<int>(period));
}

}  // namespace surfdeck
