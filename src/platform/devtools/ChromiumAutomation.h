#pragma once
#include <memory>
#include <string>

#include "platform/devtools/BrowserSettings.h"
#include "ports/Automation.h"
#include "ports/BrowserStatus.h"
#include "ports/Desktop.h"

// Chromium (or any browser that speaks the DevTools protocol) as the tracked browser. The
// composition root makes one, hands it to the core as its Automation, and asks the
// foreground among the browser's tabs from foreground() whenever no window of ours is
// active. The results view of the related-sites panel is not ours: createEmbeddedBrowser
// with EmbeddedRole::Results throws.
namespace surfdeck::chromium {

class CdpBrowser;
class QueryBrowser;

class ChromiumAutomation : public Automation {
  public:
    // Settings from the program folder's conf.ini, log lines to its log.txt.
    explicit ChromiumAutomation(const std::string& programFolder);
    ChromiumAutomation(BrowserSettings settings, LogFn log);
    ~ChromiumAutomation() override;

    std::shared_ptr<ShellWindows> createShellWindows() override;
    std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole role) override;

    std::shared_ptr<Foreground> foreground();
    // Told when the browser connects, goes, or cannot be reached.
    void setStatusHandler(BrowserStatusFn handler);
    // True while the connection to the browser is open.
    bool connected() const;

  private:
    BrowserSettings settings_;
    LogFn log_;
    std::shared_ptr<CdpBrowser> browser_;
    std::shared_ptr<QueryBrowser> query_;
};

}  // namespace surfdeck::chromium
