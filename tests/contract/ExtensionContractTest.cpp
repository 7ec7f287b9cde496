// The extension backend against the contract, with everything real: a Chromium of the
// test's own with the extension loaded from the build, the bridge it starts through its
// host manifest, and the backend listening on a socket in a scratch runtime folder. The
// user's and the page's actions go through a DevTools client of the test's own.
#include <stdlib.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <set>

#include "AutomationContract.h"
#include "RealBrowserBackend.h"
#include "app/BrowserHosts.h"
#include "platform/extension/qt/ExtensionAutomation.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"

namespace surfdeck::contract {
namespace {

class ExtensionBackend : public RealBrowserBackend {
  public:
    static constexpr BackendTraits traits = kExtensionTraits;

    ExtensionBackend() {
        // The bridge finds the backend's socket under the runtime folder the browser hands on.
        setenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit().constData(), 1);
        extension::ExtensionSettings s;
        s.socketFolder = (runtime_.path() + "/surfdeck").toStdString();
        s.fragmentsFolder = (runtime_.path() + "/Fragments").toStdString();
        s.useWindowSystem = false;  // no window system: the browser's own focus reports
        automation_ = std::make_unique<extension::ExtensionAutomation>(s, nullptr);
        if (!automation_->listening()) throw std::runtime_error("the backend is not listening");
        foreground_ = automation_->foreground();
        list_ = automation_->createShellWindows();
        startBrowser();
        driver_ = std::make_unique<ct::Driver>(port_);
        if (!driver_->open()) throw std::runtime_error("no DevTools connection of our own");
        if (!waitFor([&] { return list_->Count() >= 1; }))
            throw std::runtime_error("the extension never reported the browser's tabs");
        for (int i = 0; i < list_->Count(); ++i) known_.insert(list_->Item(i)->HWND());
    }

    ~ExtensionBackend() {
        if (browser_) {
            browser_->terminate();
            if (!browser_->waitForFinished(10000)) browser_->kill();
            browser_->waitForFinished(5000);
        }
        // The browser's copy of the extension is read-only: made writable to be removed.
        std::error_code ignored;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(profile_.path().toStdString(), ignored))
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
    }

    Automation& automation() { return *automation_; }
    Foreground& foreground() { return *foreground_; }

    // As a user opens one: a new tab, then the address typed into it. The new tab is the
    // one listed that was not before.
    Hwnd open(const std::string& url) {
        const std::string id = driver_->newTab("about:blank");
        return openAsUser(
            *list_, known_, [&](const std::function<bool()>& p) { return waitFor(p); },
            [&](const std::string& address) {
                return driver_->eval(id, "location.href + ' ' + document.readyState").toString() ==
                       QString::fromStdString(address + " complete");
            },
            [&](Hwnd h) {
                targets_[h] = id;
                navigateByUser(h, url);
            },
            url);
    }
    void bringToFront(Hwnd h) { activate(h); }

  private:
    void startBrowser() {
        const std::string bin = SURFDECK_BIN_DIR;
        const auto package = readExtensionPackage(bin);
        if (!package) throw std::runtime_error("no packed extension in " + bin + "/extension");
        const QString hosts = profile_.path() + "/NativeMessagingHosts";
        QDir().mkpath(hosts);
        QFile manifest(hosts + "/" + kBridgeHostName + ".json");
        if (!manifest.open(QIODevice::WriteOnly)) throw std::runtime_error("no host manifest");
        manifest.write(QByteArray::fromStdString(
            chromiumHostManifest(bin + "/" + kBridgeExecutableName, package->id)));
        manifest.close();

        browser_ = std::make_unique<QProcess>();
        browser_->setProgram("/usr/bin/chromium");
        browser_->setArguments(
            {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile_.path(), "--remote-debugging-address=127.0.0.1",
             "--remote-debugging-port=0",
             "--disable-features=DisableLoadExtensionCommandLineSwitch",
             "--load-extension=" + QString::fromStdString(bin) + "/extension/unpacked",
             "about:blank"});
        browser_->setStandardOutputFile(QProcess::nullDevice());
        browser_->setStandardErrorFile(QProcess::nullDevice());
        browser_->start();
        if (!browser_->waitForStarted(10000)) throw std::runtime_error("chromium did not start");
        QFile active(profile_.filePath("DevToolsActivePort"));
        const bool up = waitFor([&] {
            if (!active.open(QIODevice::ReadOnly)) return false;
            port_ = QString::fromUtf8(active.readLine()).trimmed().toInt();
            active.close();
            return port_ > 0;
        });
        if (!up) throw std::runtime_error("chromium never opened its DevTools port");
    }

    // Declared so that they end in reverse: the browser first (ended in the destructor),
    // then the backend.
    QTemporaryDir runtime_;
    QTemporaryDir profile_;
    std::unique_ptr<extension::ExtensionAutomation> automation_;
    std::shared_ptr<Foreground> foreground_;
    std::shared_ptr<ShellWindows> list_;
    std::unique_ptr<QProcess> browser_;
    int port_ = 0;
    std::set<Hwnd> known_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Extension, AutomationContract, ExtensionBackend);

}  // namespace
}  // namespace surfdeck::contract
