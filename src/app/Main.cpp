#include "app/Main.h"

#include <initializer_list>

#include "frame/SkinnedForm.h"
#include "frame/TopMost.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/frmMenu.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"
#include "app/BrowserHosts.h"
#include "settings/Log.h"
#include "app/Registration.h"
#include "settings/Settings.h"

namespace surfdeck {

namespace {

// Each panel's close button unloads it; the next showing builds it afresh.
template <class F>
forms::FormSlot<F> panelSlot(AppContext& app, forms::FormSlot<F>& self) {
    return forms::FormSlot<F>([&app, &self] {
        auto f = std::make_unique<F>(app);
        f->closeRequested = [&self] { self.unload(); };
        return f;
    });
}

}  // namespace

Program::Program(AppContext& a, Automation& automationPort, Registry& registryPort)
    : app(a),
      automation(automationPort),
      registry(registryPort),
      tracking{a.desktop, a.loop, a.clock, automationPort},
      main([this] {
          auto f = std::make_unique<frmMain>(app);
          f->closeRequested = [this] { closeMainWindow(); };
          return f;
      }),
      related(panelSlot(app, related)),
      web(panelSlot(app, web)),
      news(panelSlot(app, news)),
      image(panelSlot(app, image)),
      menu([this] { return std::make_unique<frmMenu>(app); }) {
    app.program = this;
    app.forms.setErrorSink([this](const std::string& m) { log(m); });
    status.setChangeHandler([this] {
        if (frmMain* m = main.get()) m->showStatus();
    });
}

Program::~Program() {
    // Tracking ends with the program; nothing is saved here.
    app.program = nullptr;
}

void Program::log(const std::string& message) const {
    app.log(message);
}

void Program::noteSecondCopy(long firstCopyPid) {
    log(firstCopyPid > 0
            ? "Second copy: Surfdeck is already running as process " + std::to_string(firstCopyPid)
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
    RegisterIEExtensions(registry, app.programFolder, [this](const std::string& m) { log(m); });
    if (!app.user.home.empty())
        RegisterBrowserHosts(app.programFolder, app.user, [this](const std::string& m) { log(m); });
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
