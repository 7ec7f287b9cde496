#pragma once
#include "frame/SkinnedPanel.h"
#include "shell/AppContext.h"

namespace surfdeck {

// The image search panel, titled "Image search", inside the skinned frame.
class frmImage : public SkinnedPanel {
  public:
    explicit frmImage(AppContext& app);
};

}  // namespace surfdeck
