// Surfdeck: the desktop program. Qt windows, Chromium (over the DevTools protocol) as
// the tracked browser, settings and log beside the executable.
#include <QApplication>
#include <QCoreApplication>
#include <QPointer>

#include "forms/Form.h"
#include "platform/CompositeAutomation.h"
#include "platform/FileRegistry.h"
#include "platform/chromium/ChromiumAutomation.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtResultsBrowser.h"
#include "platform/qt/QtTimers.h"
#include "shell/AppContext.h"
#include "shell/Main.h"
#include "shell/Settings.h"

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();

    surfdeck::QtFormHost host(QString::fromStdString(folder));
    // Connects to the browser, or starts it; without one, tracks nothing and logs why.
    surfdeck::chromium::ChromiumAutomation chromium(folder);
    surfdeck::CompositeAutomation automation(
        chromium, [] { return std::make_shared<surfdeck::QtResultsBrowser>(); });
    auto browserForeground = chromium.foreground();
    surfdeck::QtDesktop desktop(host, browserForeground.get());
    surfdeck::QtTimers timers;
    surfdeck::QtEventLoop loop;
    surfdeck::QtClock clock;
    surfdeck::FileRegistry registry(surfdeck::programFile(folder, "registry.reg"));

    surfdeck::AppContext app(folder, desktop, timers, loop, clock, host);
    surfdeck::Program program(app, automation, registry);
    host.setCloseHandler(
        [&](surfdeck::forms::Form& form) { app.forms.dispatch([&] { program.closeForm(form); }); });

    app.forms.dispatch([&] { program.Main(); });
    if (program.ended()) return 0;
    return qapp.exec();
}
