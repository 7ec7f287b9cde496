// Surfdeck: the desktop program. Qt windows; the user's own browsers through the Surfdeck
// extension and its bridge as the tracked browser ("[Browser] Connect=extension", the
// default), or Chromium over the DevTools protocol ("Connect=devtools"); settings and log
// beside the executable.
#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <memory>

#include "forms/Form.h"
#include "platform/CompositeAutomation.h"
#include "platform/FileRegistry.h"
#include "platform/chromium/ChromiumAutomation.h"
#include "platform/extension/qt/ExtensionAutomation.h"
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
    using namespace surfdeck;
    QApplication qapp(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();

    QtFormHost host(QString::fromStdString(folder));
    // Tracks the browsers whose extension connects; or, over DevTools, connects to the
    // browser or starts it. Without one, tracks nothing and logs why.
    std::unique_ptr<Automation> browsers;
    std::shared_ptr<Foreground> browserForeground;
    if (ReadIni("Browser", "Connect", "extension", settingsPath(folder)) == "devtools") {
        auto chromium = std::make_unique<chromium::ChromiumAutomation>(folder);
        browserForeground = chromium->foreground();
        browsers = std::move(chromium);
    } else {
        auto extension = std::make_unique<extension::ExtensionAutomation>(folder);
        browserForeground = extension->foreground();
        // The browser's Surfdeck button, with Surfdeck running: its windows come forward.
        extension->setLaunchHandler([] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (!window->isVisible()) continue;
                window->raise();
                window->activateWindow();
            }
        });
        browsers = std::move(extension);
    }
    QtDesktop desktop(host, browserForeground.get());
    QtTimers timers;
    QtEventLoop loop;
    QtClock clock;
    FileRegistry registry(programFile(folder, "registry.reg"));
    AppContext app(folder, desktop, timers, loop, clock, host);

    // The results browser's events run through the program's dispatcher, so an error in
    // one of them becomes a log line.
    CompositeAutomation automation(*browsers, [&app] {
        return makeQtResultsBrowser(
            [&app](const std::function<void()>& f) { app.forms.dispatch(f); });
    });
    Program program(app, automation, registry);
    host.setCloseHandler(
        [&](forms::Form& form) { app.forms.dispatch([&] { program.closeForm(form); }); });

    app.forms.dispatch([&] { program.Main(); });
    if (program.ended()) return 0;
    return qapp.exec();
}
