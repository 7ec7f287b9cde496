#include "mainwindow/frmMenu.h"

#include "frame/TopMost.h"
#include "mainwindow/frmMain.h"
#include "settings/Settings.h"

namespace surfdeck {

frmMenu::frmMenu(AppContext& app, ProgramWindows& windows)
    : Form(app.forms, "frmMenu"),
      mnuTools(menuRoot().add("mnuTools", "Tools")),
      mnuTop(mnuTools.add("mnuTop", "Always on top")),
      mnuRoll(mnuTools.add("mnuRoll", "Roll Up main window")),
      sep1(mnuTools.add("sep1", "-")),
      mnuVert(mnuTools.add("mnuVert", "Vertical")),
      mnuHor(mnuTools.add("mnuHor", "Horizontal")),
      sep2(mnuTools.add("sep2", "-")),
      mnuExit(mnuTools.add("mnuExit", "Exit")),
      mnuWindow(menuRoot().add("mnuWindow", "Window")),
      mnuWin0(mnuWindow.add("mnuWin", "No Internet Explorer`s window", 0)),
      app_(app),
      windows_(windows) {
    setCaption("frmMenu");
    mnuTop.onClick = [this](int) { mnuTop_Click(); };
    mnuRoll.onClick = [this](int) { mnuRoll_Click(); };
    mnuVert.onClick = [this](int) { mnuVert_Click(); };
    mnuHor.onClick = [this](int) { mnuHor_Click(); };
    mnuExit.onClick = [this](int) { mnuExit_Click(); };
    mnuWin0.onClick = [this](int index) { mnuWin_Click(index); };
}

void frmMenu::Form_Load() {
    const SettingsValues& s = app_.settings;
    mnuTop.setChecked(s.AlwaysOnTop);
    mnuRoll.setChecked(s.RollUp);
    if (!isVertical(s.View)) {
        mnuHor.setChecked(true);
    } else {
        mnuVert.setChecked(true);
    }
}

void frmMenu::mnuTop_Click() {
    SettingsValues& s = app_.settings;
    s.AlwaysOnTop = !s.AlwaysOnTop;
    WriteIni("General", "AlwaysOnTop", s.AlwaysOnTop ? "1" : "0", app_.iniPath());
    if (frmMain* m = windows_.main.get()) SetTopMost(app_.desktop, m->hWnd(), s.AlwaysOnTop);
}

void frmMenu::mnuRoll_Click() {
    SettingsValues& s = app_.settings;
    s.RollUp = !s.RollUp;
    WriteIni("MainWindow", "RollUp", s.RollUp ? "1" : "0", app_.iniPath());
}

void frmMenu::mnuVert_Click() {
    app_.settings.View = "v";
    WriteIni("MainWindow", "view", "v", app_.iniPath());
    if (!windows_.main.get()) return;
    frmMain& m = *windows_.main.get();
    m.Toolbar1.setWidth(m.Toolbar1.buttonWidth() * 2 + 100);
    m.Form_Resize();
}

void frmMenu::mnuHor_Click() {
    app_.settings.View = "h";
    WriteIni("MainWindow", "view", "h", app_.iniPath());
    if (!windows_.main.get()) return;
    frmMain& m = *windows_.main.get();
    m.Toolbar1.setWidth(
        m.Toolbar1.buttonWidth() * static_cast<double>(m.Toolbar1.buttons().size()) / 2 + 50);
    m.Form_Resize();
}

// Exit ends the program the way the main window's close button does.
void frmMenu::mnuExit_Click() {
    windows_.closeMainWindow();
}

void frmMenu::mnuWin_Click(int Index) {
    forms::MenuItem* entry = mnuWindow.child("mnuWin", Index);
    if (!entry || entry->tag().empty()) return;
    const Hwnd handle = RoundHalfEven32(Val(entry->tag()));
    app_.desktop.setForegroundWindow(handle);
}

}  // namespace surfdeck
