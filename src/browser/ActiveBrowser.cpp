#include "browser/ActiveBrowser.h"

#include <exception>

#include "base/ErrorText.h"
#include "base/Text.h"

namespace surfdeck {

BrowserWindow& browserOf(const IE_Class& ie) {
    BrowserWindow* b = ie.IEctl().get();
    if (!b) throw AutomationError(91, "Object variable or With block variable not set");
    return *b;
}

void ActiveBrowser::openWindowList() {
    IEWin.reset();
    IEWin = std::make_unique<cIEWindows>(tracking_);
}

std::shared_ptr<IE_Class> ActiveBrowser::activeIE(bool skipUnreadable) const {
    if (!IEWin) return nullptr;
    // Our own snapshot: events nested in HWND may rebuild the list meanwhile.
    for (const auto& ie : IEWin->NewEnum()) {
        Hwnd handle = 0;
        try {
            handle = browserOf(*ie).HWND();
        } catch (const std::exception&) {
            if (!skipUnreadable) throw;
            continue;
        }
        if (handle == ActiveIEHwnd) return ie;
    }
    return nullptr;
}

std::shared_ptr<IE_Class> ActiveBrowser::followFront() {
    const Hwnd front = tracking_.desktop.foregroundWindow();
    if (!IEWin) return nullptr;
    for (const auto& ie : IEWin->NewEnum()) {
        if (browserOf(*ie).HWND() == front) {
            ActiveIEHwnd = front;
            break;
        }
    }
    // Handles are read afresh on every walk: a window may have closed meanwhile.
    return activeIE();
}

void ActiveBrowser::navigate(const std::string& address) {
    auto ie = activeIE();
    if (!ie) return;
    browserOf(*ie).Navigate(address);
}

std::string ActiveBrowser::activeAddress() {
    app_.log("Start GetActiveIEURL");
    try {
        auto ie = activeIE();
        if (!ie) return "";
        std::string url = browserOf(*ie).LocationURL();
        if (startsWithNoCase(url, "http://")) url.erase(0, 7);
        if (!url.empty() && url.back() == '/') url.pop_back();
        return url;
    } catch (const std::exception& e) {
        app_.log("GetActiveIEURL error " + errorLogText(e));
    }
    return "";
}

void ActiveBrowser::openFromPanel(const std::string& address) {
    if (!main_) return;
    try {
        main_->OpenInIE(address);
    } catch (const std::exception& e) {
        app_.log("OpenInIE error " + errorLogText(e));
    }
}

std::string ActiveBrowser::activeAddressFromPanel() {
    return main_ ? main_->GetActiveIEURL() : std::string();
}

}  // namespace surfdeck
