// Surfdeck: the desktop program. Qt windows, Chromium (over the DevTools protocol) as
// the tracked browser, settings and log beside the executable.
#include <QApplication>
#include <QCoreApplication>

#include "forms/Form.h"
#include "platform/CompositeAutomation.h"
#include "platform/FileRegistry.h"
#include "platform/chromium/ChromiumAutomation.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtNotifier.h"
#include "platform/qt/QtResultsBrowser.h"
#include "platform/qt/QtTimers.h"
#include "shell/AppContext.h"
#include "shell/InstanceLock.h"
#include "shell/Main.h"
#include "shell/Settings.h"

int main(int argc, char** argv) {
    using namespace surfdeck;
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();
    // Held while this copy runs; a second copy runs too, and says so.
    InstanceLock instance(programFile(folder, "surfdeck.lock"));

    QtFormHost host(QString::fromStdString(folder));
    // Connects to the browser, or starts it; without one, tracks nothing and logs why.
    chromium::ChromiumAutomation chromium(folder);
    auto browserForeground = chromium.foreground();
    QtDesktop desktop(host, browserForeground.get());
    QtTimers timers;
    QtEventLoop loop;
    QtClock clock;
    FileRegistry registry(programFile(folder, "registry.reg"));
    AppContext app(folder, desktop, timers, loop, clock, host);

    // The results browser's events run through the program's dispatcher, so an error in
    // one of them becomes a log line.
    CompositeAutomation automation(chromium, [&app] {
        return makeQtResultsBrowser(
            [&app](const std::function<void()>& f) { app.forms.dispatch(f); });
    });
    Program program(app, automation, registry);
    if (instance.secondCopy()) program.noteSecondCopy(instance.firstCopyPid());
    QtNotifier notifier;
    program.status.setNotifier(&notifier);
    chromium.setStatusHandler([&program](const BrowserStatus& s) { program.status.report(s); });
    host.setCloseHandler(
        [&](forms::Form& form) { app.forms.dispatch([&] { program.closeForm(form); }); });

    app.forms.dispatch([&] { program.Main(); });
    if (program.ended()) return 0;
    return qapp.exec();
}
