#pragma once
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "platform/devtools/BrowserSettings.h"

// Starting a browser: the user's own (detached, it outlives us) or a private headless one
// that we own and end.
namespace surfdeck::chromium {

// The flags every browser we start gets: its DevTools endpoint on the given loopback
// address, its own profile, and no sandbox only where the browser refuses to run with one
// (as the root user). Extra flags that would open the endpoint to other hosts or to web
// pages are left out and named in dropped.
QStringList browserArguments(const Endpoint& endpoint, const std::string& profile,
                             const std::string& flags, QStringList* dropped = nullptr);

// Starts the user's browser, detached. False when it could not be started.
bool startDetachedBrowser(const std::string& executable, const Endpoint& endpoint,
                          const std::string& profile, const std::string& flags,
                          QStringList* dropped = nullptr);

// Removes the private browser profiles left in the temporary folder by Surfdeck processes
// that no longer run (ended by SIGKILL or a crash); returns how many went.
int removeOrphanProfiles();

// A headless browser of our own, with a temporary profile that goes with it. It picks a
// free port itself and names it in the profile's DevToolsActivePort file.
class PrivateBrowserProcess {
  public:
    PrivateBrowserProcess() = default;
    ~PrivateBrowserProcess();
    PrivateBrowserProcess(const PrivateBrowserProcess&) = delete;
    PrivateBrowserProcess& operator=(const PrivateBrowserProcess&) = delete;

    bool start(const std::string& executable, const std::string& extraFlags = {});
    bool running() const;
    // The port once the browser has opened its endpoint; 0 until then.
    int port() const;
    void stop();

  private:
    std::unique_ptr<QTemporaryDir> profile_;
    std::unique_ptr<QProcess> process_;
};

}  // namespace surfdeck::chromium
