#pragma once
#include "frame/SkinnedForm.h"

namespace surfdeck {

// One of the four panels: a tool window that stays on top, collapses to its title band
// and expands to its designed height with its first caption button, and closes with the
// second.
class SkinnedPanel : public SkinnedForm {
  public:
    // A panel this high or lower counts as collapsed, however it got that size.
    static constexpr double CollapsedLimit = 1000;

    SkinnedPanel(AppContext& app, FrameDesign design);

    // Panels are always on top, whatever the main window's setting. The panel's own
    // load step calls this last.
    void stayOnTop();

    void Image4_Click() override;
    // The title shows the window's caption.
    void Form_Activate() override;
    // A panel with nothing else to load is only put on top; a panel with a load step
    // of its own ends it with stayOnTop().
    void Form_Load() override { stayOnTop(); }
};

}  // namespace surfdeck
