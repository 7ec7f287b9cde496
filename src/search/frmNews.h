#pragma once
#include "browser/ActiveBrowser.h"
#include "forms/Controls.h"
#include "frame/SkinnedPanel.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The newsgroup search panel, titled "Newsgroup search", inside the skinned frame: the
// fields of a newsgroup advanced search and the Search button that opens it in the
// active browser window.
class frmNews : public SkinnedPanel {
  public:
    frmNews(AppContext& app, ActiveBrowser& browser);

    forms::ComboBox Combo19{*this, "Combo19"};
    forms::Label Label13{*this, "Label13"};
    forms::ComboBox Combo10{*this, "Combo10"};
    forms::Shape Shape1{*this, "Shape1"};
    forms::Label Label29{*this, "Label29"};
    forms::Label Label30{*this, "Label30"};
    forms::ComboBox Combo20{*this, "Combo20"};
    forms::Label Label31{*this, "Label31"};
    forms::Shape Shape2{*this, "Shape2"};
    forms::Label Label2{*this, "Label2"};
    forms::Label Label28{*this, "Label28"};
    forms::ComboBox Combo21{*this, "Combo21"};
    forms::Shape Shape3{*this, "Shape3"};
    forms::Label Label3{*this, "Label3"};
    forms::Label Label26{*this, "Label26"};
    forms::ComboBox Combo22{*this, "Combo22"};
    forms::Shape Shape4{*this, "Shape4"};
    forms::Label Label4{*this, "Label4"};
    forms::Label Label32{*this, "Label32"};
    forms::ComboBox Combo23{*this, "Combo23"};
    forms::Label Label25{*this, "Label25"};
    forms::Shape Shape5{*this, "Shape5"};
    forms::Label Label33{*this, "Label33"};
    forms::ComboBox Combo11{*this, "Combo11"};
    forms::ComboBox Combo13{*this, "Combo13"};
    forms::ComboBox Combo12{*this, "Combo12"};
    forms::CommandButton Command5{*this, "Command5"};

    void Form_Load() override;
    void Form_Unload() override;
    void saveSettings() override;
    // Search: the five boxes' texts join their recent lists, then the address opens.
    void Command5_Click();

  private:
    ActiveBrowser& browser_;
};

}  // namespace surfdeck
