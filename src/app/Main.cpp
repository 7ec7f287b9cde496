#include "app/Main.h"

#include <initializer_list>

#include "app/BrowserHosts.h"
#include "app/Registration.h"
#include "frame/SkinnedForm.h"
#include "frame/TopMost.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/frmMenu.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"
#include "settings/Log.h"
#include "settings/Settings.h"

namespace surfdeck {

namespace {

// Each panel's close button unloads it; the next showing builds it afresh. The slot is
// named by member, and reached only when a panel is made: while the program is being
// built, its slots do not exist yet.
template <class F, class Owner>
ProgramWindows::Make<F> panel(Owner* windows, forms::FormSlot<F> ProgramWindows::*slot,
                              ProgramWindows::Make<F> make) {
    return [windows, slot, make = std::move(make)] {
        auto f = make();
        f->closeRequested = [windows, slot] { (windows->*slot).unload(); };
        return f;
    };
}

}  // namespace

Program::Program(AppContext& a, Automation& automationPort, Registry& registryPort)
    : ProgramWindows(
          a, automationPort,
          [this] {
              auto f = std::make_unique<frmMain>(app, browser, *this);
              f->closeRequested = [this] { closeMainWindow(); };
              return f;
          },
          panel<frmBrowser>(this, &ProgramWindows::related,
                            [this] { return std::make_unique<frmBrowser>(app, browser); }),
          panel<frmWeb>(this, &ProgramWindows::web,
                        [this] {
                            // The web panel opens its addresses through the related panel's
                            // OpenInIE, which needs no loaded panel.
                            return std::make_unique<frmWeb>(app, [this](const std::string& st) {
                                frmBrowser::OpenInIE(browser, st);
                            });
                        }),
          panel<frmNews>(this, &ProgramWindows::news,
                         [this] { return std::make_unique<frmNews>(app, browser); }),
          panel<frmImage>(this, &ProgramWindows::image,
                          [this] { return std::make_unique<frmImage>(app, browser); }),
          [this] { return std::make_unique<frmMenu>(app, *this); }),
      app(a),
      automation(automationPort),
      registry(registryPort) {
    app.forms.setErrorSink([this](const std::string& m) { app.log(m); });
    status.setChangeHandler([this] {
        if (frmMain* m = main.get()) m->showStatus();
    });
}

// Tracking ends with the program; nothing is saved here.
Program::~Program() = default;

void Program::noteSecondCopy(long firstCopyPid) {
    app.log(firstCopyPid > 0 ? "Second copy: Surfdeck is already running as process " +
                                   std::to_string(firstCopyPid)
                             : std::string("Second copy: Surfdeck is already running"));
    status.setSecondCopy(firstCopyPid);
}

void Program::LoadSettings() {
    const std::string ini = app.iniPath();
    SettingsValues& s = app.settings;
    loadRecentAndGeneral(s, ini);
    // The main window's handle is needed here, so it is loaded (its load step creates
    // the browser window list).
    frmMain& m = main.load();
    SetTopMost(app.desktop, m.hWnd(), s.AlwaysOnTop);
    s.View = readView(ini);
    const double bw = m.Toolbar1.buttonWidth();
    if (isVertical(s.View)) {
        m.Toolbar1.setWidth(bw * 2 + 50);
    } else {
        m.Toolbar1.setWidth(bw * static_cast<double>(m.Toolbar1.buttons().size()) / 2 + 50);
    }
    m.Form_Resize();
    s.RollUp = readRollUp(ini);
}

void Program::Main() {
    LoadSettings();
    // A key that cannot be created is logged and start-up goes on.
    RegisterIEExtensions(registry, app.programFolder, [this](const std::string& m) { app.log(m); });
    if (!app.user.home.empty())
        RegisterBrowserHosts(app.programFolder, app.user,
                             [this](const std::string& m) { app.log(m); });
    frmMain& m = main.load();
    const std::string ini = app.iniPath();
    m.setTop(Val(ReadIni("MainWindow", "top", "100", ini)));
    m.setLeft(Val(ReadIni("MainWindow", "left", "100", ini)));
    m.keepTitleBandOnScreen();
    main.show();
}

void Program::closeMainWindow() {
    // Panels still open save their places and recent lists before the program ends.
    related.unload();
    web.unload();
    news.unload();
    image.unload();
    main.unload();
    End();
}

void Program::saveWithoutWindows() {
    if (ended_) return;
    ended_ = true;
    for (SkinnedForm* f : std::initializer_list<SkinnedForm*>{related.get(), web.get(), news.get(),
                                                              image.get(), main.get()}) {
        if (f) f->saveSettings();
    }
}

void Program::closeForm(forms::Form& form) {
    forms::Form* f = &form;
    if (f == main.get()) {
        closeMainWindow();
    } else if (f == related.get()) {
        related.unload();
    } else if (f == web.get()) {
        web.unload();
    } else if (f == news.get()) {
        news.unload();
    } else if (f == image.get()) {
        image.unload();
    }
}

void Program::End() {
    if (ended_) return;
    ended_ = true;
    menu.unload();
    app.loop.quit();
}

}  // namespace surfdeck
