#include "FirefoxTestSupport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QUrl>
#include <vector>

#include "app/BrowserHosts.h"
#include "support/ChromiumTestSupport.h"

extern char** environ;

namespace surfdeck::firefox::test {

namespace {

using chromium::test::waitFor;

// Processes of the test program's own display, ended when the program ends.
struct DisplayProcesses {
    std::vector<pid_t> pids;
    ~DisplayProcesses() {
        for (auto it = pids.rbegin(); it != pids.rend(); ++it) {
            kill(*it, SIGTERM);
            waitpid(*it, nullptr, 0);
        }
    }
};

// A test program killed by its time-out leaves nothing running: where setpriv is there,
// the children end with it.
std::vector<std::string> endingWithUs(std::vector<std::string> argv) {
    if (access("/usr/bin/setpriv", X_OK) == 0)
        argv.insert(argv.begin(), {"/usr/bin/setpriv", "--pdeathsig", "KILL", "--"});
    return argv;
}

pid_t spawn(const std::vector<std::string>& command) {
    const std::vector<std::string> argv = endingWithUs(command);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed ? 0 : pid;
}

bool fail(std::string* why, const char* what) {
    *why = what;
    return false;
}

bool alive(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

// The root window's property as xprop prints it; empty while the display does not answer.
QByteArray rootProperty(const char* name) {
    QProcess xprop;
    xprop.start("xprop", {"-root", name});
    if (!xprop.waitForFinished(3000) || xprop.exitCode() != 0) return {};
    return xprop.readAllStandardOutput();
}

}  // namespace

namespace {

// One try at a display of our own: Xvfb, then openbox managing it. Empty when it is up;
// otherwise what went wrong, with the processes of this try ended.
std::string startDisplay(DisplayProcesses& processes) {
    DisplayProcesses mine;
    // The server picks a free display number itself and tells it through a pipe: tests
    // of other programs may start displays at the same time.
    int fds[2];
    if (pipe(fds) != 0) return "no pipe for Xvfb";
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const pid_t x = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                           "1280x900x24", "-nolisten", "tcp"});
    close(fds[1]);
    if (x) mine.pids.push_back(x);
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    while (x && number.find('\n') == std::string::npos && poll(&wait, 1, 20000) > 0) {
        char chunk[16];
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n <= 0) break;
        number.append(chunk, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) return "Xvfb did not start";
    const std::string name = ":" + number.substr(0, number.find('\n'));
    setenv("DISPLAY", name.c_str(), 1);
    if (!waitFor([] { return !rootProperty("_NET_ACTIVE_WINDOW").isEmpty(); }, 20000))
        return "the X display " + name + " does not answer";
    // A loaded machine may take a while; a window manager that gave up is started again.
    int status = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const pid_t wm = spawn({"openbox", "--sm-disable"});
        if (!wm) break;
        const bool managed = waitFor(
            [&] {
                return waitpid(wm, &status, WNOHANG) == wm ||
                       rootProperty("_NET_SUPPORTING_WM_CHECK").contains("window id");
            },
            30000);
        if (managed && alive(wm)) {
            processes.pids.insert(processes.pids.end(), mine.pids.begin(), mine.pids.end());
            processes.pids.push_back(wm);
            mine.pids.clear();
            return {};
        }
        if (alive(wm)) mine.pids.push_back(wm);
    }
    return "openbox did not start on " + name + " (its last exit status " + std::to_string(status) +
           ")";
}

}  // namespace

bool ensureDisplay(std::string* why) {
    static DisplayProcesses processes;
    static std::string failure;
    static bool tried = false;
    if (tried) {
        *why = failure;
        return failure.empty();
    }
    tried = true;
    for (const char* tool : {"Xvfb", "openbox", "xprop"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            failure = std::string(tool) + " missing";
    // A display that came up wrong (seldom, on a busy machine) is given up for a new one.
    for (int attempt = 0; attempt < 3 && failure.empty(); ++attempt) {
        failure = startDisplay(processes);
        if (failure.empty() || attempt == 2) break;
        failure.clear();
    }
    return ensureDisplay(why);
}

std::string firefoxProgram() {
    for (const char* name : {"firefox-esr", "firefox"}) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) return path.toStdString();
    }
    return {};
}

TestFirefox::~TestFirefox() {
    stop();
}

