#pragma once
#include <functional>

#include "forms/Controls.h"
#include "frame/ResizeGrip.h"
#include "frame/SkinnedPanel.h"
#include "shell/AppContext.h"

namespace surfdeck {

// The related-sites panel, captioned "Surfmate" and titled "Related links": a toolbar,
// the results browser, a status line and a resize grip inside the skinned frame.
class frmBrowser : public SkinnedPanel {
  public:
    // A panel this high or higher lays out its content; a lower one leaves it alone.
    static constexpr double ContentLimit = 300;

    explicit frmBrowser(AppContext& app);

    forms::Toolbar Toolbar1{*this, "Toolbar1"};
    forms::WebBrowserHost WebBrowser2{*this, "WebBrowser2"};
    forms::Shape Shape1{*this, "Shape1"};
    forms::Label lblStatus{*this, "lblStatus"};
    forms::Image Image8{*this, "Image8"};
    // Drives the grip for as long as the panel exists.
    forms::Timer Timer1{*this, "Timer1"};

    // Run at activation to connect the results page's document events.
    std::function<void()> connectDocumentEvents;

    void Form_Resize() override;
    void Form_Activate() override;
    void Image4_Click() override;
    void Image8_MouseDown(int Button, int Shift, float X, float Y);
    void Image8_MouseUp(int Button, int Shift, float X, float Y);
    void Timer1_Timer();

    // The smallest size at which every part of the content has a size of zero or more.
    double minContentWidth() const;
    double minContentHeight() const;

    const ResizeGrip& grip() const { return grip_; }

  private:
    // Grows a panel that is too small for its content; true when it did (the nested
    // layout pass has then laid it out).
    bool growToContent();
    void layoutContent();

    ResizeGrip grip_;
};

}  // namespace surfdeck
