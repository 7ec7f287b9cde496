#pragma once
#include <cstdint>

#include "forms/Controls.h"
#include "forms/Form.h"
#include "ports/Desktop.h"

namespace surfdeck {

// The grip picture in a panel's bottom-right corner: while it is held, each tick of
// the panel's grip timer follows the pointer in steps of more than StepPixels.
class ResizeGrip {
  public:
    static constexpr int TimerPeriod = 70;
    static constexpr int StepPixels = 15;

    ResizeGrip(forms::Form& panel, forms::Control& grip, const forms::Control& rightEdge,
               const forms::Control& bottomEdge, Desktop& desktop)
        : panel_(panel),
          grip_(grip),
          rightEdge_(rightEdge),
          bottomEdge_(bottomEdge),
          desktop_(desktop) {}

    // A press on the grip (any button) holds it from the pointer's place now.
    void press();
    // The release of that press, wherever the pointer then is.
    void release() { GripActive = 0; }
    // One timer tick. The panel is never made smaller than minWidth by minHeight.
    void tick(double minWidth, double minHeight);
    // The grip's place in the corner for the panel's current size.
    void place();

    std::int16_t GripActive = 0;
    std::int16_t GripLastX = 0;
    std::int16_t GripLastY = 0;

  private:
    forms::Form& panel_;
    forms::Control& grip_;
    const forms::Control& rightEdge_;
    const forms::Control& bottomEdge_;
    Desktop& desktop_;
};

}  // namespace surfdeck
