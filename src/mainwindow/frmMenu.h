#pragma once
#include "forms/Form.h"
#include "forms/Menu.h"
#include "mainwindow/ProgramWindows.h"
#include "settings/AppContext.h"

namespace surfdeck {

// The never-shown host of the two pop-up menus: Tools (the main window's options) and
// Window (the open browser windows). Loaded just before a pop-up, unloaded right after,
// so every pop-up starts from this design state.
class frmMenu : public forms::Form {
  public:
    frmMenu(AppContext& app, ProgramWindows& windows);

    forms::MenuItem& mnuTools;
    forms::MenuItem& mnuTop;
    forms::MenuItem& mnuRoll;
    forms::MenuItem& sep1;
    forms::MenuItem& mnuVert;
    forms::MenuItem& mnuHor;
    forms::MenuItem& sep2;
    forms::MenuItem& mnuExit;
    forms::MenuItem& mnuWindow;
    // Entry 0 of the indexed Window entry; copies 1, 2, ... are loaded at run time.
    forms::MenuItem& mnuWin0;

    void Form_Load() override;
    void mnuTop_Click();
    void mnuRoll_Click();
    void mnuVert_Click();
    void mnuHor_Click();
    void mnuExit_Click();
    void mnuWin_Click(int Index);

  private:
    AppContext& app_;
    ProgramWindows& windows_;
};

}  // namespace surfdeck
