// A real Firefox ESR for the tests: on an X display of the tests' own (Xvfb with openbox),
// in a scratch profile and home that load the extension from the build and find the real
// bridge through their host manifest, with a WebDriver BiDi client acting as the user or
// the page would.
#pragma once
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "platform/devtools/CdpConnection.h"

namespace surfdeck::firefox::test {

// Xvfb with openbox, started once for the whole test program and ended with it; DISPLAY
// names it from then on. False (and why) where either program is missing or fails.
bool ensureDisplay(std::string* why);

// firefox-esr or firefox on the PATH; empty when there is none.
std::string firefoxProgram();

// The browser, in a scratch profile whose signature check is off: the only place where
// an unsigned extension is let in.
class TestFirefox {
  public:
    ~TestFirefox();
    // The bridge's runtime folder comes from the environment (XDG_RUNTIME_DIR).
    bool start(const std::string& program, const std::string& binDir, std::string* why);
    void stop();
    int bidiPort() const { return port_; }
    qint64 pid() const { return process_ ? process_->processId() : 0; }

  private:
    QTemporaryDir home_;
    QTemporaryDir profile_;
    std::unique_ptr<QProcess> process_;
    int port_ = 0;
};

// A WebDriver BiDi session; contexts are the browser's tabs (or windows' first tabs).
class BiDi {
  public:
    bool open(int port);
    QJsonObject call(const QString& method, const QJsonObject& params);
    // A new tab (or window) at about:blank, in front: its context id.
    std::string create(bool window = false);
    // As if typed into the address bar; the answer does not wait for the load.
    void navigate(const std::string& context, const std::string& url);
    QJsonValue eval(const std::string& context, const std::string& expression);
    void activate(const std::string& context);
    void close(const std::string& context);
    // A click at (x, y) of the page: 0 left, 2 right.
    void click(const std::string& context, int button, int x, int y);

  private:
    static QString q(const std::string& s) { return QString::fromStdString(s); }
    chromium::CdpConnection connection_{15000};
};

}  // namespace surfdeck::firefox::test
