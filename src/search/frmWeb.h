#pragma once
#include "frame/SkinnedPanel.h"
#include "shell/AppContext.h"

namespace surfdeck {

// The web search panel, titled "Web Search", inside the skinned frame.
class frmWeb : public SkinnedPanel {
  public:
    explicit frmWeb(AppContext& app);
};

}  // namespace surfdeck
