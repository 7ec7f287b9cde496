#pragma once
#include <functional>
#include <string>

#include "forms/Controls.h"
#include "frame/SkinnedPanel.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The web search panel, titled "Web Search", inside the skinned frame: the fields of a
// web advanced search and the Search button that opens it in the active browser window.
class frmWeb : public SkinnedPanel {
  public:
    // relatedOpenInIE is the related-sites panel's OpenInIE, the next step of this
    // panel's own.
    frmWeb(AppContext& app, std::function<void(const std::string&)> relatedOpenInIE);

    forms::ComboBox Combo15{*this, "Combo15"};
    forms::Label Label3{*this, "Label3"};
    forms::ComboBox Combo1{*this, "Combo1"};
    forms::Shape Shape1{*this, "Shape1"};
    forms::Label Label15{*this, "Label15"};
    forms::Label Label4{*this, "Label4"};
    forms::ComboBox Combo2{*this, "Combo2"};
    forms::Shape Shape2{*this, "Shape2"};
    forms::Label Label16{*this, "Label16"};
    forms::Label Label5{*this, "Label5"};
    forms::ComboBox Combo3{*this, "Combo3"};
    forms::Shape Shape3{*this, "Shape3"};
    forms::Label Label17{*this, "Label17"};
    forms::Label Label6{*this, "Label6"};
    forms::ComboBox Combo4{*this, "Combo4"};
    forms::Shape Shape4{*this, "Shape4"};
    forms::Label Label18{*this, "Label18"};
    forms::Label Label7{*this, "Label7"};
    forms::ComboBox Combo16{*this, "Combo16"};
    forms::Label Label19{*this, "Label19"};
    forms::Shape Shape5{*this, "Shape5"};
    forms::ComboBox Combo5{*this, "Combo5"};
    forms::CommandButton Command3{*this, "Command3"};

    void Form_Load() override;
    void Form_Unload() override;
    void saveSettings() override;
    // Search: the boxes' texts join their recent lists, then the address opens.
    void Command3_Click();
    // Opens st in the active browser window, through the related-sites panel's
    // OpenInIE (which neither needs nor loads that panel).
    void OpenInIE(const std::string& st);

  private:
    std::function<void(const std::string&)> relatedOpenInIE_;
};

}  // namespace surfdeck
