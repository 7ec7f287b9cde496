#pragma once
#include <cstdint>

#include "forms/Controls.h"
#include "forms/Form.h"
#include "ports/Desktop.h"

namespace surfdeck {

// The main window's roll-up: it shrinks to its title band a while after the pointer has
// left it and grows back as soon as the pointer is over it again. The state is the
// timer's own: its tag is the mark ("" new, "0" idle, "1" armed) and its period.
class RollUp {
  public:
    static constexpr int StartPeriod = 200;
    static constexpr int Period = 100;
    // Heights at or below this count as rolled up; exactly this height is left alone.
    static constexpr double RolledLimit = 300;

    RollUp(forms::Form& window, forms::Timer& timer, const forms::Control& toolbar,
           const forms::Control& titleBand, Desktop& desktop)
        : window_(window),
          timer_(timer),
          toolbar_(toolbar),
          titleBand_(titleBand),
          desktop_(desktop) {}

    // Full height: the toolbar and a little below it.
    std::int32_t fullHeight() const;
    // Rolled height: the title band less a little.
    std::int32_t rolledHeight() const;
    // Whether the pointer lies inside the window, in pixels; the first pixel row and
    // column count as outside. Throws when the pointer cannot be read.
    bool pointerInside() const;

    // One tick of the timer. A failure after the heights (reading the pointer, setting
    // the timer or the height) ends the tick quietly; the next one starts afresh.
    void tick(bool rollUpOn, std::int32_t delaySeconds);

  private:
    void arm(std::int32_t delaySeconds);

    forms::Form& window_;
    forms::Timer& timer_;
    const forms::Control& toolbar_;
    const forms::Control& titleBand_;
    Desktop& desktop_;
};

}  // namespace surfdeck
