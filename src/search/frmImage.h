#pragma once
#include "browser/ActiveBrowser.h"
#include "forms/Controls.h"
#include "frame/SkinnedPanel.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The image search panel, titled "Image search", inside the skinned frame: the fields of
// an image advanced search and the Search button that opens it in the active browser
// window.
class frmImage : public SkinnedPanel {
  public:
    frmImage(AppContext& app, ActiveBrowser& browser);

    forms::ComboBox Combo17{*this, "Combo17"};
    forms::Label Label8{*this, "Label8"};
    forms::ComboBox Combo6{*this, "Combo6"};
    forms::Shape Shape1{*this, "Shape1"};
    forms::Label Label20{*this, "Label20"};
    forms::Label Label9{*this, "Label9"};
    forms::ComboBox Combo7{*this, "Combo7"};
    forms::Shape Shape2{*this, "Shape2"};
    forms::Label Label21{*this, "Label21"};
    forms::Label Label10{*this, "Label10"};
    forms::ComboBox Combo8{*this, "Combo8"};
    forms::Shape Shape3{*this, "Shape3"};
    forms::Label Label22{*this, "Label22"};
    forms::Label Label11{*this, "Label11"};
    forms::ComboBox Combo9{*this, "Combo9"};
    forms::Shape Shape4{*this, "Shape4"};
    forms::Label Label23{*this, "Label23"};
    forms::Label Label12{*this, "Label12"};
    forms::ComboBox Combo18{*this, "Combo18"};
    forms::Label Label24{*this, "Label24"};
    forms::Shape Shape5{*this, "Shape5"};
    forms::ComboBox Combo14{*this, "Combo14"};
    forms::CommandButton Command4{*this, "Command4"};

    void Form_Load() override;
    void Form_Unload() override;
    void saveSettings() override;
    // Search: the boxes' texts join their recent lists, then the address opens.
    void Command4_Click();

  private:
    ActiveBrowser& browser_;
};

}  // namespace surfdeck
