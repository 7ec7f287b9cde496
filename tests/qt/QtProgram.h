#pragma once
// The whole program on the Qt host, with the simulated browser shell standing in for a
// real browser: real windows and input, simulated browser windows and web.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cmath>

#include "app/Main.h"
#include "mainwindow/frmMain.h"
#include "platform/file/FileRegistry.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtResultsBrowser.h"
#include "platform/qt/QtTimers.h"
#include "platform/sim/SimShell.h"
#include "ports/CompositeAutomation.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"

namespace surfdeck::qttest {

struct QtProgram {
    // Roll-up is off unless the settings given say otherwise: a window that rolls up
    // while the pointer is away would change under the test's feet.
    explicit QtProgram(const char* ini = "[MainWindow]\r\nRollUp=0\r\n") {
        QFile conf(folder.filePath("conf.ini"));
        if (conf.open(QIODevice::WriteOnly)) conf.write(ini);
        host.setCloseHandler([this](forms::Form& form) { program.closeForm(form); });
    }

    // Starts as the desktop program starts and waits until the main window is shown.
    frmMain& start() {
        app.forms.dispatch([this] { program.Main(); });
        frmMain& m = *program.main.get();
        (void)QTest::qWaitForWindowExposed(host.window(m));
        return m;
    }
    // A browser window at address that the program takes as the one in front.
    Hwnd openTab(const std::string& address) {
        const Hwnd h = shell.openWindow(address).handle;
        program.main.load();
        program.browser.ActiveIEHwnd = h;
        return h;
    }
    // The search service answers the related-sites query for site with the saved page.
    void answerRelatedQuery(const std::string& site) {
        QFile g1(QStringLiteral(SURFDECK_BIN_DIR "/g1.htm"));
        if (g1.open(QIODevice::ReadOnly))
            web.setPage("http://www.google.com/search?as_rq=" + site, g1.readAll().toStdString());
    }
    QToolButton* button(forms::Toolbar& toolbar, const char* key) {
        return host.widget(toolbar)->findChild<QToolButton*>(QString::fromLatin1(key));
    }
    std::string log() {
        QFile f(folder.filePath("log.txt"));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }

    QTemporaryDir folder;
    SimDesktop shellDesktop;
    SimEventLoop shellLoop;
    SimWeb web;
    SimAutomation shell{shellDesktop, shellLoop, web};
    CompositeAutomation automation{
        shell,
        [this] { return makeQtResultsBrowser([this](const auto& h) { app.forms.dispatch(h); }); }};
    QtFormHost host{QStringLiteral(SURFDECK_BIN_DIR)};
    QtDesktop desktop{host, &shellDesktop};
    QtTimers timers;
    QtEventLoop loop;
    QtClock clock;
    FileRegistry registry{folder.filePath("registry.reg").toStdString()};
    AppContext app{folder.path().toStdString(), desktop, timers, loop, clock, host};
    Program program{app, automation, registry};
};

// Twips to pixels at the tests' 96 dots per inch.
inline int px(double twips) {
    return static_cast<int>(std::lround(twips / 15));
}

}  // namespace surfdeck::qttest