bool TestFirefox::start(const std::string& program, const std::string& binDir, std::string* why) {
    const QString home = home_.path();
    const QString hosts = home + "/.mozilla/native-messaging-hosts";
    QDir().mkpath(hosts);
    QFile manifest(hosts + "/" + kBridgeHostName + ".json");
    if (!manifest.open(QIODevice::WriteOnly)) return fail(why, "no host manifest");
    manifest.write(
        QByteArray::fromStdString(firefoxHostManifest(binDir + "/" + kBridgeExecutableName)));
    manifest.close();

    // The extension from the build, through a proxy file naming its folder.
    const QString profile = profile_.path();
    QDir().mkpath(profile + "/extensions");
    QFile proxy(profile + "/extensions/" + kGeckoExtensionId);
    if (!proxy.open(QIODevice::WriteOnly)) return fail(why, "no extension proxy file");
    proxy.write(QByteArray::fromStdString(binDir + "/extension/unpacked"));
    proxy.close();
    QFile prefs(profile + "/user.js");
    if (!prefs.open(QIODevice::WriteOnly)) return fail(why, "no user.js");
    // Unsigned add-ons allowed, and nothing of the first run or of the network services.
    for (const char* pref :
         {"\"xpinstall.signatures.required\", false", "\"extensions.autoDisableScopes\", 0",
          "\"extensions.enabledScopes\", 15", "\"browser.shell.checkDefaultBrowser\", false",
          "\"datareporting.policy.dataSubmissionEnabled\", false",
          "\"datareporting.policy.firstRunURL\", \"\"",
          "\"toolkit.telemetry.reportingpolicy.firstRun\", false",
          "\"browser.aboutwelcome.enabled\", false", "\"startup.homepage_welcome_url\", \"\"",
          "\"browser.startup.homepage_override.mstone\", \"ignore\"",
          "\"browser.tabs.warnOnClose\", false",
          "\"browser.sessionstore.resume_from_crash\", false", "\"app.normandy.enabled\", false",
          "\"browser.safebrowsing.update.enabled\", false",
          "\"services.settings.server\", \"http://127.0.0.1:9/\"",
          "\"network.captive-portal-service.enabled\", false",
          "\"network.connectivity-service.enabled\", false"})
        prefs.write(QByteArray("user_pref(") + pref + ");\n");
    prefs.close();

    process_ = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.remove("MOZ_HEADLESS");
    process_->setProcessEnvironment(env);
    QStringList argv;
    for (const auto& a : endingWithUs({program, "--no-remote", "--profile", profile.toStdString(),
                                       "--remote-debugging-port=0", "about:blank"}))
        argv << QString::fromStdString(a);
    process_->setProgram(argv.takeFirst());
    process_->setArguments(argv);
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(QProcess::nullDevice());
    process_->start();
    if (!process_->waitForStarted(10000)) return fail(why, "firefox did not start");
    QFile server(profile + "/WebDriverBiDiServer.json");
    const bool up = waitFor(
        [&] {
            if (!server.open(QIODevice::ReadOnly)) return false;
            port_ = QJsonDocument::fromJson(server.readAll()).object().value("ws_port").toInt();
            server.close();
            return port_ > 0;
        },
        30000);
    if (!up) return fail(why, "firefox never opened its WebDriver BiDi port");
    return true;
}

void TestFirefox::stop() {
    if (!process_) return;
    process_->terminate();
    if (!process_->waitForFinished(10000)) process_->kill();
    process_->waitForFinished(5000);
    process_.reset();
    // Its content processes may still be writing for a moment.
    waitFor([&] { return QDir(profile_.path()).removeRecursively(); }, 5000);
}

bool BiDi::open(int port) {
    connection_.open(QUrl(QString("ws://127.0.0.1:%1/session").arg(port)));
    if (!waitFor([&] { return connection_.isOpen(); }, 10000)) return false;
    try {
        call("session.new", {{"capabilities", QJsonObject()}});
    } catch (const AutomationError&) {
        return false;
    }
    return true;
}

QJsonObject BiDi::call(const QString& method, const QJsonObject& params) {
    return connection_.call(method, params);
}

std::string BiDi::create(bool window) {
    return call("browsingContext.create", {{"type", window ? "window" : "tab"}})
        .value("context")
        .toString()
        .toStdString();
}

void BiDi::navigate(const std::string& context, const std::string& url) {
    try {
        call("browsingContext.navigate",
             {{"context", q(context)}, {"url", q(url)}, {"wait", "none"}});
    } catch (const AutomationError&) {
        // A load that Surfdeck cancels is answered as failed: the page stays as it was.
    }
}

QJsonValue BiDi::eval(const std::string& context, const std::string& expression) {
    try {
        const QJsonObject r =
            call("script.evaluate", {{"expression", q(expression)},
                                     {"target", QJsonObject{{"context", q(context)}}},
                                     {"awaitPromise", false}});
        return r.value("result").toObject().value("value");
    } catch (const AutomationError&) {
        return {};  // between documents
    }
}

void BiDi::activate(const std::string& context) {
    call("browsingContext.activate", {{"context", q(context)}});
}

void BiDi::close(const std::string& context) {
    call("browsingContext.close", {{"context", q(context)}});
}

void BiDi::click(const std::string& context, int button, int x, int y) {
    const QJsonArray steps{QJsonObject{{"type", "pointerMove"}, {"x", x}, {"y", y}},
                           QJsonObject{{"type", "pointerDown"}, {"button", button}},
                           QJsonObject{{"type", "pointerUp"}, {"button", button}}};
    const QJsonObject mouse{{"type", "pointer"},
                            {"id", "mouse"},
                            {"parameters", QJsonObject{{"pointerType", "mouse"}}},
                            {"actions", steps}};
    call("input.performActions", {{"context", q(context)}, {"actions", QJsonArray{mouse}}});
}

}  // namespace surfdeck::firefox::test
