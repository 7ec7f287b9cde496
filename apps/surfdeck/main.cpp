// Surfdeck: the desktop program. Qt windows; the user's own browsers through the Surfdeck
// extension and its bridge as the tracked browser ("[Browser] Connect=extension", the
// default), or Chromium over the DevTools protocol ("Connect=devtools"); settings and log
// beside the executable.
#include <QApplication>
#include <QCoreApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/BrowserHosts.h"
#include "app/InstanceLock.h"
#include "app/Main.h"
#include "forms/Form.h"
#include "platform/devtools/ChromiumAutomation.h"
#include "platform/extension/qt/ExtensionAutomation.h"
#include "platform/file/FileRegistry.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtNotifier.h"
#include "platform/qt/QtResultsBrowser.h"
#include "platform/qt/QtSignals.h"
#include "platform/qt/QtTimers.h"
#include "ports/CompositeAutomation.h"
#include "settings/AppContext.h"
#include "settings/Settings.h"

namespace {

// The running program, for the one path that cannot reach it otherwise: Qt ends the
// process with exit() when the X connection breaks (the session logging out), with our
// objects still alive on main's stack.
surfdeck::Program* gRunning = nullptr;

void saveOnLostDisplay() {
    if (!gRunning || gRunning->ended()) return;
    gRunning->app.log("Display connection lost");
    gRunning->saveWithoutWindows();
}

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

int main(int argc, char** argv) {
    using namespace surfdeck;
    // A native Wayland window can neither place itself, nor stay on top, nor read the
    // pointer's place on the screen: in a Wayland session, take Xwayland where there is
    // one. A platform the user chose is left alone. Asked for on the command line, not in
    // the environment, so that a browser we start does not inherit it.
    std::vector<char*> args(argv, argv + argc);
    const bool askedForX = !isSet("QT_QPA_PLATFORM") && isSet("WAYLAND_DISPLAY");
    char platformOption[] = "-platform";
    char platforms[] = "xcb;wayland";
    if (askedForX) args.insert(args.begin() + 1, {platformOption, platforms});
    int qtArgc = static_cast<int>(args.size());
    args.push_back(nullptr);
    QApplication qapp(qtArgc, args.data());
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string folder = QCoreApplication::applicationDirPath().toStdString();
    // Held while this copy runs; a second copy runs too, and says so.
    InstanceLock instance(programFile(folder, "surfdeck.lock"));

    QtFormHost host(QString::fromStdString(folder));
    // Tracks the browsers whose extension connects; or, over DevTools, connects to the
    // browser or starts it. Without one, tracks nothing and logs why.
    std::unique_ptr<Automation> browsers;
    std::shared_ptr<Foreground> browserForeground;
    chromium::ChromiumAutomation* devtools = nullptr;
    extension::ExtensionAutomation* extensions = nullptr;
    if (chromium::readConnect(folder) == chromium::Connect::DevTools) {
        auto chromium = std::make_unique<chromium::ChromiumAutomation>(folder);
        browserForeground = chromium->foreground();
        devtools = chromium.get();
        browsers = std::move(chromium);
    } else {
        auto extension = std::make_unique<extension::ExtensionAutomation>(folder);
        extensions = extension.get();
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
    FileRegistry registry(programFile(folder, "registry.reg"), [&folder](const std::string& m) {
        WriteLog(programFile(folder, "log.txt"), m);
    });
    AppContext app(folder, desktop, timers, loop, clock, host);
    app.user = userFoldersFromEnvironment();

    const std::string platform = QGuiApplication::platformName().toStdString();
    if (askedForX) app.log("Wayland session, display platform " + platform);
    if (platform.rfind("wayland", 0) == 0) {
        app.log(
            "Native Wayland: windows cannot be placed or kept on top, and the pointer's "
            "place on the screen cannot be read");
    }

    // The results browser's events run through the program's dispatcher, so an error in
    // one of them becomes a log line.
    CompositeAutomation automation(*browsers, [&app] {
        return makeQtResultsBrowser(
            [&app](const std::function<void()>& f) { app.forms.dispatch(f); });
    });
    Program program(app, automation, registry);
    if (instance.secondCopy()) program.noteSecondCopy(instance.firstCopyPid());
    QtNotifier notifier;
    program.status.setNotifier(&notifier);
    const BrowserStatusFn report = [&program](const BrowserStatus& s) { program.status.report(s); };
    if (devtools) devtools->setStatusHandler(report);
    if (extensions) extensions->setStatusHandler(report);
    host.setCloseHandler(
        [&](forms::Form& form) { app.forms.dispatch([&] { program.closeForm(form); }); });

    // The session ending by signal shuts down as the close button does: panels first.
    QtSignals endings([&](int) {
        app.forms.dispatch([&] {
            if (!program.ended()) program.closeMainWindow();
        });
    });
    gRunning = &program;
    std::atexit(saveOnLostDisplay);
    struct Forget {
        ~Forget() { gRunning = nullptr; }
    } forget;

    app.forms.dispatch([&] { program.Main(); });
    if (program.ended()) return 0;
    return qapp.exec();
}
