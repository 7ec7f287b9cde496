#pragma once
#include "frame/SkinnedPanel.h"
#include "shell/AppContext.h"

namespace surfdeck {

// The newsgroup search panel, titled "Newsgroup search", inside the skinned frame.
class frmNews : public SkinnedPanel {
  public:
    explicit frmNews(AppContext& app);
};

}  // namespace surfdeck
