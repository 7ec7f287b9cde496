#include "platform/devtools/ChromiumAutomation.h"

#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/CdpBrowser.h"
#include "platform/devtools/ChromiumShellWindows.h"
#include "platform/devtools/QueryBrowser.h"
#include "settings/Log.h"
#include "settings/Settings.h"

namespace surfdeck::chromium {

ChromiumAutomation::ChromiumAutomation(const std::string& programFolder)
    : ChromiumAutomation(readBrowserSettings(programFolder),
                         [path = programFile(programFolder, "log.txt")](const std::string& line) {
                             WriteLog(path, line);
                         }) {}

ChromiumAutomation::ChromiumAutomation(BrowserSettings settings, LogFn log)
    : settings_(std::move(settings)), log_(std::move(log)) {
    // A related-sites browser's profile left by a Surfdeck that was killed goes now, not
    // only at the next lookup, which may never come.
    removeOrphanProfiles();
    browser_ = std::make_shared<CdpBrowser>(settings_, log_);
    browser_->start();
}

ChromiumAutomation::~ChromiumAutomation() = default;

std::shared_ptr<ShellWindows> ChromiumAutomation::createShellWindows() {
    return ChromiumShellWindows::create(browser_);
}

std::shared_ptr<EmbeddedBrowser> ChromiumAutomation::createEmbeddedBrowser(EmbeddedRole role) {
    if (role != EmbeddedRole::Query)
        throw AutomationError(automation_error::Failed,
                              "The results view is not shown by the browser backend");
    // One private browser serves every showing of the panel.
    if (!query_)
        query_ = std::make_shared<QueryBrowser>(settings_.executable, std::string(),
                                                settings_.callTimeoutMs, log_);
    return query_;
}

std::shared_ptr<Foreground> ChromiumAutomation::foreground() {
    return std::make_shared<ChromiumForeground>(browser_);
}

void ChromiumAutomation::setStatusHandler(BrowserStatusFn handler) {
    browser_->setStatusHandler(std::move(handler));
}

bool ChromiumAutomation::connected() const {
    return browser_->connected();
}

}  // namespace surfdeck::chromium
